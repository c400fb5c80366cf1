#include "data/TalkgroupActivityLog.h"

#include "data/ChannelDatabase.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

QString TalkgroupActivityLog::heardText(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

TalkgroupActivityLog::TalkgroupActivityLog(const QString &databasePath, QObject *parent)
    : QObject(parent)
    , m_db(std::make_unique<ChannelDatabase>(databasePath, QStringLiteral("orvendal-activity"), kBusyMillis))
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &TalkgroupActivityLog::flush);
}

TalkgroupActivityLog::~TalkgroupActivityLog()
{
    while (!m_queue.isEmpty() && isOpen() && flush()) {
    }
    if (isOpen())
        QSqlQuery(m_db->database()).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    m_insert.reset();
    m_db->close();
}

bool TalkgroupActivityLog::isOpen() const
{
    return m_insert != nullptr;
}

bool TalkgroupActivityLog::open(int retentionDays, QString *error)
{
    if (isOpen())
        return true;
    if (!m_db->open(error))
        return false;
    QSqlQuery pragma(m_db->database());
    // In WAL mode a commit then needs no disk sync of its own; and this
    // connection's commits never run a checkpoint (which syncs): that is
    // done here, before polling starts, and when the log closes.
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    pragma.exec(QStringLiteral("PRAGMA wal_autocheckpoint=0"));
    pragma.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    pragma.finish();
    if (!prune(retentionDays, error)) {
        m_db->close();
        return false;
    }
    m_insert = std::make_unique<QSqlQuery>(m_db->database());
    if (!m_insert->prepare(QStringLiteral("INSERT INTO TALKGROUP_ACTIVITY (ID, BANK, HEARD) VALUES (?, ?, ?)"))) {
        *error = m_insert->lastError().text();
        m_insert.reset();
        m_db->close();
        return false;
    }
    if (!m_queue.isEmpty())
        m_flushTimer.start(m_delay);
    return true;
}

bool TalkgroupActivityLog::prune(int retentionDays, QString *error)
{
    if (retentionDays <= 0)
        return true;
    QSqlQuery q(m_db->database());
    q.prepare(QStringLiteral("DELETE FROM TALKGROUP_ACTIVITY WHERE HEARD < ?"));
    q.addBindValue(heardText(m_clock().addDays(-retentionDays)));
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    if (q.numRowsAffected() > 0)
        qCInfo(lcDatabase) << "activity log: removed" << q.numRowsAffected() << "rows older than" << retentionDays << "days";
    return true;
}

void TalkgroupActivityLog::record(const QString &id, QChar bankLetter)
{
    if (id.isEmpty())
        return;
    if (m_queue.size() >= kMaxQueued)
        m_queue.removeFirst();
    m_queue.append({id, bankLetter.isNull() ? QString() : QString(bankLetter), heardText(m_clock())});
    if (isOpen() && !m_flushTimer.isActive())
        m_flushTimer.start(m_delay);
}

bool TalkgroupActivityLog::flush()
{
    m_flushTimer.stop();
    if (m_queue.isEmpty() || !isOpen())
        return m_queue.isEmpty();
    QElapsedTimer took;
    took.start();
    QSqlDatabase db = m_db->database();
    QString error;
    bool ok = db.transaction();
    if (!ok)
        error = db.lastError().text();
    const qsizetype batch = qMin<qsizetype>(m_queue.size(), kMaxBatch);
    for (qsizetype i = 0; ok && i < batch; ++i) {
        const Row &row = m_queue.at(i);
        m_insert->addBindValue(row.id);
        m_insert->addBindValue(row.bank);
        m_insert->addBindValue(row.heard);
        ok = m_insert->exec();
        if (!ok)
            error = m_insert->lastError().text();
    }
    m_insert->finish();
    if (ok && !db.commit()) {
        ok = false;
        error = db.lastError().text();
    }
    m_longestWriteNs = qMax(m_longestWriteNs, took.nsecsElapsed());
    if (!ok) {
        db.rollback();
        if (!m_warned)
            qCWarning(lcDatabase) << "activity log: rows kept for later:" << error;
        m_warned = true;
        m_flushTimer.start(qMax(m_delay, kFlushMillis) * 4); // another writer, most likely: later
        return false;
    }
    m_warned = false;
    m_queue.remove(0, batch);
    m_written += batch;
    emit written(int(batch));
    if (!m_queue.isEmpty())
        m_flushTimer.start(kBatchGapMillis);
    return true;
}
