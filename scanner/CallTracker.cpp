#include "scanner/CallTracker.h"

#include "data/TalkgroupActivityLog.h"
#include "scanner/PollLoop.h"

CallTracker::CallTracker(ScannerSession *session, QObject *parent)
    : QObject(parent)
    , m_session(session)
{
    m_clock.start();
    connect(session, &ScannerSession::pollingStarted, this, [this] { attach(m_session->pollLoop()); });
    connect(session, &ScannerSession::pollingStopped, this, &CallTracker::end);
    connect(session, &ScannerSession::phaseChanged, this, [this](ScannerSession::Phase phase) {
        if (phase != ScannerSession::Phase::Polling)
            end();
    });
    connect(session, &ScannerSession::talkgroupShown, this, &CallTracker::talkgroup);
    if (session->pollLoop())
        attach(session->pollLoop());
}

void CallTracker::attach(PollLoop *loop)
{
    if (!loop || loop == m_loop)
        return;
    if (m_loop)
        m_loop->disconnect(this);
    end();
    m_loop = loop;
    connect(loop, &PollLoop::squelchHeard, this, &CallTracker::squelch);
    connect(loop, &PollLoop::channelHeard, this, &CallTracker::channel);
    connect(loop, &PollLoop::talkgroupGone, this, &CallTracker::end);
    connect(loop, &PollLoop::modeChanged, this, &CallTracker::end);
    connect(loop, &PollLoop::quiet, this, &CallTracker::end);
}

void CallTracker::logChannelCalls(TalkgroupActivityLog *log)
{
    connect(this, &CallTracker::callStarted, log, [log](const CallInfo &call, qint64, const QDateTime &wallStart) {
        if (call.talkgroup.isEmpty())
            log->recordChannel(call.channel, call.frequency, wallStart);
    });
}

bool CallTracker::conventional() const
{
    const ScannerMode mode = m_session->state().mode;
    return mode == ScannerMode::Scan || mode == ScannerMode::Manual || mode == ScannerMode::Search;
}

void CallTracker::squelch(bool open)
{
    if (!conventional())
        return;
    if (!open) {
        end();
        return;
    }
    if (m_inCall || m_pending)
        return;
    if (m_session->state().mode == ScannerMode::Search && m_loop) {
        // Search asks for no channel while the squelch is open: the
        // frequency on the display is the call's.
        begin({QString(), QChar(), m_loop->channelText(), m_loop->frequencyText()}, now());
        return;
    }
    // Scan and manual read the channel next; the call is known by it.
    m_pending = true;
    m_pendingSince = now();
}

void CallTracker::channel(const QString &channelText, const QString &frequencyText)
{
    if (!conventional())
        return;
    if (m_pending) {
        m_pending = false;
        begin({QString(), QChar(), channelText, frequencyText}, m_pendingSince);
        return;
    }
    if (m_inCall && m_call.talkgroup.isEmpty()
        && (m_call.channel != channelText || m_call.frequency != frequencyText)) {
        // Another channel while the squelch stays open.
        end();
        begin({QString(), QChar(), channelText, frequencyText}, now());
    }
}

void CallTracker::talkgroup(const QString &id, QChar bankLetter)
{
    if (m_inCall && m_call.talkgroup == id && m_call.bankLetter == bankLetter)
        return;
    end();
    begin({id, bankLetter, QString(), QString()}, now());
}

void CallTracker::begin(const CallInfo &call, qint64 at)
{
    m_call = call;
    m_inCall = true;
    const QDateTime wall = QDateTime::currentDateTime().addMSecs(at - now());
    emit callStarted(m_call, at, wall);
}

void CallTracker::end()
{
    if (m_pending && m_loop) {
        // The squelch closed before the channel came: the channel shown.
        m_pending = false;
        begin({QString(), QChar(), m_loop->channelText(), m_loop->frequencyText()}, m_pendingSince);
    }
    m_pending = false;
    if (!m_inCall)
        return;
    m_inCall = false;
    emit callEnded(now());
}
