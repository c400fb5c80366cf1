#include "data/ActivityModels.h"

#include "data/ChannelDatabase.h"
#include "data/TalkgroupActivityLog.h"

#include <QIODevice>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The WHERE clause of a filter, with its values in the order they bind.
QString whereClause(const ActivityFilter &filter, QVariantList *values)
{
    QStringList terms;
    if (!filter.id.trimmed().isEmpty()) {
        terms << QStringLiteral("ID = ?");
        *values << filter.id.trimmed();
    }
    if (filter.from.isValid()) {
        terms << QStringLiteral("HEARD >= ?");
        *values << TalkgroupActivityLog::heardText(filter.from);
    }
    if (filter.to.isValid()) {
        terms << QStringLiteral("HEARD < ?");
        *values << TalkgroupActivityLog::heardText(filter.to);
    }
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

// A column of the row in the bank table that holds the channel numbered
// `number`, as each bank's table has its own fifty channels. A table of the
// user's own making without the column names nothing.
QString bankColumn(QSqlDatabase db, const QString &column, const QString &number)
{
    QString sql = QStringLiteral("CASE (%1 - 1) / %2").arg(number).arg(ChannelDatabase::kChannelsPerBank);
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
        const QString table = ChannelDatabase::bankTableName(bank);
        const QSqlRecord columns = db.record(table);
        if (!columns.contains(column) || !columns.contains(QStringLiteral("CHANNEL")))
            continue;
        sql += QStringLiteral(" WHEN %1 THEN (SELECT %2 FROM %3 WHERE CHANNEL = %4 LIMIT 1)")
                   .arg(bank - 1)
                   .arg(column, table, number);
    }
    return sql.contains(QLatin1String(" WHEN ")) ? sql + QStringLiteral(" END") : QStringLiteral("NULL");
}

// Binds the filter's values, as many times as the statement uses them.
void bindTimes(QSqlQuery &q, const QVariantList &values, int times)
{
    for (int i = 0; i < times; ++i) {
        for (const QVariant &v : values)
            q.addBindValue(v);
    }
}

} // namespace

ActivityQueryModel::ActivityQueryModel(QSqlDatabase db, QObject *parent)
    : QSqlQueryModel(parent)
    , m_db(db)
{
}

bool ActivityQueryModel::apply(const ActivityFilter &filter, QString *error)
{
    m_filter = filter;
    QVariantList values;
    const QString sql = statement(whereClause(filter, &values), kShownRows) + QStringLiteral(" LIMIT %1").arg(kShownRows);
    QSqlQuery q(m_db);
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return false;
    }
    bindTimes(q, values, whereUses());
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    setQuery(std::move(q));
    while (canFetchMore())
        fetchMore(); // to the end: the read is over
    if (lastError().isValid()) {
        *error = lastError().text();
        return false;
    }
    return true;
}

bool ActivityQueryModel::exportCsv(QIODevice *out, QString *error) const
{
    QVariantList values;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(statement(whereClause(m_filter, &values), 0))) {
        *error = q.lastError().text();
        return false;
    }
    bindTimes(q, values, whereUses());
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    const QSqlRecord header = q.record();
    QStringList names;
    for (int c = 0; c < header.count(); ++c)
        names << header.fieldName(c);
    bool ok = out->write(ActivityCsv::record(names)) >= 0;
    while (ok && q.next()) {
        QStringList fields;
        for (int c = 0; c < header.count(); ++c)
            fields << (q.isNull(c) ? QString() : q.value(c).toString());
        ok = out->write(ActivityCsv::record(fields)) >= 0;
    }
    if (!ok)
        *error = out->errorString();
    else if (q.lastError().isValid())
        *error = q.lastError().text();
    return ok && !q.lastError().isValid();
}

QVariant ActivityQueryModel::data(const QModelIndex &index, int role) const
{
    const QVariant value = QSqlQueryModel::data(index, role);
    if (role != Qt::DisplayRole || value.isNull())
        return value;
    const QString column = record().fieldName(index.column());
    if (column == QLatin1String("HEARD") || column == QLatin1String("LAST_HEARD"))
        return TalkgroupActivityLog::localText(value.toString());
    return value;
}

QString ActivityListModel::statement(const QString &where, int limit) const
{
    // The three kinds merged newest first, each read through its index on
    // HEARD only as far as the limit needs; names and recordings are looked
    // up for the rows kept only. KIND and RID say where a row came from.
    const QString talkgroups = QStringLiteral(
        "SELECT * FROM (SELECT a.HEARD AS HEARD, a.ID AS ID, a.BANK AS BANK, NULL AS CHANNEL, NULL AS FREQUENCY, "
        "0 AS KIND, a.rowid AS RID FROM TALKGROUP_ACTIVITY a)");
    const QString channels = QStringLiteral(
        "SELECT * FROM (SELECT c.HEARD AS HEARD, NULL AS ID, NULL AS BANK, c.CHANNEL AS CHANNEL, c.FREQUENCY AS FREQUENCY, "
        "1 AS KIND, c.rowid AS RID FROM CHANNEL_ACTIVITY c)");
    const QString unlisted = QStringLiteral(
        "SELECT * FROM (SELECT x.START_UTC AS HEARD, x.TALKGROUP AS ID, NULL AS BANK, x.CHANNEL AS CHANNEL, "
        "x.FREQUENCY AS FREQUENCY, 2 AS KIND, x.rowid AS RID FROM RECORDINGS x "
        "WHERE x.ACTIVITY IS NULL AND x.CHANNEL_ACTIVITY IS NULL)");
    const QString recording = QStringLiteral(
        "CASE e.KIND WHEN 0 THEN (SELECT x.rowid FROM RECORDINGS x WHERE x.ACTIVITY = e.RID LIMIT 1) "
        "WHEN 1 THEN (SELECT x.rowid FROM RECORDINGS x WHERE x.CHANNEL_ACTIVITY = e.RID LIMIT 1) ELSE e.RID END");
    const QString number = QStringLiteral("CAST(e.CHANNEL AS INTEGER)");
    return QStringLiteral("SELECT e.HEARD, e.ID, e.BANK, e.CHANNEL, e.FREQUENCY, "
                          "CASE WHEN e.ID IS NOT NULL THEN (SELECT SERVICE_DESC FROM TALKGROUPS t WHERE t.ID = e.ID LIMIT 1) "
                          "ELSE %1 END AS NAME, "
                          "CASE WHEN e.ID IS NOT NULL THEN (SELECT CITY FROM TALKGROUPS t WHERE t.ID = e.ID LIMIT 1) "
                          "ELSE %2 END AS CITY, "
                          "r.DURATION AS RECORDING, r.FILE AS FILE FROM (")
               .arg(bankColumn(database(), QStringLiteral("COMPANY_NAME"), number),
                    bankColumn(database(), QStringLiteral("CITY"), number))
           + QStringLiteral("%1%4 UNION ALL %2%4 UNION ALL %3%4 ORDER BY HEARD DESC").arg(talkgroups, channels, unlisted, where)
           + (limit > 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString())
           + QStringLiteral(") e LEFT JOIN RECORDINGS r ON r.rowid = %1 ORDER BY e.HEARD DESC").arg(recording);
}

QVariant ActivityListModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DisplayRole && index.column() == Recording) {
        const QVariant value = QSqlQueryModel::data(index, role);
        return value.isNull() ? value : QVariant(durationText(value.toDouble()));
    }
    return ActivityQueryModel::data(index, role);
}

QString ActivityListModel::fileAt(int row) const
{
    return row < 0 || row >= rowCount() ? QString() : QSqlQueryModel::data(index(row, File)).toString();
}

QString ActivityListModel::durationText(double seconds)
{
    const qint64 whole = qMax<qint64>(0, qRound64(seconds));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString ActivitySummaryModel::statement(const QString &where, int) const
{
    // Counted first, named afterwards: a talkgroup entered twice in
    // TALKGROUPS must not count twice.
    return QStringLiteral("SELECT a.ID, (SELECT CITY FROM TALKGROUPS t WHERE t.ID = a.ID LIMIT 1) AS CITY, "
                          "(SELECT SERVICE_DESC FROM TALKGROUPS t WHERE t.ID = a.ID LIMIT 1) AS SERVICE_DESC, "
                          "a.N AS COUNT, a.LAST AS LAST_HEARD FROM "
                          "(SELECT ID, count(*) AS N, max(HEARD) AS LAST FROM TALKGROUP_ACTIVITY")
           + where + QStringLiteral(" GROUP BY ID) a ORDER BY a.LAST DESC");
}

QByteArray ActivityCsv::record(const QStringList &fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        QByteArray field = fields.at(i).toUtf8();
        if (field.contains('"') || field.contains(',') || field.contains('\n') || field.contains('\r'))
            field = '"' + field.replace("\"", "\"\"") + '"';
        line += field;
    }
    return line + "\r\n";
}

bool ActivityCsv::write(QSqlQueryModel *model, QIODevice *out, QString *error)
{
    if (const auto *activity = qobject_cast<const ActivityQueryModel *>(model))
        return activity->exportCsv(out, error);
    while (model->canFetchMore())
        model->fetchMore();
    const QSqlRecord header = model->record();
    QStringList names;
    for (int c = 0; c < header.count(); ++c)
        names << header.fieldName(c);
    bool ok = out->write(record(names)) >= 0;
    for (int r = 0; ok && r < model->rowCount(); ++r) {
        const QSqlRecord row = model->record(r);
        QStringList fields;
        for (int c = 0; c < row.count(); ++c)
            fields << (row.isNull(c) ? QString() : row.value(c).toString());
        ok = out->write(record(fields)) >= 0;
    }
    if (!ok)
        *error = out->errorString();
    return ok;
}
