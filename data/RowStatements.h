#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>

// The statements a grid model runs on one table. Rows are known by SQLite's
// rowid (the tables have no key of their own, and two rows may hold the same
// values); a stored row is changed or deleted only while it still holds the
// values it was loaded with.
class RowStatements
{
public:
    explicit RowStatements(const QSqlDatabase &db) : m_db(db) {}

    // The table, its columns, and the column the rows are sorted by (then by rowid).
    void setTable(const QString &table, const QString &sortColumn);
    const QStringList &columns() const { return m_columns; }

    struct Stored
    {
        qint64 rowid = 0;
        QVariantList values;
    };
    bool selectAll(QList<Stored> *rows, QString *error) const;
    // The row as stored now; false when it is gone.
    bool reload(qint64 rowid, QVariantList *values) const;

    enum class Outcome { Done, Conflict, Failed };
    // A new row with the marked columns; *rowid gets its rowid.
    Outcome insert(const QVariantList &values, const QList<bool> &changed, qint64 *rowid, QString *error) const;
    // Conflict: the row no longer holds what was loaded.
    Outcome update(qint64 rowid, const QVariantList &loaded, const QVariantList &values, const QList<bool> &changed,
                   QString *error) const;
    Outcome remove(qint64 rowid, const QVariantList &loaded, QString *error) const;

private:
    QString quotedTable() const;
    QString column(int c) const;
    QString whereLoaded(qint64 rowid, const QVariantList &loaded, QVariantList *binds) const;
    Outcome run(const QString &sql, const QVariantList &binds, QString *error, qint64 *rowid = nullptr) const;

    QSqlDatabase m_db;
    QString m_table;
    QString m_sortColumn;
    QString m_rowid = QStringLiteral("rowid"); // how the rowid is named in statements
    QStringList m_columns;
};
