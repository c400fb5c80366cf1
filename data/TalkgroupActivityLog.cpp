#include "data/TalkgroupActivityLog.h"

#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

const QString TalkgroupActivityLog::kUnknown = QStringLiteral("Unknown");
const QString TalkgroupActivityLog::kAutoAdded = QStringLiteral("Auto-Added by Orvendal");

QString TalkgroupActivityLog::heardText(const QDateTime &when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char('Z');
}

QString TalkgroupActivityLog::localText(const QString &heard)
{
    const QDateTime when = QDateTime::fromString(heard, Qt::ISODateWithMs);
    return when.isValid() ? when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : heard;
}

int TalkgroupActivityLog::clampRetention(qint64 days)
{
    return int(std::clamp<qint64>(days, 0, kMaxRetentionDays));
}

TalkgroupActivityLog::TalkgroupActivityLog(const QString &databasePath, QObject *parent)
    : QObject(parent)
    , m_db(std::make_unique<ChannelDatabase>(
          databasePath, QStringLiteral("orvendal-activity-%1").arg(quintptr(this), 0, 16), 0))
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &TalkgroupActivityLog::flush);
    m_pruneTimer.setSingleShot(true);
    connect(&m_pruneTimer, &QTimer::timeout, this, [this] {
        const int removed = pruneStep();
        if (removed < 0) {
            m_pruneTimer.start(m_retryDelay);
        } else if (removed >= kPruneBatch) {
            m_pruneTimer.start(kPruneGapMillis);
        } else {
            if (m_pruned > 0)
                qCInfo(lcDatabase) << "talkgroup log:" << m_pruned << "rows older than" << m_retentionDays
                                   << "days removed";
            m_pruning = false;
            m_pruneTimer.start(kPruneEveryMillis);
        }
    });
}

TalkgroupActivityLog::~TalkgroupActivityLog()
{
    m_flushTimer.stop();
    m_pruneTimer.stop();
    if (!m_queue.isEmpty()) {
        QString error;
        bool busy = false;
        if (ensureOpen(&error, &busy)) {
            // The run is over: the last rows may wait a little for a lock.
            QSqlQuery(m_db->database()).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(kCloseWaitMillis));
            while (!m_queue.isEmpty() && flush()) {
            }
        }
        m_flushTimer.stop();
        if (!m_queue.isEmpty())
            qCWarning(lcDatabase) << "talkgroup log:" << m_queue.size() << "rows could not be written";
    }
    m_insert.reset();
    m_addTalkgroup.reset();
    m_db->close();
}

bool TalkgroupActivityLog::isOpen() const
{
    return m_insert != nullptr;
}

void TalkgroupActivityLog::start(int retentionDays)
{
    m_retentionDays = clampRetention(retentionDays);
    m_pruning = m_retentionDays > 0;
    if (m_pruning)
        m_pruneTimer.start(m_pruneDelay);
}

bool TalkgroupActivityLog::ensureOpen(QString *error, bool *busy)
{
    if (isOpen())
        return true;
    if (!m_db->open(error)) {
        *busy = m_db->lastFailureWasBusy();
        return false;
    }
    QSqlQuery pragma(m_db->database());
    // In WAL mode a commit then needs no disk sync of its own; checkpoints
    // run every few hundred pages, and the log is cut back each time it
    // starts over.
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    pragma.exec(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(kCheckpointPages));
    pragma.exec(QStringLiteral("PRAGMA journal_size_limit=%1").arg(kJournalLimitBytes));
    pragma.finish();
    auto insert = std::make_unique<QSqlQuery>(m_db->database());
    auto add = std::make_unique<QSqlQuery>(m_db->database());
    const bool prepared =
        insert->prepare(QStringLiteral("INSERT INTO TALKGROUP_ACTIVITY (ID, BANK, HEARD) VALUES (?, ?, ?)"))
        && add->prepare(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC, NOTES, DATE, TIME) "
                                       "SELECT ?, ?, ?, ?, ?, ? WHERE NOT EXISTS (SELECT 1 FROM TALKGROUPS WHERE ID = ?)"));
    if (!prepared) {
        const QSqlError e = insert->lastError().isValid() ? insert->lastError() : add->lastError();
        *error = e.text();
        *busy = ChannelDatabase::isBusy(e);
        insert.reset();
        add.reset();
        m_db->close();
        return false;
    }
    m_insert = std::move(insert);
    m_addTalkgroup = std::move(add);
    return true;
}

void TalkgroupActivityLog::record(const QString &id, QChar bankLetter)
{
    if (id.isEmpty())
        return;
    if (m_queue.size() >= kMaxQueued) {
        m_queue.removeFirst();
        if (m_dropped++ == m_droppedSaid) {
            qCWarning(lcDatabase) << "talkgroup log: more than" << kMaxQueued
                                  << "rows waiting; the oldest are being dropped";
            emit problem(QStringLiteral("Channel database busy: more than %1 talkgroup rows waiting, the oldest are "
                                        "being dropped")
                             .arg(kMaxQueued));
        }
    }
    const QDateTime now = m_clock();
    const QDateTime local = now.toLocalTime();
    m_queue.append({id, bankLetter.isNull() ? QString() : QString(bankLetter), heardText(now),
                    local.date().toString(Qt::ISODate), local.time().toString(QStringLiteral("HH:mm:ss"))});
    if (!m_flushTimer.isActive())
        m_flushTimer.start(m_delay);
}

bool TalkgroupActivityLog::flush()
{
    m_flushTimer.stop();
    if (m_queue.isEmpty())
        return true;
    QElapsedTimer took;
    took.start();
    QString error;
    bool busy = false;
    const qsizetype batch = qMin<qsizetype>(m_queue.size(), kMaxBatch);
    const bool ok = ensureOpen(&error, &busy) && writeBatch(batch, &error, &busy);
    m_longestWriteNs = qMax(m_longestWriteNs, took.nsecsElapsed());
    if (!ok) {
        heldUp(error, busy);
        m_flushTimer.start(m_retryDelay);
        return false;
    }
    m_queue.remove(0, batch);
    m_written += batch;
    if (m_queue.isEmpty())
        resumed();
    emit written(int(batch));
    if (!m_queue.isEmpty())
        m_flushTimer.start(kBatchGapMillis);
    return true;
}

bool TalkgroupActivityLog::writeBatch(qsizetype batch, QString *error, bool *busy)
{
    QSqlQuery tx(m_db->database());
    auto fail = [&](const QSqlError &e) {
        *error = e.text();
        *busy = ChannelDatabase::isBusy(e);
        m_insert->finish();
        m_addTalkgroup->finish();
        tx.exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    bool added = false;
    // The write lock first: a busy file fails at once, before any work.
    if (!tx.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(tx.lastError());
    for (qsizetype i = 0; i < batch; ++i) {
        const Row &row = m_queue.at(i);
        m_insert->addBindValue(row.id);
        m_insert->addBindValue(row.bank);
        m_insert->addBindValue(row.heard);
        if (!m_insert->exec())
            return fail(m_insert->lastError());
        for (const QString &value : {row.id, kUnknown, kUnknown, kAutoAdded, row.date, row.time, row.id})
            m_addTalkgroup->addBindValue(value);
        if (!m_addTalkgroup->exec())
            return fail(m_addTalkgroup->lastError());
        added = added || m_addTalkgroup->numRowsAffected() > 0;
    }
    m_insert->finish();
    m_addTalkgroup->finish();
    if (!tx.exec(QStringLiteral("COMMIT")))
        return fail(tx.lastError());
    // Windows showing the talkgroup log hear of the talkgroups added to it.
    if (added)
        DataChanges::announce({QStringLiteral("TALKGROUPS")});
    return true;
}

int TalkgroupActivityLog::pruneStep()
{
    if (m_retentionDays <= 0)
        return 0;
    QElapsedTimer took;
    took.start();
    QString error;
    bool busy = false;
    int removed = -1;
    if (ensureOpen(&error, &busy)) {
        // Oldest first, a batch at a time, through the index on HEARD.
        QSqlQuery q(m_db->database());
        q.prepare(QStringLiteral("DELETE FROM TALKGROUP_ACTIVITY WHERE rowid IN (SELECT rowid FROM "
                                 "TALKGROUP_ACTIVITY WHERE HEARD < ? ORDER BY HEARD LIMIT ?)"));
        q.addBindValue(heardText(m_clock().addDays(-m_retentionDays)));
        q.addBindValue(kPruneBatch);
        if (q.exec()) {
            removed = q.numRowsAffected();
        } else {
            error = q.lastError().text();
            busy = ChannelDatabase::isBusy(q.lastError());
        }
    }
    m_longestWriteNs = qMax(m_longestWriteNs, took.nsecsElapsed());
    if (removed < 0) {
        heldUp(error, busy);
        return -1;
    }
    if (m_queue.isEmpty())
        resumed();
    m_pruned += removed;
    if (removed > 0)
        emit pruned(removed);
    return removed;
}

void TalkgroupActivityLog::heldUp(const QString &error, bool busy)
{
    if (m_waiting)
        return;
    m_waiting = true;
    qCWarning(lcDatabase) << "talkgroup log: waiting, rows kept for later:" << error;
    emit problem(busy ? QStringLiteral("Channel database busy (another program is writing to it): talkgroups are kept "
                                       "and written when it is free")
                      : QStringLiteral("Talkgroup log cannot be written (%1): talkgroups are kept and tried again")
                            .arg(error));
}

void TalkgroupActivityLog::resumed()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    if (m_dropped > m_droppedSaid) {
        qCWarning(lcDatabase) << "talkgroup log:" << (m_dropped - m_droppedSaid)
                              << "of the oldest rows were dropped while waiting";
        m_droppedSaid = m_dropped;
    }
    qCInfo(lcDatabase) << "talkgroup log: writing again";
    emit problem(QString());
}
