#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class ChannelDatabase;
class QSqlQuery;

// The call log: a row in TALKGROUP_ACTIVITY for every talkgroup the faceplate
// starts showing. Rows are queued and written together, in one transaction on
// a connection kept open, shortly after the first of them arrives, so that a
// poll turn never waits for the disk.
class TalkgroupActivityLog : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultRetentionDays = 90;
    static constexpr int kFlushMillis = 250;
    // Rows kept while the database cannot be written; the oldest go first.
    static constexpr int kMaxQueued = 10000;
    // Rows written in one transaction at most; more follow kBatchGapMillis
    // later, so that writes never hold the window thread for long and poll
    // turns run between them.
    static constexpr int kMaxBatch = 100;
    static constexpr int kBatchGapMillis = 2;
    // How long a write waits for another writer; a busy file is tried later.
    static constexpr int kBusyMillis = 20;

    // The text a row's HEARD holds for a moment.
    static QString heardText(const QDateTime &when);

    explicit TalkgroupActivityLog(const QString &databasePath, QObject *parent = nullptr);
    ~TalkgroupActivityLog() override;

    // Opens the connection and removes rows older than retentionDays (none
    // for 0 or less). False, with *error, when the file cannot be used; rows
    // recorded then stay queued until a later open works.
    bool open(int retentionDays, QString *error);
    bool isOpen() const;

    // Queues one row; the write follows within kFlushMillis.
    void record(const QString &id, QChar bankLetter);
    // Writes what is queued now, up to kMaxBatch rows (the rest follow at
    // once from the event loop). False when the database failed; the rows
    // then stay queued.
    bool flush();
    int queued() const { return int(m_queue.size()); }
    qint64 rowsWritten() const { return m_written; }
    // The longest a write has held the thread, in milliseconds.
    double longestWriteMillis() const { return m_longestWriteNs / 1e6; }

    // For tests: the clock that dates the rows.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    // How long after the first queued row the write runs.
    void setFlushDelay(int millis) { m_delay = millis; }

signals:
    // Rows were written.
    void written(int rows);

private:
    struct Row
    {
        QString id;
        QString bank;
        QString heard;
    };
    bool prune(int retentionDays, QString *error);

    std::unique_ptr<ChannelDatabase> m_db;
    std::unique_ptr<QSqlQuery> m_insert;
    QList<Row> m_queue;
    QTimer m_flushTimer;
    std::function<QDateTime()> m_clock;
    int m_delay = kFlushMillis;
    qint64 m_written = 0;
    qint64 m_longestWriteNs = 0;
    bool m_warned = false;
};
