#include "transfer/BankRestore.h"

#include "link/CommandSequence.h"
#include "link/CommPort.h"
#include "protocol/Commands.h"
#include "data/ChannelDatabase.h"
#include "data/ChannelRecord.h"

void BankRestore::begin()
{
    QString error;
    if (!m_db->open(&error)) {
        finish(Outcome::Failed, tr("the channel database could not be opened: %1").arg(error));
        return;
    }
    // Manual mode, then into memory access.
    send(Command::key(Command::Key::Manual));
    send(Command::kMemoryAccessStart);
    emit statusText(tr("Restoring from PC to scanner"));
    m_bankIndex = 0;
    startBank();
}

void BankRestore::startBank()
{
    if (m_bankIndex >= m_banks.size()) {
        finish(Outcome::Completed);
        return;
    }
    QString error;
    if (!m_db->bankFrequencies(currentBank(), &m_frequencies, &error)) {
        finish(Outcome::Failed, tr("bank %1 could not be read from the database: %2").arg(currentBank()).arg(error));
        return;
    }
    m_channelInBank = 1;
    startChannel();
}

void BankRestore::startChannel()
{
    if (stopIfCancelled())
        return;
    const int n = channelNumber();
    reportChannel();
    m_answered = false;
    send(Command::memoryAccess(n));

    const auto row = m_frequencies.constFind(n);
    const QString sFreq = row != m_frequencies.cend() && !row->isNull() ? row->toString() : QString();
    if (row == m_frequencies.cend() || sFreq == ChannelRecord::kEmpty) {
        awaitAnswer(); // nothing stored, or an empty channel: nothing to type
        return;
    }
    if (!ChannelRecord::isWellFormedFrequency(sFreq)) {
        ++m_result.skipped;
        qCWarning(lcTransfer) << "channel" << n << "skipped: stored frequency" << row.value();
        awaitAnswer();
        return;
    }
    // This may run from the typing of the channel before, so the steps are
    // added to the running script rather than to a new one.
    if (!m_typing)
        m_typing = new CommandSequence(m_port, this);
    for (const QString &key : Command::frequencyKeys(sFreq))
        m_typing->send(key);
    m_typing->pause(kKeyPauseMs).send(Command::key(Command::Key::Enter)).pause(kKeyPauseMs).then([this] { awaitAnswer(); });
    if (!m_typing->isRunning())
        m_typing->start();
}

void BankRestore::received()
{
    // The scanner's answers are not read, only taken off the line.
    m_port->input();
    m_answered = true;
    if (m_awaiting)
        channelDone();
}

void BankRestore::awaitAnswer()
{
    if (!isRunning())
        return; // the typing went on after the restore ended
    // A channel is done once the scanner has said anything since it began;
    // a scanner that says nothing at all stops the restore.
    if (m_answered) {
        channelDone();
        return;
    }
    m_awaiting = true;
    startReplyTimer();
}

void BankRestore::channelDone()
{
    m_awaiting = false;
    stopReplyTimer();
    ++m_channelsDone;
    ++m_doneInBank;
    m_result.lastChannel = channelNumber();
    if (m_channelInBank < 50) {
        ++m_channelInBank;
        startChannel();
        return;
    }
    m_result.banksDone.append(currentBank());
    ++m_bankIndex;
    m_channelInBank = 0;
    m_doneInBank = 0;
    if (stopIfCancelled())
        return;
    startBank();
}

void BankRestore::timedOut()
{
    finish(Outcome::Failed, tr("channel %1 got no answer from the scanner").arg(channelNumber()));
}
