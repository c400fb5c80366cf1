#pragma once

#include "link/ReplyBuffer.h"
#include "protocol/ScannerMode.h"
#include "scanner/SessionWiring.h"

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QBasicTimer>

Q_DECLARE_LOGGING_CATEGORY(lcPoll)

struct ScannerState;
struct TalkgroupReply;

// One run of the status poll loop. Every turn (at least 10 ms apart) it reads
// what the scanner sent, takes at most one reply line, updates the display
// from it, and sends at most one query. A new run starts with empty state and
// a reply buffer of its own, so nothing received before it is mistaken for
// part of a reply.
class PollLoop : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTurnMillis = 10;
    // In trunk search the loop lives on its "ID" / "RM" cycle. When a reply of
    // that cycle was lost (line noise swallowed it), it asks "ID" again once
    // this many turns have passed without either query and nothing more is
    // waiting to be read.
    static constexpr int kTrunkStallTurns = 50;
    // Nothing at all received for this long is a link gone quiet.
    static constexpr int kQuietMillis = 5000;
    // The talkgroup log takes a talkgroup as heard (or gone) only once this
    // many talkgroup replies in a row agree, so that line noise never becomes
    // a talkgroup: on a line with 1 % of its bytes garbled, two replies
    // garbled alike in a row come up every half hour or so; three, hardly
    // ever. In the "ID" / "RM" cycle a talkgroup is logged four poll turns
    // after its first reply.
    static constexpr int kAgreeingReplies = 3;

    // A run works on the session's port, display and lookups, and keeps the
    // session's state current.
    PollLoop(const SessionWiring &wiring, ScannerState *state, QObject *parent = nullptr);

    // Start of a run: "MD" and "MUA" out, mute shown automatic; then turns.
    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }

    // One turn: read, handle, send.
    void turn();
    // Handle one reply line (step 4 of a turn); nextQuery() is then the query
    // it chose.
    void handle(const QString &reply);

    // State of this run.
    const QString &reply() const { return m_reply; }
    const QString &previousReply() const { return m_previousReply; }
    const QString &channelText() const { return m_channelText; }
    const QString &frequencyText() const { return m_frequencyText; }
    const QString &nextQuery() const { return m_nextQuery; }
    const QString &lastQuery() const { return m_lastQuery; }
    const ReplyBuffer &buffer() const { return m_rx; }
    qint64 turns() const { return m_turns; }
    qint64 queriesSent() const { return m_queries; }

signals:
    // The display started showing a talkgroup, now confirmed by the next
    // talkgroup replies (kAgreeingReplies in a row with the same bank letter
    // and ID); bankLetter is the trunk bank it came in on. Once for each
    // showing: again when the same talkgroup comes back after it was gone.
    void talkgroupShown(const QString &id, QChar bankLetter);
    // Nothing was received for kQuietMillis; then, once, the first bytes after it.
    void quiet();
    void answering();
    // For the recorder, which follows calls: each squelch reply (open or
    // closed), each channel reply, the end of a talkgroup's showing (the
    // replies agree on none), and a change of mode.
    void squelchHeard(bool open);
    void channelHeard(const QString &channelText, const QString &frequencyText);
    void talkgroupGone();
    void modeChanged(ScannerMode mode);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    // Counts a talkgroup reply ("C123", or "E" for none); true once
    // kAgreeingReplies in a row have said the same.
    bool agreed(const QString &heard);
    void readLine();
    void clearDisplay();
    void handleSquelch(const QString &r);
    void handleChannel(const QString &r);
    void handleTalkgroup(const QString &r);
    void showTalkgroup(const TalkgroupReply &reply);
    void handleMode(const QString &r);
    void handleRejected(const QString &r);

    SessionWiring m_w;
    ScannerState *m_state;
    // The turn timer is delivered straight to timerEvent(): no signal hop on
    // a path taken a hundred times a second.
    QBasicTimer m_timer;
    ReplyBuffer m_rx;

    QString m_reply;
    QString m_previousReply;
    QString m_channelText;
    QString m_frequencyText;
    QChar m_bankLetter;
    QChar m_previousBankLetter;
    QString m_nextQuery;
    QString m_lastQuery;
    QString m_readThisTurn;
    qint64 m_turns = 0;
    qint64 m_queries = 0;
    qint64 m_trunkQueryTurn = 0; // the turn that last sent "ID", "RM" or "IDN"
    int m_silentTurns = 0;       // turns in a row that received nothing
    // What the talkgroup replies say, for the log: a showing ends with
    // another talkgroup, with kAgreeingReplies no-talkgroup replies in a row,
    // or with a change of mode.
    QString m_lastTalkgroupReply; // bank letter and ID ("C123"), "E" for none
    int m_agreeing = 0;           // talkgroup replies in a row that said it
    QString m_loggedTalkgroup;    // the showing logged last; empty when it ended
};
