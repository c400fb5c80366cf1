#include "data/TalkgroupActivityLog.h"

#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

// How far from its call's row a recording may start.
constexpr int kRecordingWindowSecs = 10;

// The recording nearest the row's time, of the same call, not linked yet.
const char *const kLinkSql =
    "UPDATE RECORDINGS SET %1 = ? WHERE rowid = (SELECT rowid FROM RECORDINGS WHERE ACTIVITY IS NULL AND "
    "CHANNEL_ACTIVITY IS NULL AND %2 AND START_UTC BETWEEN ? AND ? "
    "ORDER BY abs(julianday(START_UTC) - julianday(?)) LIMIT 1)";

} // namespace

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
    m_insertChannel.reset();
    m_linkTalkgroup.reset();
    m_linkChannel.reset();
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
    auto channel = std::make_unique<QSqlQuery>(m_db->database());
    auto linkTalkgroup = std::make_unique<QSqlQuery>(m_db->database());
    auto linkChannel = std::make_unique<QSqlQuery>(m_db->database());
    const bool prepared =
        insert->prepare(QStringLiteral("INSERT INTO TALKGROUP_ACTIVITY (ID, BANK, HEARD) VALUES (?, ?, ?)"))
        && add->prepare(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC, NOTES, DATE, TIME) "
                                       "SELECT ?, ?, ?, ?, ?, ? WHERE NOT EXISTS (SELECT 1 FROM TALKGROUPS WHERE ID = ?)"))
        && channel->prepare(QStringLiteral("INSERT INTO CHANNEL_ACTIVITY (CHANNEL, FREQUENCY, HEARD) VALUES (?, ?, ?)"))
        && linkTalkgroup->prepare(QString::fromLatin1(kLinkSql).arg(QStringLiteral("ACTIVITY"), QStringLiteral("TALKGROUP = ?")))
        && linkChannel->prepare(QString::fromLatin1(kLinkSql).arg(
            QStringLiteral("CHANNEL_ACTIVITY"), QStringLiteral("TALKGROUP IS NULL AND CHANNEL = ? AND FREQUENCY IS ?")));
    if (!prepared) {
        const QSqlError e = insert->lastError().isValid() ? insert->lastError()
                            : add->lastError().isValid()  ? add->lastError()
                            : channel->lastError().isValid() ? channel->lastError()
                            : linkTalkgroup->lastError().isValid() ? linkTalkgroup->lastError()
                                                                 : linkChannel->lastError();
        *error = e.text();
        *busy = ChannelDatabase::isBusy(e);
        insert.reset();
        add.reset();
        channel.reset();
        linkTalkgroup.reset();
        linkChannel.reset();
        m_db->close();
        return false;
    }
    m_insert = std::move(insert);
    m_addTalkgroup = std::move(add);
    m_insertChannel = std::move(channel);
    m_linkTalkgroup = std::move(linkTalkgroup);
    m_linkChannel = std::move(linkChannel);
    return true;
}

void TalkgroupActivityLog::record(const QString &id, QChar bankLetter)
{
    if (id.isEmpty())
        return;
    const QDateTime now = m_clock();
    const QDateTime local = now.toLocalTime();
    enqueue({id, bankLetter.isNull() ? QString() : QString(bankLetter), QString(), QString(), heardText(now),
             local.date().toString(Qt::ISODate), local.time().toString(QStringLiteral("HH:mm:ss"))});
}

void TalkgroupActivityLog::recordChannel(const QString &channel, const QString &frequency, const QDateTime &when)
{
    if (channel.trimmed().isEmpty() && frequency.trimmed().isEmpty())
        return;
    // Kept as the call has them, so that its recording finds the row.
    enqueue({QString(), QString(), channel, frequency, heardText(when.isValid() ? when : m_clock()),
             QString(), QString()});
}

void TalkgroupActivityLog::enqueue(Row row)
{
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
    m_queue.append(std::move(row));
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
        m_insertChannel->finish();
        m_linkTalkgroup->finish();
        m_linkChannel->finish();
        tx.exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    bool added = false;
    // The write lock first: a busy file fails at once, before any work.
    if (!tx.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(tx.lastError());
    for (qsizetype i = 0; i < batch; ++i) {
        const Row &row = m_queue.at(i);
        if (row.id.isEmpty()) {
            m_insertChannel->addBindValue(row.channel);
            m_insertChannel->addBindValue(row.frequency.isEmpty() ? QVariant() : QVariant(row.frequency));
            m_insertChannel->addBindValue(row.heard);
            if (!m_insertChannel->exec())
                return fail(m_insertChannel->lastError());
            if (!linkRecording(m_linkChannel.get(), row, m_insertChannel->lastInsertId()))
                return fail(m_linkChannel->lastError());
            continue;
        }
        m_insert->addBindValue(row.id);
        m_insert->addBindValue(row.bank);
        m_insert->addBindValue(row.heard);
        if (!m_insert->exec())
            return fail(m_insert->lastError());
        if (!linkRecording(m_linkTalkgroup.get(), row, m_insert->lastInsertId()))
            return fail(m_linkTalkgroup->lastError());
        for (const QString &value : {row.id, kUnknown, kUnknown, kAutoAdded, row.date, row.time, row.id})
            m_addTalkgroup->addBindValue(value);
        if (!m_addTalkgroup->exec())
            return fail(m_addTalkgroup->lastError());
        added = added || m_addTalkgroup->numRowsAffected() > 0;
    }
    m_insert->finish();
    m_addTalkgroup->finish();
    m_insertChannel->finish();
    m_linkTalkgroup->finish();
    m_linkChannel->finish();
    if (!tx.exec(QStringLiteral("COMMIT")))
        return fail(tx.lastError());
    // Windows showing the talkgroup log hear of the talkgroups added to it.
    if (added)
        DataChanges::announce({QStringLiteral("TALKGROUPS")});
    return true;
}

bool TalkgroupActivityLog::linkRecording(QSqlQuery *link, const Row &row, const QVariant &rowid)
{
    const QDateTime heard = QDateTime::fromString(row.heard, Qt::ISODateWithMs);
    link->addBindValue(rowid);
    if (row.id.isEmpty()) {
        link->addBindValue(row.channel);
        link->addBindValue(row.frequency.isEmpty() ? QVariant() : QVariant(row.frequency));
    } else {
        link->addBindValue(row.id);
    }
    link->addBindValue(heardText(heard.addSecs(-kRecordingWindowSecs)));
    link->addBindValue(heardText(heard.addSecs(kRecordingWindowSecs)));
    link->addBindValue(row.heard);
    return link->exec();
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
        // Both kinds in one transaction, a batch of each at most.
        QSqlQuery tx(m_db->database());
        int talkgroups = -1, channels = -1;
        if (!tx.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            error = tx.lastError().text();
            busy = ChannelDatabase::isBusy(tx.lastError());
        } else if ((talkgroups = pruneTable(QStringLiteral("TALKGROUP_ACTIVITY"), QStringLiteral("ACTIVITY"), &error, &busy)) >= 0
                   && (channels = pruneTable(QStringLiteral("CHANNEL_ACTIVITY"), QStringLiteral("CHANNEL_ACTIVITY"), &error,
                                             &busy)) >= 0
                   && !tx.exec(QStringLiteral("COMMIT"))) {
            error = tx.lastError().text();
            busy = ChannelDatabase::isBusy(tx.lastError());
            channels = -1;
        }
        if (talkgroups >= 0 && channels >= 0)
            removed = talkgroups + channels;
        else
            tx.exec(QStringLiteral("ROLLBACK"));
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

int TalkgroupActivityLog::pruneTable(const QString &table, const QString &link, QString *error, bool *busy)
{
    // Oldest first, a batch at a time, through the index on HEARD. The
    // recordings of the rows that go keep their files and lose the link, so
    // that a row written later never takes over a recording.
    const QString doomed = QStringLiteral("(SELECT rowid FROM %1 WHERE HEARD < ? ORDER BY HEARD LIMIT %2)")
                               .arg(table)
                               .arg(kPruneBatch);
    const QString cutoff = heardText(m_clock().addDays(-m_retentionDays));
    QSqlQuery q(m_db->database());
    auto fail = [&] {
        *error = q.lastError().text();
        *busy = ChannelDatabase::isBusy(q.lastError());
        return -1;
    };
    q.prepare(QStringLiteral("UPDATE RECORDINGS SET %1 = NULL WHERE %1 IN %2").arg(link, doomed));
    q.addBindValue(cutoff);
    if (!q.exec())
        return fail();
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid IN %2").arg(table, doomed));
    q.addBindValue(cutoff);
    if (!q.exec())
        return fail();
    return q.numRowsAffected();
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
