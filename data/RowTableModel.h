#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>

// One table of the channel database in a grid, each row known by SQLite's
// rowid (the tables have no key of their own, and two rows may hold the same
// values). Changes are kept until submitAll() writes them in one transaction;
// a row is written only while it still holds what the grid loaded, so a row
// another program changed or deleted meanwhile is never overwritten: it is
// shown again as it is now and the write is refused with the reason.
class RowTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Texts longer than this are shown cut, ending in kCutMark; the whole
    // value stays the edit value.
    static constexpr int kShownChars = 200;
    static const QString kCutMark;
    static bool isLong(const QVariant &value);

    RowTableModel(QObject *parent, const QSqlDatabase &db);

    // The table and the column the rows are sorted by (then by rowid).
    void setTable(const QString &table, const QString &sortColumn);
    QString tableName() const { return m_table; }
    QString fieldName(int column) const { return m_columns.value(column); }
    int fieldIndex(const QString &name) const { return int(m_columns.indexOf(name)); }
    const QStringList &fieldNames() const { return m_columns; }

    // Reads the table again, dropping every pending change; false (see
    // lastError) when it cannot be read.
    bool select();
    QString lastError() const { return m_error; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Plain values as they are given; the editors' models check them first.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // A new row at the given place, stored by the next submitAll().
    bool insertRows(int row, int count, const QModelIndex &parent = {}) override;
    // Deletes one row from the table now, on its own: the other rows' pending
    // changes stay as they are. A new row not yet stored is simply dropped.
    bool deleteRowNow(int row);

    bool isDirty() const;
    bool isDirty(int row) const;
    // Writes every pending change in one transaction: all or nothing. A row
    // changed or deleted elsewhere since it was loaded is reloaded (its own
    // pending change dropped) and nothing is written; the others stay pending.
    bool submitAll();
    void revertAll();

    // The row as loaded (pending changes left out), and its rowid (0 for a
    // new row).
    qint64 rowId(int row) const { return m_rows.value(row).rowid; }

signals:
    // A row was reloaded because it changed elsewhere; deleted: it is gone.
    void rowReloaded(int row, bool deleted);

protected:
    // Sets a value of the pending row without any check.
    bool setValue(int row, int column, const QVariant &value);
    QVariant value(int row, int column) const;
    void setLastError(const QString &error) { m_error = error; }
    // How a row is named in messages ("CHANNEL 53").
    QString describe(int row) const;
    // Whether a row may be stored as it stands; false with *why.
    virtual bool checkRow(int row, QString *why) const;

private:
    struct Row
    {
        qint64 rowid = 0; // 0: a new row, not yet stored
        QVariantList loaded;
        QVariantList values;
        QList<bool> changed;
    };
    enum class Outcome { Done, Conflict, Failed };
    Outcome writeRow(const Row &row);
    QString whereLoaded(const Row &row, QVariantList *binds) const;
    // Reads one stored row again; false when it is gone.
    bool reload(int row);

    QSqlDatabase m_db;
    QString m_table;
    QString m_sortColumn;
    QString m_rowid; // how the rowid is named in statements
    QStringList m_columns;
    QList<Row> m_rows;
    QString m_error;
};
