#include "data/RowStatements.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

void RowStatements::setTable(const QString &table, const QString &sortColumn)
{
    m_table = table;
    m_sortColumn = sortColumn;
    m_columns.clear();
    const QSqlRecord fields = m_db.record(table);
    for (int i = 0; i < fields.count(); ++i)
        m_columns << fields.fieldName(i);
    // SQLite's names for the rowid, the first one no column of the table hides.
    m_rowid = QStringLiteral("rowid");
    for (const char *name : {"rowid", "_rowid_", "oid"}) {
        if (!m_columns.contains(QLatin1String(name), Qt::CaseInsensitive)) {
            m_rowid = QLatin1String(name);
            break;
        }
    }
}

QString RowStatements::quotedTable() const
{
    return m_db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName);
}

QString RowStatements::column(int c) const
{
    return m_db.driver()->escapeIdentifier(m_columns.at(c), QSqlDriver::FieldName);
}

bool RowStatements::selectAll(QList<Stored> *rows, QString *error) const
{
    if (m_columns.isEmpty() || !m_columns.contains(m_sortColumn)) {
        *error = QObject::tr("no table %1 with a column %2").arg(m_table, m_sortColumn);
        return false;
    }
    QStringList quoted;
    for (int c = 0; c < m_columns.size(); ++c)
        quoted << column(c);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %4, %1 FROM %2 ORDER BY %3, %4")
                            .arg(quoted.join(QStringLiteral(", ")), quotedTable(),
                                 m_db.driver()->escapeIdentifier(m_sortColumn, QSqlDriver::FieldName), m_rowid);
    if (!q.exec(sql)) {
        *error = q.lastError().text();
        return false;
    }
    const int n = int(m_columns.size());
    while (q.next()) {
        Stored row;
        row.rowid = q.value(0).toLongLong();
        row.values.reserve(n);
        for (int c = 0; c < n; ++c)
            row.values << q.value(c + 1);
        *rows << row;
    }
    if (q.lastError().isValid()) {
        *error = q.lastError().text();
        return false;
    }
    return true;
}

bool RowStatements::reload(qint64 rowid, QVariantList *values) const
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(quotedTable(), m_rowid));
    q.addBindValue(rowid);
    if (!q.exec() || !q.next())
        return false;
    values->clear();
    for (const QString &name : m_columns)
        *values << q.value(name);
    return true;
}

QString RowStatements::whereLoaded(qint64 rowid, const QVariantList &loaded, QVariantList *binds) const
{
    // The rowid finds the row; its loaded values prove nobody changed it since.
    QString where = QStringLiteral(" WHERE %1 = ?").arg(m_rowid);
    *binds << rowid;
    for (int c = 0; c < m_columns.size(); ++c) {
        where += QStringLiteral(" AND %1 IS ?").arg(column(c));
        *binds << loaded.at(c);
    }
    return where;
}

RowStatements::Outcome RowStatements::run(const QString &sql, const QVariantList &binds, QString *error,
                                          qint64 *rowid) const
{
    QSqlQuery q(m_db);
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return Outcome::Failed;
    }
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = q.lastError().text();
        return Outcome::Failed;
    }
    if (rowid)
        *rowid = q.lastInsertId().toLongLong();
    return q.numRowsAffected() == 1 ? Outcome::Done : Outcome::Conflict;
}

RowStatements::Outcome RowStatements::insert(const QVariantList &values, const QList<bool> &changed, qint64 *rowid,
                                             QString *error) const
{
    QStringList names;
    QVariantList binds;
    for (int c = 0; c < m_columns.size(); ++c) {
        if (changed.at(c)) {
            names << column(c);
            binds << values.at(c);
        }
    }
    const QString sql = names.isEmpty()
        ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quotedTable())
        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
              .arg(quotedTable(), names.join(QStringLiteral(", ")),
                   QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
    return run(sql, binds, error, rowid);
}

RowStatements::Outcome RowStatements::update(qint64 rowid, const QVariantList &loaded, const QVariantList &values,
                                             const QList<bool> &changed, QString *error) const
{
    QStringList names;
    QVariantList binds;
    for (int c = 0; c < m_columns.size(); ++c) {
        if (changed.at(c)) {
            names << column(c) + QStringLiteral(" = ?");
            binds << values.at(c);
        }
    }
    if (names.isEmpty())
        return Outcome::Done;
    const QString sql = QStringLiteral("UPDATE %1 SET %2").arg(quotedTable(), names.join(QStringLiteral(", ")))
        + whereLoaded(rowid, loaded, &binds);
    return run(sql, binds, error);
}

RowStatements::Outcome RowStatements::remove(qint64 rowid, const QVariantList &loaded, QString *error) const
{
    QVariantList binds;
    const QString sql = QStringLiteral("DELETE FROM %1").arg(quotedTable()) + whereLoaded(rowid, loaded, &binds);
    return run(sql, binds, error);
}
