#include "data/ChannelDatabase.h"

#include "data/DatabaseSchema.h"
#include "data/Frequency.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <array>

Q_LOGGING_CATEGORY(lcDatabase, "orvendal.database")

namespace {

QString textOf(const QVariant &v)
{
    return v.isNull() ? QString() : v.toString();
}

} // namespace

// Prepared statements, made once per connection.
struct ChannelDatabase::Queries
{
    std::array<std::optional<QSqlQuery>, kBanks> channel;
    std::optional<QSqlQuery> talkgroup;
    std::optional<QSqlQuery> addTalkgroup;
};

bool ChannelDatabase::isBusy(const QSqlError &error)
{
    // Extended codes included.
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok && (code == 5 || code == 6);
}

QString ChannelDatabase::bankTableName(int bank)
{
    return bank < 10 ? QStringLiteral("BANK0%1").arg(bank) : QStringLiteral("BANK%1").arg(bank);
}

int ChannelDatabase::bankOfChannel(int channel)
{
    if (channel < 1 || channel > kBanks * kChannelsPerBank)
        return 0;
    return (channel - 1) / kChannelsPerBank + 1;
}

ChannelDatabase::ChannelDatabase(const QString &path, const QString &connectionName, int busyMillis)
    : m_path(path)
    , m_connection(connectionName)
    , m_busyMillis(busyMillis)
{
}

ChannelDatabase::~ChannelDatabase()
{
    close();
}

QSqlDatabase ChannelDatabase::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

bool ChannelDatabase::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && database().isOpen();
}

bool ChannelDatabase::open(QString *error)
{
    m_lastFailureBusy = false;
    if (isOpen())
        return true;
    const bool existed = QFileInfo::exists(m_path);
    if (!existed && !QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        *error = QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(QFileInfo(m_path).absolutePath()));
        return false;
    }
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::contains(m_connection) ? QSqlDatabase::database(m_connection, false)
                                                                : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyMillis));
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            // Reading the schema tells a SQLite file from anything else.
            QSqlQuery probe(db);
            opened = probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
            if (!opened) {
                m_lastFailureBusy = isBusy(probe.lastError());
                *error = QStringLiteral("%1 is not a usable database: %2")
                             .arg(QDir::toNativeSeparators(m_path), probe.lastError().text());
            }
        }
    }
    if (!opened) {
        close(); // with no handle of the connection left
        return false;
    }
    // A new or zero-length file gets its tables, an older one is migrated, a
    // newer one is refused. A file that was there before is never removed.
    if (!DatabaseSchema::prepare(database(), m_path, error, &m_lastFailureBusy)) {
        close();
        if (!existed)
            QFile::remove(m_path);
        return false;
    }
    m_queries = std::make_unique<Queries>();
    qCInfo(lcDatabase) << "opened" << m_path << "as" << m_connection;
    return true;
}

void ChannelDatabase::close()
{
    m_queries.reset();
    if (!QSqlDatabase::contains(m_connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlQuery *ChannelDatabase::prepared(std::optional<QSqlQuery> &slot, const QString &sql, QString *error)
{
    if (!slot) {
        slot.emplace(database());
        if (!slot->prepare(sql)) {
            *error = slot->lastError().text();
            slot.reset();
            return nullptr;
        }
    }
    return &*slot;
}

bool ChannelDatabase::run(QSqlQuery *q, const QVariantList &values, QString *error)
{
    for (const QVariant &v : values)
        q->addBindValue(v);
    if (q->exec())
        return true;
    *error = q->lastError().text();
    m_lastFailureBusy = isBusy(q->lastError());
    return false;
}

bool ChannelDatabase::lookupChannel(int channel, std::optional<ChannelNotes> *found, QString *error)
{
    found->reset();
    const int bank = bankOfChannel(channel);
    if (bank == 0)
        return true;
    if (!open(error))
        return false;
    QSqlQuery *q = prepared(m_queries->channel[bank - 1],
                            QStringLiteral("SELECT COMPANY_NAME, NOTES FROM %1 WHERE CHANNEL = ?").arg(bankTableName(bank)),
                            error);
    if (!q || !run(q, {channel}, error))
        return false;
    if (q->next())
        *found = ChannelNotes{textOf(q->value(0)), textOf(q->value(1))};
    q->finish();
    return true;
}

bool ChannelDatabase::lookupTalkgroup(const QString &id, std::optional<Talkgroup> *found, QString *error)
{
    found->reset();
    if (!open(error))
        return false;
    QSqlQuery *q = prepared(m_queries->talkgroup,
                            QStringLiteral("SELECT ID, CITY, SERVICE_DESC, NOTES FROM TALKGROUPS WHERE ID = ?"), error);
    if (!q || !run(q, {id}, error))
        return false;
    if (q->next())
        *found = Talkgroup{textOf(q->value(0)), textOf(q->value(1)), textOf(q->value(2)), textOf(q->value(3))};
    q->finish();
    return true;
}

bool ChannelDatabase::addTalkgroup(const Talkgroup &t, const QDateTime &when, QString *error)
{
    if (!open(error))
        return false;
    QSqlQuery *q = prepared(
        m_queries->addTalkgroup,
        QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC, NOTES, DATE, TIME) VALUES (?, ?, ?, ?, ?, ?)"),
        error);
    return q
        && run(q,
               {t.id, t.city, t.serviceDesc, t.notes, when.date().toString(Qt::ISODate),
                when.time().toString(QStringLiteral("HH:mm:ss"))},
               error);
}

bool ChannelDatabase::storeBank(int bank, const QList<ChannelRecord> &channels, int *otherRows, QString *error)
{
    *otherRows = 0;
    m_lastFailureBusy = false;
    if (!open(error))
        return false;
    QSqlDatabase db = database();
    const QString table = bankTableName(bank);
    auto failWith = [&](const QSqlError &e) {
        *error = e.text();
        m_lastFailureBusy = isBusy(e);
        db.rollback();
        return false;
    };
    if (!db.transaction())
        return failWith(db.lastError());
    auto fail = [&](QSqlQuery &q) {
        const QSqlError e = q.lastError();
        q.finish();
        return failWith(e);
    };

    // The first row of each channel is the one the scanner's values go into.
    QHash<int, qint64> firstRow;
    int rows = 0;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT rowid, CHANNEL FROM %1 ORDER BY rowid").arg(table)))
            return fail(q);
        while (q.next()) {
            ++rows;
            if (!q.value(1).isNull() && !firstRow.contains(q.value(1).toInt()))
                firstRow.insert(q.value(1).toInt(), q.value(0).toLongLong());
        }
    }
    QSqlQuery update(db);
    QSqlQuery insert(db);
    if (!update.prepare(QStringLiteral("UPDATE %1 SET FREQUENCY = ?, sFREQ = ?, TRUNKED = ?, DELAY = ?, LOCKOUT = ?, "
                                       "PRIORITY = ? WHERE rowid = ?")
                            .arg(table)))
        return fail(update);
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (FREQUENCY, sFREQ, TRUNKED, DELAY, LOCKOUT, PRIORITY, CHANNEL) "
                                       "VALUES (?, ?, ?, ?, ?, ?, ?)")
                            .arg(table)))
        return fail(insert);
    int updated = 0;
    for (const ChannelRecord &r : channels) {
        const auto row = firstRow.constFind(r.channel);
        QSqlQuery &q = row != firstRow.constEnd() ? update : insert;
        q.addBindValue(r.frequency);
        q.addBindValue(r.sFreq);
        q.addBindValue(int(r.trunked));
        q.addBindValue(int(r.delay));
        q.addBindValue(int(r.lockout));
        q.addBindValue(int(r.priority));
        q.addBindValue(row != firstRow.constEnd() ? QVariant(*row) : QVariant(r.channel));
        if (!q.exec())
            return fail(q);
        updated += row != firstRow.constEnd() ? 1 : 0;
    }
    update.finish();
    insert.finish();
    if (!db.commit())
        return failWith(db.lastError());
    *otherRows = rows - updated;
    return true;
}

bool ChannelDatabase::bankFrequencies(int bank, QMap<int, QVariant> *frequencies, QString *error)
{
    frequencies->clear();
    if (!open(error))
        return false;
    QSqlQuery q(database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT CHANNEL, FREQUENCY, sFREQ FROM %1 ORDER BY rowid").arg(bankTableName(bank)))) {
        *error = q.lastError().text();
        return false;
    }
    while (q.next()) {
        const int channel = q.value(0).toInt();
        if (!frequencies->contains(channel))
            frequencies->insert(channel, Frequency::restoreText(q.value(1), q.value(2)));
    }
    return true;
}
