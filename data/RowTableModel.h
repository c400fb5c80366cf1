#pragma once

#include "data/RowStatements.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>

#include <functional>

// One table of the channel database in a grid, each row known by SQLite's
// rowid. Changes, added and deleted rows are kept until submitAll() writes
// them in one transaction; a row is written only while it still holds what
// the grid loaded, so a row another program changed or deleted meanwhile is
// never overwritten: it is shown again as it is now and the write is refused
// with the reason.
//
// Every change is recorded as the rows' contents before and after it (see
// changeRecorded), each row known by a key that stays with it through saves
// and reloads, so that an undo history can put the contents back.
class RowTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Texts longer than this are shown cut, ending in kCutMark; the whole
    // value stays the edit value.
    static constexpr int kShownChars = 200;
    static const QString kCutMark;
    static bool isLong(const QVariant &value);

    // A row's contents at one moment: present in the grid (at position) or not.
    struct RowContent
    {
        qint64 key = 0;
        int position = -1;
        bool present = false;
        QVariantList values;
    };
    using Contents = QList<RowContent>;

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

    // New rows at the given place, stored by the next submitAll().
    bool insertRows(int row, int count, const QModelIndex &parent = {}) override;
    // Rows leave the grid; stored ones are deleted by the next submitAll().
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;

    bool isDirty() const;
    bool isDirty(int row) const;
    // Writes every pending change in one transaction: all or nothing. A row
    // changed or deleted elsewhere since it was loaded is reloaded (its own
    // pending change dropped) and nothing is written; the others stay pending.
    //
    // Asked first, with the rows named, whether the changes go over rows
    // changed elsewhere: true writes them (a column not changed here keeps
    // what was written elsewhere); false, or no question, refuses as above.
    using Overwrite = std::function<bool(const QString &rows)>;
    bool submitAll(const Overwrite &overwrite = {});
    // The same for several models on one connection, in one transaction.
    static bool submitTogether(const QList<RowTableModel *> &models, QString *error, const Overwrite &overwrite = {});
    void revertAll();

    qint64 rowId(int row) const { return m_rows.value(row).rowid; }
    qint64 rowKey(int row) const { return m_rows.value(row).key; }
    int rowOfKey(qint64 key) const;
    // Whether a column takes a value pasted into it, and as what it is stored.
    virtual bool accepts(int column, const QVariant &value, QVariant *stored) const
    {
        *stored = value;
        return column >= 0 && column < m_columns.size();
    }
    // A column whose value follows another's (and is left out of the
    // clipboard, so that copied rows fit whichever columns are shown).
    virtual bool follows(int column) const { return column < 0; }
    // Sets a value of the pending row without any check.
    bool setValue(int row, int column, const QVariant &value);
    QVariant value(int row, int column) const;

    // Changes made between these two (they nest) are recorded as one, named
    // by text; a change made outside them is recorded on its own.
    void beginChange(const QString &text);
    void endChange();
    // Puts rows back to the given contents, recording nothing.
    void applyContents(const Contents &contents);

signals:
    // A row was reloaded because it changed elsewhere; deleted: it is gone.
    void rowReloaded(int row, bool deleted);
    // The rows a change touched, before and after it.
    void changeRecorded(const QString &text, const RowTableModel::Contents &before,
                        const RowTableModel::Contents &after);

protected:
    void setLastError(const QString &error) { m_error = error; }
    // How a row is named in messages ("CHANNEL 53").
    QString describe(int row) const;
    // Whether a row may be stored as it stands; false with *why.
    virtual bool checkRow(int row, QString *why) const;

private:
    friend class RowSubmission;
    struct Row
    {
        qint64 key = 0;
        qint64 rowid = 0; // 0: a new row, not yet stored
        QVariantList loaded;
        QVariantList values;
        QList<bool> changed;
    };
    Row newRow();
    void setValues(Row &row, const QVariantList &values);
    RowContent contentOf(int row) const;
    // The row's contents before the change being recorded.
    void touch(int row);
    void touchAbsent(qint64 key);

    QSqlDatabase m_db;
    RowStatements m_statements;
    QString m_table;
    QString m_sortColumn;
    QStringList m_columns;
    QList<Row> m_rows;
    QList<Row> m_removed; // stored rows deleted from the grid, not yet from the table
    QList<qint64> m_conflicts; // keys whose write was refused
    QHash<qint64, qint64> m_written; // rowid -> key of rows just inserted
    qint64 m_nextKey = 1;
    QString m_error;

    int m_depth = 0;
    bool m_applying = false;
    QString m_changeText;
    QHash<qint64, RowContent> m_before;
    QList<qint64> m_touched;
};
