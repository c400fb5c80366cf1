#pragma once

#include "protocol/ScannerMode.h"
#include "scanner/ScannerSession.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class PollLoop;
class TalkgroupActivityLog;

// What a call is: a talkgroup (trunk modes) or a channel and frequency.
struct CallInfo
{
    QString talkgroup;
    QChar bankLetter;
    QString channel;
    QString frequency;
    // The same key means the same call, for joining one that resumes.
    QString key() const { return talkgroup.isEmpty() ? QStringLiteral("CH ") + channel + QLatin1Char(' ') + frequency
                                                     : QStringLiteral("TG ") + talkgroup; }
};
Q_DECLARE_METATYPE(CallInfo)

// Follows the poll loop and says when a call starts and ends. A call starts
// when the squelch opens (scan, manual and search) or a talkgroup starts
// being shown (trunk modes); it ends when the squelch closes, the talkgroup
// is gone, another channel or talkgroup appears, the mode changes, or
// polling stops (a transfer takes the link, the link is lost or quiet).
class CallTracker : public QObject
{
    Q_OBJECT
public:
    explicit CallTracker(ScannerSession *session, QObject *parent = nullptr);

    // Follows this poll loop (the session's runs are followed by themselves).
    void attach(PollLoop *loop);
    bool inCall() const { return m_inCall; }
    const CallInfo &current() const { return m_call; }
    // Each call without a talkgroup gets its row in the activity log, dated
    // when it started (talkgroups get theirs as they are shown).
    void logChannelCalls(TalkgroupActivityLog *log);
    // Milliseconds on the tracker's steady clock.
    qint64 now() const { return m_clock.elapsed(); }

signals:
    // startedAt: when the squelch opened or the talkgroup appeared, on the
    // steady clock (now()); wallStart: the same on the wall clock.
    void callStarted(const CallInfo &call, qint64 startedAt, const QDateTime &wallStart);
    void callEnded(qint64 endedAt);

private:
    void squelch(bool open);
    void channel(const QString &channelText, const QString &frequencyText);
    void talkgroup(const QString &id, QChar bankLetter);
    void begin(const CallInfo &call, qint64 at);
    void end();
    bool conventional() const;

    ScannerSession *m_session;
    QPointer<PollLoop> m_loop;
    QElapsedTimer m_clock;
    CallInfo m_call;
    bool m_inCall = false;
    // The squelch is open but the channel reply that says what is heard
    // has not come yet.
    bool m_pending = false;
    qint64 m_pendingSince = 0;
};
