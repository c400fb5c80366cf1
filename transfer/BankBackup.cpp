#include "transfer/BankBackup.h"

#include "link/CommPort.h"
#include "link/Protocol.h"
#include "transfer/ChannelDatabase.h"

#include <QDir>

void BankBackup::begin()
{
    send(QStringLiteral("KEY01"));
    QString error;
    if (!m_db->open(&error)) {
        finish(Outcome::Failed, tr("the channel database could not be opened: %1").arg(error));
        return;
    }
    emit statusText(QDir::toNativeSeparators(m_db->path()) + QStringLiteral(" Open!"));
    m_bankIndex = 0;
    startBank();
}

void BankBackup::startBank()
{
    if (m_bankIndex >= m_banks.size()) {
        finish(Outcome::Completed);
        return;
    }
    m_records.clear();
    m_channelInBank = 1;
    requestChannel();
}

void BankBackup::requestChannel()
{
    if (stopIfCancelled())
        return;
    const int n = channelNumber();
    reportChannel();
    // Select the channel on the keys, then read it.
    m_rx.clear();
    for (const QChar c : QString::number(n))
        send(Protocol::digitKey(c));
    send(QStringLiteral("KEY01"));
    send(QStringLiteral("MA"));
    startReplyTimer();
}

void BankBackup::received()
{
    m_rx.append(m_port->input());
    QString line;
    while (m_rx.takeLine(&line)) {
        // Acknowledgements of the keys, and anything that is not this
        // channel's reply, are passed over.
        if (const std::optional<ChannelRecord> record = ChannelRecord::fromReply(line, channelNumber())) {
            stopReplyTimer();
            channelRead(*record);
            return;
        }
    }
}

void BankBackup::channelRead(const ChannelRecord &record)
{
    m_records.append(record);
    ++m_channelsDone;
    m_result.lastChannel = record.channel;
    if (m_channelInBank < 50) {
        ++m_channelInBank;
        requestChannel();
        return;
    }
    QString error;
    if (!m_db->replaceBank(currentBank(), m_records, &error)) {
        finish(Outcome::Failed, tr("bank %1 could not be written to the database: %2").arg(currentBank()).arg(error));
        return;
    }
    m_result.banksDone.append(currentBank());
    ++m_bankIndex;
    m_channelInBank = 0;
    if (stopIfCancelled())
        return;
    startBank();
}

void BankBackup::timedOut()
{
    finish(Outcome::Failed, tr("channel %1 got no answer from the scanner").arg(channelNumber()));
}
