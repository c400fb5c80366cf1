#include "transfer/BankBackup.h"

#include "link/CommPort.h"
#include "protocol/Commands.h"
#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"

#include <QDir>
#include <QTimer>

void BankBackup::begin()
{
    send(Command::key(Command::Key::Manual));
    QString error;
    if (!m_db->open(&error)) {
        finish(Outcome::Failed, tr("the channel database could not be opened: %1").arg(error));
        return;
    }
    emit statusText(openText());
    if (m_banks.isEmpty()) {
        finish(Outcome::Completed);
        return;
    }
    m_bankIndex = 0;
    m_channelInBank = 1;
    m_rx.clear();
    reportChannel();
    requestMore();
    startReplyTimer();
}

void BankBackup::requestMore()
{
    while (m_requested < totalChannels() && m_requested - m_answered < m_inFlight) {
        // Select the channel on the keys, then read it.
        for (const QString &key : Command::numberKeys(channelAt(m_requested)))
            send(key);
        send(Command::key(Command::Key::Manual));
        send(Command::kReadChannel);
        ++m_requested;
    }
}

void BankBackup::received()
{
    m_rx.append(m_port->input());
    if (!m_writing) // what comes meanwhile waits for the bank to be written
        takeReplies();
}

void BankBackup::takeReplies()
{
    QString line;
    while (isRunning() && !m_writing && m_answered < m_requested && m_rx.takeLine(&line)) {
        // Acknowledgements of the keys, and anything that is not the reply
        // for the channel awaited, are passed over.
        if (const std::optional<ChannelRecord> record = ChannelRecord::fromReply(line, channelNumber()))
            channelRead(*record);
    }
}

void BankBackup::channelRead(const ChannelRecord &record)
{
    m_records.append(record);
    ++m_answered;
    ++m_channelsDone;
    ++m_doneInBank;
    m_result.lastChannel = record.channel;
    startReplyTimer();

    if (m_channelInBank == 50) {
        stopReplyTimer();
        m_writeWait.start();
        writeBank();
        return;
    }
    nextChannel();
}

void BankBackup::writeBank()
{
    QString error;
    int otherRows = 0;
    QElapsedTimer timer;
    timer.start();
    const bool written = m_db->storeBank(currentBank(), m_records, &otherRows, &error);
    m_databaseNs += timer.nsecsElapsed();
    if (!written && m_db->lastFailureWasBusy() && m_writeWait.elapsed() < m_databaseWaitMs) {
        if (!m_writing)
            emit statusText(tr("The channel database is locked by another program: waiting..."));
        m_writing = true;
        QTimer::singleShot(kWriteRetryMs, this, [this] {
            if (isRunning())
                writeBank();
        });
        return;
    }
    const bool waited = m_writing;
    m_writing = false;
    if (waited)
        emit statusText(openText());
    if (!written) {
        finish(Outcome::Failed, tr("bank %1 could not be written to the database: %2").arg(currentBank()).arg(error));
        return;
    }
    DataChanges::announce({ChannelDatabase::bankTableName(currentBank())});
    m_result.banksDone.append(currentBank());
    m_result.otherRows += otherRows;
    m_records.clear();
    ++m_bankIndex;
    m_channelInBank = 0;
    m_doneInBank = 0;
    if (m_bankIndex >= m_banks.size()) {
        finish(Outcome::Completed);
        return;
    }
    startReplyTimer();
    nextChannel();
    if (waited)
        takeReplies(); // the replies that came while the bank was written
}

QString BankBackup::openText() const
{
    return QDir::toNativeSeparators(m_db->path()) + QStringLiteral(" Open!");
}

void BankBackup::nextChannel()
{
    if (stopIfCancelled())
        return;
    ++m_channelInBank;
    reportChannel();
    requestMore();
}

void BankBackup::timedOut()
{
    finish(Outcome::Failed, tr("channel %1 got no answer from the scanner").arg(channelNumber()));
}
