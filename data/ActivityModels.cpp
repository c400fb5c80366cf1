#include "data/ActivityModels.h"

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
    const QString sql = statement(whereClause(filter, &values)) + QStringLiteral(" LIMIT %1").arg(kShownRows);
    QSqlQuery q(m_db);
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return false;
    }
    for (const QVariant &v : std::as_const(values))
        q.addBindValue(v);
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
    if (!q.prepare(statement(whereClause(m_filter, &values)))) {
        *error = q.lastError().text();
        return false;
    }
    for (const QVariant &v : std::as_const(values))
        q.addBindValue(v);
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

QString ActivityListModel::statement(const QString &where) const
{
    return QStringLiteral("SELECT HEARD, ID, BANK FROM TALKGROUP_ACTIVITY") + where + QStringLiteral(" ORDER BY HEARD DESC");
}

QString ActivitySummaryModel::statement(const QString &where) const
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
