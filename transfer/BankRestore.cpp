#include "transfer/BankRestore.h"

#include "link/CommandSequence.h"
#include "link/CommPort.h"
#include "protocol/Commands.h"
#include "data/ChannelDatabase.h"
#include "data/ChannelRecord.h"

BankRestore::BankRestore(CommPort *port, ChannelDatabase *db, const LinkSettings &link, const QList<int> &banks,
                         QObject *parent)
    : BankTransfer(port, db, link, banks, parent)
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &BankRestore::settled);
}

void BankRestore::begin()
{
    QString error;
    if (!m_db->open(&error)) {
        finish(Outcome::Failed, tr("the channel database could not be opened: %1").arg(error));
        return;
    }
    // Manual mode, then into memory access.
    sendFor(Command::key(Command::Key::Manual), 0);
    // Selections ("MAnnn") are answered with the channel, or not at all:
    // they have no place among the answers counted, which are the keys'.
    send(Command::kMemoryAccessStart);
    emit statusText(tr("Restoring from PC to scanner"));
    m_bankIndex = 0;
    startBank();
}

void BankRestore::sendFor(const QString &command, int channel)
{
    if (m_port->isOpen())
        m_expected.append(channel);
    send(command);
}

void BankRestore::queueFor(const QString &command, int channel)
{
    // Queued keys go out in order after everything sent before them.
    if (m_port->isOpen())
        m_expected.append(channel);
    m_typing->send(command);
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
    m_typed.clear();
    m_refused.clear();
    m_verifying = -1;
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
        queueFor(key, n);
    m_typing->pause(kKeyPauseMs);
    queueFor(Command::key(Command::Key::Enter), n);
    m_typing->pause(kKeyPauseMs).then([this] { awaitAnswer(); });
    m_typed.append({n, sFreq});
    if (!m_typing->isRunning())
        m_typing->start();
}

void BankRestore::received()
{
    m_rx.append(m_port->input());
    m_answered = true;
    QString line;
    while (isRunning() && m_rx.takeLine(&line))
        handleLine(line);
    if (isRunning() && m_awaiting)
        channelDone();
}

void BankRestore::handleLine(const QString &line)
{
    // Only answers count: an acknowledgement, a refusal or a channel reply.
    // While typing, a channel reply is the answer to a selection, which
    // takes no answer's place.
    const bool refused = line == QLatin1String("NG");
    const bool channelReply = line.startsWith(QLatin1Char('C'));
    if (!refused && !line.startsWith(QLatin1Char('O')) && (!channelReply || m_verifying < 0))
        return;
    const int channel = m_expected.isEmpty() ? 0 : m_expected.takeFirst();
    if (refused && channel > 0)
        m_refused.insert(channel, tr("the scanner answered \"NG\""));
    if (m_verifying < 0 || m_verifying >= m_typed.size())
        return;
    // The read-back is known by its own reply wherever it comes; in the
    // place of that reply, a refusal or another channel's reply means the
    // channel could not be read.
    const int verified = m_typed.at(m_verifying).first;
    if (ChannelRecord::fromReply(line, verified) || (channel == -verified && !line.startsWith(QLatin1Char('O'))))
        readBack(verified, line);
}

void BankRestore::awaitAnswer()
{
    if (!isRunning())
        return; // the typing went on after the restore ended
    // A channel is done once the scanner has said anything since it began,
    // or after a short settle time without a word: what the scanner answers
    // to a selection is its own business, and the read-back of the bank
    // finds out what it stored.
    if (m_answered) {
        channelDone();
        return;
    }
    m_awaiting = true;
    m_settle.start(kSettleMs);
}

void BankRestore::settled()
{
    if (!isRunning() || !m_awaiting)
        return;
    // Nothing came for this channel's commands: an answer still on its way
    // must not be taken for a later command's.
    m_expected.removeAll(channelNumber());
    channelDone();
}

void BankRestore::ended()
{
    m_settle.stop();
    // Keys still queued are not typed after the end: the port may be gone.
    if (m_typing)
        m_typing->abort();
}

void BankRestore::channelDone()
{
    m_awaiting = false;
    m_settle.stop();
    stopReplyTimer();
    ++m_channelsDone;
    ++m_doneInBank;
    m_result.lastChannel = channelNumber();
    if (m_channelInBank < 50) {
        ++m_channelInBank;
        startChannel();
        return;
    }
    m_verifying = 0;
    verifyNext();
}

void BankRestore::verifyNext()
{
    if (m_verifying >= m_typed.size()) {
        bankVerified();
        return;
    }
    // Select the channel on the keys, then read it, as a backup does.
    const int n = m_typed.at(m_verifying).first;
    for (const QString &key : Command::numberKeys(n))
        sendFor(key, 0);
    sendFor(Command::key(Command::Key::Manual), 0);
    sendFor(Command::kReadChannel, -n);
    startReplyTimer();
}

void BankRestore::readBack(int channel, const QString &line)
{
    stopReplyTimer();
    const QString typed = m_typed.at(m_verifying).second;
    const std::optional<ChannelRecord> record = ChannelRecord::fromReply(line, channel);
    if (m_refused.contains(channel))
        problem(channel, m_refused.take(channel));
    else if (!record)
        problem(channel, tr("could not be read back"));
    else if (record->sFreq != typed)
        problem(channel, tr("the scanner holds %1, the table %2").arg(record->sFreq, typed));
    ++m_verifying;
    verifyNext();
}

void BankRestore::bankVerified()
{
    // Refused commands of channels with nothing typed.
    for (auto it = m_refused.cbegin(); it != m_refused.cend(); ++it)
        problem(it.key(), it.value());
    m_refused.clear();
    m_verifying = -1;
    m_result.banksDone.append(currentBank());
    ++m_bankIndex;
    m_channelInBank = 0;
    m_doneInBank = 0;
    if (stopIfCancelled())
        return;
    startBank();
}

void BankRestore::problem(int channel, const QString &what)
{
    m_problems.insert(channel, what);
    m_result.unverified.clear();
    for (auto it = m_problems.cbegin(); it != m_problems.cend(); ++it)
        m_result.unverified << tr("channel %1: %2").arg(it.key()).arg(it.value());
}

void BankRestore::timedOut()
{
    const int n = m_verifying >= 0 && m_verifying < m_typed.size() ? m_typed.at(m_verifying).first : channelNumber();
    finish(Outcome::Failed, tr("channel %1 got no answer from the scanner").arg(n));
}
