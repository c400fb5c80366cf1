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

bool runOn(QSqlQueryModel *model, QSqlDatabase db, const QString &sql, const QVariantList &values, QString *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(false);
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return false;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    model->setQuery(std::move(q));
    if (model->lastError().isValid()) {
        *error = model->lastError().text();
        return false;
    }
    return true;
}

} // namespace

ActivityListModel::ActivityListModel(QSqlDatabase db, QObject *parent)
    : QSqlQueryModel(parent)
    , m_db(db)
{
}

bool ActivityListModel::apply(const ActivityFilter &filter, QString *error)
{
    m_filter = filter;
    QVariantList values;
    const QString sql = QStringLiteral("SELECT HEARD, ID, BANK FROM TALKGROUP_ACTIVITY") + whereClause(filter, &values)
                        + QStringLiteral(" ORDER BY HEARD DESC");
    return runOn(this, m_db, sql, values, error);
}

ActivitySummaryModel::ActivitySummaryModel(QSqlDatabase db, QObject *parent)
    : QSqlQueryModel(parent)
    , m_db(db)
{
}

bool ActivitySummaryModel::apply(const ActivityFilter &filter, QString *error)
{
    QVariantList values;
    // Counted first, named afterwards: a talkgroup entered twice in
    // TALKGROUPS must not count twice.
    const QString sql =
        QStringLiteral("SELECT a.ID, (SELECT CITY FROM TALKGROUPS t WHERE t.ID = a.ID LIMIT 1) AS CITY, "
                       "(SELECT SERVICE_DESC FROM TALKGROUPS t WHERE t.ID = a.ID LIMIT 1) AS SERVICE_DESC, "
                       "a.N AS COUNT, a.LAST AS LAST_HEARD FROM "
                       "(SELECT ID, count(*) AS N, max(HEARD) AS LAST FROM TALKGROUP_ACTIVITY")
        + whereClause(filter, &values) + QStringLiteral(" GROUP BY ID) a ORDER BY a.LAST DESC");
    return runOn(this, m_db, sql, values, error);
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
