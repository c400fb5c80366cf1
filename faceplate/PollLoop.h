#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcPoll)

class FacePlate;

// One run of the status poll loop. Every turn (at least 10 ms apart) it reads
// what the scanner sent, takes at most one reply line, updates the display
// from it, and sends at most one query. A new run starts with empty state.
class PollLoop : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTurnMillis = 10;

    explicit PollLoop(FacePlate *plate, QObject *parent = nullptr);

    // Start of a run: "MD" and "MUA" out, mute shown automatic; then turns.
    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }

    // One turn: read, handle, send.
    void turn();
    // Handle one reply line (step 4 of a turn), choosing the next query.
    void handle(const QString &reply);

    // State of this run.
    const QString &reply() const { return m_reply; }
    const QString &previousReply() const { return m_previousReply; }
    const QString &channelText() const { return m_channelText; }
    const QString &frequencyText() const { return m_frequencyText; }
    const QString &lastQuery() const { return m_lastQuery; }
    qint64 turns() const { return m_turns; }
    qint64 queriesSent() const { return m_queries; }

signals:
    // A reply line was taken and handled in this turn.
    void replyHandled(const QString &reply);

private:
    void handleTurn();
    void clearDisplay();
    void handleChannel(const QString &r);
    void handleTalkgroup(const QString &r);
    void handleMode(const QString &r);

    FacePlate *m_plate;
    QTimer m_timer;

    QString m_reply;
    QString m_previousReply;
    QString m_channelText;
    QString m_frequencyText;
    QString m_bankLetter;
    QString m_previousBankLetter;
    QString m_blanks;
    QString m_lastQuery;
    QString m_readThisTurn;
    qint64 m_turns = 0;
    qint64 m_queries = 0;
};
