#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class ChannelDatabase;
class QSqlQuery;

// The talkgroup log's one writer. Each time the faceplate starts showing a
// talkgroup it gets a row in TALKGROUP_ACTIVITY and, when TALKGROUPS has no
// row for it yet, one there ("Unknown", "Auto-Added by Orvendal"); each
// call heard on a channel without a talkgroup gets a row in
// CHANNEL_ACTIVITY. Both kinds share the queue and the batches. Rows are
// queued and written in small batches from the event loop, on a connection
// of its own that is opened when first needed and never waits for a lock:
// while another program holds the file they stay queued (up to kMaxQueued;
// past that the oldest go, and that is said) and are tried again every
// kRetryMillis. Old activity is pruned in small batches after start-up.
//
// The write-ahead log stays small: this connection leaves SQLite's
// automatic checkpoints on (every kCheckpointPages pages) and limits the
// file to kJournalLimitBytes whenever the log starts over.
class TalkgroupActivityLog : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultRetentionDays = 90;
    static constexpr int kMaxRetentionDays = 36500;
    static constexpr int kFlushMillis = 250;
    // Rows kept while the database cannot be written; the oldest go first.
    static constexpr int kMaxQueued = 10000;
    // Rows written in one transaction at most; more follow kBatchGapMillis
    // later, so that writes never hold the window thread for long and poll
    // turns run between them.
    static constexpr int kMaxBatch = 100;
    static constexpr int kBatchGapMillis = 2;
    // How soon a busy or failing file is tried again.
    static constexpr int kRetryMillis = 1000;
    // Pruning: the first batch this long after start(), then batches of
    // kPruneBatch rows kPruneGapMillis apart, and again once a day.
    static constexpr int kPruneDelayMillis = 5000;
    // (A batch that fills the log to its next checkpoint takes the
    // checkpoint's time too: batches stay small.)
    static constexpr int kPruneBatch = 100;
    static constexpr int kPruneGapMillis = 5;
    static constexpr int kPruneEveryMillis = 24 * 3600 * 1000;
    static constexpr int kCheckpointPages = 256;
    static constexpr int kJournalLimitBytes = 1024 * 1024;
    // At the end of a run the last rows may wait this long for a lock.
    static constexpr int kCloseWaitMillis = 2000;

    static const QString kUnknown;
    static const QString kAutoAdded;

    // The text a row's HEARD holds for a moment: UTC, ISO 8601 with
    // milliseconds and "Z", so that text order is time order.
    static QString heardText(const QDateTime &when);
    // A HEARD text in local time for showing; a text that is no time is
    // shown as it is.
    static QString localText(const QString &heard);
    // Days out of 0..kMaxRetentionDays brought into it.
    static int clampRetention(qint64 days);

    explicit TalkgroupActivityLog(const QString &databasePath, QObject *parent = nullptr);
    ~TalkgroupActivityLog() override;

    // Rows older than retentionDays (none for 0) are removed in the
    // background, from kPruneDelayMillis on. Nothing is read or written now.
    void start(int retentionDays);
    int retentionDays() const { return m_retentionDays; }
    bool isOpen() const;
    // A write or prune is held up (the file is busy or failing).
    bool isWaiting() const { return m_waiting; }

    // Queues one row; the write follows within kFlushMillis.
    void record(const QString &id, QChar bankLetter);
    // Queues one row for a call on a channel (no talkgroup), heard at when
    // (the log's clock when invalid).
    void recordChannel(const QString &channel, const QString &frequency, const QDateTime &when = {});
    // Writes what is queued now, up to kMaxBatch rows (the rest follow at
    // once from the event loop). False when the database failed; the rows
    // then stay queued and are tried again later.
    bool flush();
    // Removes one batch of old rows now: how many, or -1 when it failed.
    int pruneStep();

    int queued() const { return int(m_queue.size()); }
    qint64 rowsWritten() const { return m_written; }
    qint64 rowsDropped() const { return m_dropped; }
    qint64 rowsPruned() const { return m_pruned; }
    // Old rows are being removed, batch by batch.
    bool isPruning() const { return m_pruning; }
    // The longest a write or prune batch has held the thread, in milliseconds.
    double longestWriteMillis() const { return m_longestWriteNs / 1e6; }

    // For tests: the clock that dates the rows.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    // How long after the first queued row the write runs.
    void setFlushDelay(int millis) { m_delay = millis; }
    void setRetryDelay(int millis) { m_retryDelay = millis; }
    void setPruneDelay(int millis) { m_pruneDelay = millis; }

signals:
    // Rows were written.
    void written(int rows);
    // Old rows were removed.
    void pruned(int rows);
    // What the status line should say while writing is held up; an empty
    // text when it is over. Said once for each time it is held up.
    void problem(const QString &text);

private:
    struct Row
    {
        QString id; // empty for a channel's call
        QString bank;
        QString channel;
        QString frequency;
        QString heard;
        QString date; // local, for TALKGROUPS
        QString time;
    };
    bool ensureOpen(QString *error, bool *busy);
    bool writeBatch(qsizetype batch, QString *error, bool *busy);
    // Gives the row just written the recording of its call that was
    // registered before it (when the file was free for the recorder first).
    bool linkRecording(QSqlQuery *link, const Row &row, const QVariant &rowid);
    void enqueue(Row row);
    // One batch of old rows of a table, in the transaction pruneStep() opened.
    int pruneTable(const QString &table, const QString &link, QString *error, bool *busy);
    void heldUp(const QString &error, bool busy);
    void resumed();

    std::unique_ptr<ChannelDatabase> m_db;
    std::unique_ptr<QSqlQuery> m_insert;
    std::unique_ptr<QSqlQuery> m_addTalkgroup;
    std::unique_ptr<QSqlQuery> m_insertChannel;
    std::unique_ptr<QSqlQuery> m_linkTalkgroup;
    std::unique_ptr<QSqlQuery> m_linkChannel;
    QList<Row> m_queue;
    QTimer m_flushTimer;
    QTimer m_pruneTimer;
    std::function<QDateTime()> m_clock;
    int m_delay = kFlushMillis;
    int m_retryDelay = kRetryMillis;
    int m_pruneDelay = kPruneDelayMillis;
    int m_retentionDays = 0;
    qint64 m_written = 0;
    qint64 m_dropped = 0;
    qint64 m_droppedSaid = 0;
    qint64 m_pruned = 0;
    qint64 m_longestWriteNs = 0;
    bool m_waiting = false;
    bool m_pruning = false;
};
