#include "scanner/PollLoop.h"

#include "link/CommPort.h"
#include "link/Framing.h"
#include "link/LinkSettings.h"
#include "protocol/ChannelReply.h"
#include "protocol/Commands.h"
#include "protocol/ModeReply.h"
#include "protocol/ModulationReply.h"
#include "protocol/ReplyKind.h"
#include "protocol/SquelchReply.h"
#include "protocol/TalkgroupReply.h"
#include "scanner/AuxDisplayModel.h"
#include "scanner/AuxLookups.h"
#include "scanner/DisplayModel.h"
#include "scanner/ScannerState.h"

#include <QTimerEvent>

Q_LOGGING_CATEGORY(lcPoll, "orvendal.poll")

namespace {

QString flagText(ChannelReply::Flag flag, const QString &word)
{
    switch (flag) {
    case ChannelReply::Flag::On: return word;
    case ChannelReply::Flag::Off: return QString();
    case ChannelReply::Flag::Invalid: break;
    }
    return QStringLiteral("ERR");
}

// The bank marker's blanks come from a row of 49.
constexpr int kBlanks = 49;

// Blanks before the bank marker: bank 3 has 6, bank 12 has 26.
int markerOffset(int bank)
{
    return bank >= 10 ? (bank - 10) * 3 + 20 : bank * 2;
}

} // namespace

PollLoop::PollLoop(const SessionWiring &wiring, ScannerState *state, QObject *parent)
    : QObject(parent)
    , m_w(wiring)
    , m_state(state)
{
}

void PollLoop::start()
{
    m_w.port->send(Command::kQueryMode);
    m_w.port->send(Command::mute(MuteSetting::Auto));
    m_state->mute = MuteSetting::Auto;
    m_w.display->setText(DisplayModel::MUTE, DisplayModel::muteWord(MuteSetting::Auto));
    m_timer.start(kTurnMillis, Qt::PreciseTimer, this);
}

void PollLoop::stop()
{
    m_timer.stop();
}

void PollLoop::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_timer.timerId())
        turn();
    else
        QObject::timerEvent(event);
}

void PollLoop::turn()
{
    // The windows draw what the turn changed once it is over.
    m_w.display->beginUpdate();
    m_w.aux->beginUpdate();
    ++m_turns;
    readLine();
    // Without a receive event the reply of the last turn is handled again.
    handle(m_reply);
    // A query a key left for this turn (the mute key's) is sent in place of
    // the one the reply asks for, so the key is never lost; the loop asks
    // again on its next empty turn.
    if (!m_state->keyQuery.isEmpty()) {
        m_nextQuery = m_state->keyQuery;
        m_state->keyQuery.clear();
    }
    if (!m_nextQuery.isEmpty()) {
        if (m_nextQuery == Command::kQueryTalkgroup || m_nextQuery == Command::kQueryModulation
            || m_nextQuery == Command::kTalkgroupDisplayOn)
            m_trunkQueryTurn = m_turns;
        m_w.port->send(m_nextQuery);
        m_lastQuery = m_nextQuery;
        m_nextQuery.clear();
        ++m_queries;
    }
    m_w.aux->endUpdate();
    m_w.display->endUpdate();
}

void PollLoop::readLine()
{
    m_readThisTurn.clear();
    m_w.port->poll();
    const QByteArray bytes = m_w.port->commEvent() == CommPort::kReceived ? m_w.port->input() : QByteArray();
    // Turns are at least kTurnMillis apart, so counting them errs on the
    // side of waiting longer.
    constexpr int kQuietTurns = kQuietMillis / kTurnMillis;
    if (!bytes.isEmpty()) {
        if (m_silentTurns >= kQuietTurns)
            emit answering();
        m_silentTurns = 0;
    } else if (++m_silentTurns == kQuietTurns) {
        emit quiet();
    }
    if (m_w.port->commEvent() != CommPort::kReceived)
        return;
    m_readThisTurn = Framing::decode(bytes);
    m_rx.append(m_readThisTurn);
    QString line;
    switch (m_rx.cut(&line)) {
    case ReplyBuffer::Cut::NoLine:
    case ReplyBuffer::Cut::EmptyLine:
        m_reply.clear();
        break;
    case ReplyBuffer::Cut::Line:
        if (!m_reply.isEmpty())
            m_previousReply = m_reply;
        m_reply = line;
        break;
    }
}

void PollLoop::clearDisplay()
{
    m_w.display->clearDisplay(m_state->shiftOn);
    m_w.aux->clearLines();
}

void PollLoop::handle(const QString &r)
{
    m_nextQuery.clear();
    switch (replyKindOf(r)) {
    case ReplyKind::Empty:
        m_nextQuery = Command::kQuerySquelch;
        return;
    case ReplyKind::Acknowledge:
        m_nextQuery = Command::kQueryMode;
        break;
    case ReplyKind::Squelch:
        handleSquelch(r);
        break;
    case ReplyKind::Channel:
        handleChannel(r);
        break;
    case ReplyKind::Talkgroup:
        handleTalkgroup(r);
        break;
    case ReplyKind::Mode:
        handleMode(r);
        break;
    case ReplyKind::Rejected:
        handleRejected(r);
        break;
    case ReplyKind::Modulation:
        if (const std::optional<Modulation> m = ModulationReply::decode(r))
            m_w.display->setText(DisplayModel::ModMode, DisplayModel::modulationText(*m));
        m_nextQuery = Command::kQueryTalkgroup;
        break;
    case ReplyKind::Unknown:
        break;
    }
}

void PollLoop::handleSquelch(const QString &r)
{
    const ScannerMode mode = m_state->mode;
    if (mode == ScannerMode::TrunkSearch && m_turns - m_trunkQueryTurn >= kTrunkStallTurns && !m_rx.hasLine()) {
        // The trunk cycle lost a reply: start it again.
        m_nextQuery = Command::kQueryTalkgroup;
        return;
    }
    const std::optional<Squelch> squelch = SquelchReply::decode(r);
    if (squelch)
        emit squelchHeard(*squelch == Squelch::Open);
    if (squelch == Squelch::Open) {
        if (mode == ScannerMode::Scan || mode == ScannerMode::Manual)
            m_nextQuery = Command::kReadChannel;
        return;
    }
    if (r == m_previousReply)
        return; // drawn already
    if (mode == ScannerMode::Scan) {
        clearDisplay();
        m_w.display->showScanTemplate();
    } else if (mode == ScannerMode::Manual) {
        m_w.display->showManualTemplate();
        m_nextQuery = Command::kReadChannel;
    }
}

void PollLoop::handleRejected(const QString &r)
{
    if (r != QLatin1String("NG")) {
        m_w.display->setText(DisplayModel::SHIFT, r);
        return;
    }
    // The scanner refused a command: the current mode's display again.
    switch (m_state->mode) {
    case ScannerMode::Scan:
        clearDisplay();
        m_w.display->showScanTemplate();
        break;
    case ScannerMode::Manual:
        clearDisplay();
        m_w.display->showManualTemplate();
        break;
    case ScannerMode::TrunkSearch:
        clearDisplay();
        m_w.display->showTrunkSearchTemplate();
        break;
    case ScannerMode::Search:
    case ScannerMode::TrunkScan:
        break;
    }
}

void PollLoop::handleChannel(const QString &r)
{
    const ChannelReply reply = ChannelReply::decode(r);
    DisplayModel *display = m_w.display;
    m_channelText = reply.channelText;
    m_frequencyText = reply.frequencyText;
    display->setText(DisplayModel::CHAN, m_channelText);
    display->setText(DisplayModel::FREQ, m_frequencyText);
    if (m_state->mode == ScannerMode::Manual)
        m_state->manualChannel = LinkSettings::leadingNumber(m_channelText);
    display->setText(DisplayModel::DELAY, flagText(reply.delay, QStringLiteral("DELAY")));
    display->setText(DisplayModel::LOCKOUT, flagText(reply.lockout, QStringLiteral("L/O")));
    display->setText(DisplayModel::PRI, flagText(reply.priority, QStringLiteral("PRI")));
    m_w.lookups->lookupChannel(m_channelText, m_frequencyText);
    emit channelHeard(m_channelText, m_frequencyText);
    m_nextQuery = Command::kQuerySquelch;
}

void PollLoop::handleTalkgroup(const QString &r)
{
    const TalkgroupReply reply = TalkgroupReply::decode(r);
    switch (reply.kind) {
    case TalkgroupReply::Kind::DisplayOff:
        m_nextQuery = Command::kTalkgroupDisplayOn;
        break;
    case TalkgroupReply::Kind::DisplayOn:
        break;
    case TalkgroupReply::Kind::NoTalkgroup:
        if (agreed(QStringLiteral("E")) && !m_loggedTalkgroup.isEmpty()) {
            m_loggedTalkgroup.clear(); // the showing is over for the log
            emit talkgroupGone();
        }
        // Keep asking, so the next talkgroup is shown and logged when it
        // comes; but only in a trunk mode: the answer to an "ID" still on
        // its way when the user left trunk mode must not keep the loop
        // asking for talkgroups, deaf to the squelch, ever after.
        clearDisplay();
        m_w.display->showTrunkSearchTemplate();
        if (m_state->mode == ScannerMode::TrunkSearch || m_state->mode == ScannerMode::TrunkScan)
            m_nextQuery = Command::kQueryTalkgroup;
        break;
    case TalkgroupReply::Kind::Unrecognised:
        // Not a bank letter the scanner uses: nothing to show or log.
        m_nextQuery = Command::kQueryModulation;
        break;
    case TalkgroupReply::Kind::Talkgroup:
        showTalkgroup(reply);
        m_nextQuery = Command::kQueryModulation;
        break;
    }
}

bool PollLoop::agreed(const QString &heard)
{
    m_agreeing = heard == m_lastTalkgroupReply ? m_agreeing + 1 : 1;
    m_lastTalkgroupReply = heard;
    return m_agreeing >= kAgreeingReplies;
}

void PollLoop::showTalkgroup(const TalkgroupReply &reply)
{
    DisplayModel *display = m_w.display;
    if (!display->text(DisplayModel::ModMode).isEmpty())
        display->setText(DisplayModel::ModMode, QString());
    m_previousBankLetter = m_bankLetter;
    m_bankLetter = reply.bankLetter;
    if (m_bankLetter != m_previousBankLetter) {
        clearDisplay();
        display->showTrunkSearchTemplate();
        m_previousBankLetter = m_bankLetter;
    }
    const int n = markerOffset(reply.bank);
    const QString marker = QString(qMin(n, kBlanks), QLatin1Char(' ')) + (reply.bank >= 10 ? QStringLiteral("__") : QStringLiteral("_"));
    display->setText(DisplayModel::ACTIVEBANK, marker + m_bankLetter + QLatin1Char(' ') + QString::number(reply.bank)
                                                   + QLatin1Char(' ') + QString::number(n));
    m_state->currentTalkgroup = reply.id;
    display->setText(DisplayModel::FREQ, reply.id);
    // Logged once the replies agree, and once for each showing.
    const QString heard = m_bankLetter + reply.id;
    const bool confirmed = agreed(heard) && heard != m_loggedTalkgroup;
    if (confirmed)
        m_loggedTalkgroup = heard;
    m_w.lookups->lookupTalkgroup(reply.id, confirmed);
    if (confirmed)
        emit talkgroupShown(reply.id, m_bankLetter);
}

void PollLoop::handleMode(const QString &r)
{
    const std::optional<ScannerMode> mode = ModeReply::decode(r);
    DisplayModel *display = m_w.display;
    if (!mode) {
        // Not a mode: show what came in on the auxiliary display (of a
        // flood, its newest part).
        m_w.aux->setLine(1, m_readThisTurn.right(ReplyBuffer::kMaxPending));
        m_w.aux->setLine(2, m_rx.pending());
        m_w.aux->setLine(3, r);
        m_w.aux->setLine(4, QString::number(r.size()));
        return;
    }
    clearDisplay();
    const bool changed = *mode != m_state->mode;
    if (changed) {
        m_lastTalkgroupReply.clear();
        m_agreeing = 0;
        m_loggedTalkgroup.clear();
    }
    switch (*mode) {
    case ScannerMode::Scan:
        display->showScanTemplate();
        break;
    case ScannerMode::Manual:
        display->showManualTemplate();
        break;
    case ScannerMode::Search:
        display->showSearchTemplate();
        m_nextQuery = Command::kReadChannel;
        break;
    case ScannerMode::TrunkSearch:
        display->showTrunkSearchTemplate();
        m_nextQuery = Command::kQueryTalkgroup;
        break;
    case ScannerMode::TrunkScan:
        display->setText(DisplayModel::SCAN, QStringLiteral("SCAN"));
        display->setText(DisplayModel::TRUNKTYPE, QStringLiteral("  TRUNK"));
        break;
    }
    m_state->mode = *mode;
    if (changed)
        emit modeChanged(*mode);
}
