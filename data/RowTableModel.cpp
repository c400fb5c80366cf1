#include "data/RowTableModel.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

const QString RowTableModel::kCutMark = QStringLiteral("\u2026");

namespace {

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}

} // namespace

bool RowTableModel::isLong(const QVariant &value)
{
    return value.typeId() == QMetaType::QString && value.toString().size() > kShownChars;
}

RowTableModel::RowTableModel(QObject *parent, const QSqlDatabase &db)
    : QAbstractTableModel(parent)
    , m_db(db)
{
}

void RowTableModel::setTable(const QString &table, const QString &sortColumn)
{
    m_table = table;
    m_sortColumn = sortColumn;
    beginResetModel();
    m_rows.clear();
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
    endResetModel();
}

bool RowTableModel::select()
{
    if (m_columns.isEmpty() || !m_columns.contains(m_sortColumn)) {
        m_error = tr("no table %1 with a column %2").arg(m_table, m_sortColumn);
        return false;
    }
    QSqlDriver *driver = m_db.driver();
    QStringList quoted;
    for (const QString &c : std::as_const(m_columns))
        quoted << driver->escapeIdentifier(c, QSqlDriver::FieldName);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %4, %1 FROM %2 ORDER BY %3, %4")
                            .arg(quoted.join(QStringLiteral(", ")),
                                 driver->escapeIdentifier(m_table, QSqlDriver::TableName),
                                 driver->escapeIdentifier(m_sortColumn, QSqlDriver::FieldName), m_rowid);
    if (!q.exec(sql)) {
        m_error = q.lastError().text();
        return false;
    }
    QList<Row> rows;
    const int n = int(m_columns.size());
    while (q.next()) {
        Row row;
        row.rowid = q.value(0).toLongLong();
        row.loaded.reserve(n);
        for (int c = 0; c < n; ++c)
            row.loaded << q.value(c + 1);
        row.values = row.loaded;
        row.changed = QList<bool>(n, false);
        rows << row;
    }
    if (q.lastError().isValid()) {
        m_error = q.lastError().text();
        return false;
    }
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
    m_error.clear();
    return true;
}

int RowTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RowTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant RowTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_columns.size())
        return {};
    const QVariant &v = m_rows.at(index.row()).values.at(index.column());
    if (role == Qt::EditRole)
        return v;
    if (role == Qt::DisplayRole)
        return isLong(v) ? QVariant(v.toString().left(kShownChars) + kCutMark) : v;
    return {};
}

QVariant RowTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_columns.value(section);
    if (section < m_rows.size() && m_rows.at(section).rowid == 0)
        return QStringLiteral("*");
    return section + 1;
}

Qt::ItemFlags RowTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable : Qt::NoItemFlags;
}

bool RowTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    return setValue(index.row(), index.column(), value);
}

QVariant RowTableModel::value(int row, int column) const
{
    return m_rows.value(row).values.value(column);
}

bool RowTableModel::setValue(int row, int column, const QVariant &value)
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns.size())
        return false;
    Row &r = m_rows[row];
    if (sameValue(r.values.at(column), value))
        return true; // nothing changes: the row stays as it was
    r.values[column] = value;
    r.changed[column] = r.rowid == 0 || !sameValue(value, r.loaded.at(column));
    emit dataChanged(index(row, column), index(row, column));
    emit headerDataChanged(Qt::Vertical, row, row);
    return true;
}

bool RowTableModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row > m_rows.size() || count < 1)
        return false;
    beginInsertRows({}, row, row + count - 1);
    const int n = int(m_columns.size());
    for (int i = 0; i < count; ++i)
        m_rows.insert(row, Row{0, QVariantList(n), QVariantList(n), QList<bool>(n, false)});
    endInsertRows();
    return true;
}

bool RowTableModel::isDirty(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return false;
    const Row &r = m_rows.at(row);
    return r.rowid == 0 || r.changed.contains(true);
}

bool RowTableModel::isDirty() const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (isDirty(row))
            return true;
    }
    return false;
}

QString RowTableModel::describe(int row) const
{
    const int key = fieldIndex(m_sortColumn);
    const QVariant v = m_rows.value(row).loaded.value(key);
    if (m_rows.value(row).rowid == 0 || v.isNull())
        return tr("the new row %1").arg(row + 1);
    return tr("the row with %1 %2").arg(m_sortColumn, v.toString().left(kShownChars));
}

bool RowTableModel::checkRow(int, QString *) const
{
    return true;
}

QString RowTableModel::whereLoaded(const Row &row, QVariantList *binds) const
{
    // The rowid finds the row; its loaded values prove nobody changed it since.
    QString where = QStringLiteral(" WHERE %1 = ?").arg(m_rowid);
    *binds << row.rowid;
    for (int c = 0; c < m_columns.size(); ++c) {
        where += QStringLiteral(" AND %1 IS ?").arg(m_db.driver()->escapeIdentifier(m_columns.at(c), QSqlDriver::FieldName));
        *binds << row.loaded.at(c);
    }
    return where;
}

RowTableModel::Outcome RowTableModel::writeRow(const Row &row)
{
    QSqlDriver *driver = m_db.driver();
    const QString table = driver->escapeIdentifier(m_table, QSqlDriver::TableName);
    QStringList names;
    QVariantList binds;
    for (int c = 0; c < m_columns.size(); ++c) {
        if (row.changed.at(c)) {
            names << driver->escapeIdentifier(m_columns.at(c), QSqlDriver::FieldName);
            binds << row.values.at(c);
        }
    }
    QString sql;
    if (row.rowid == 0) {
        sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                              : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(table, names.join(QStringLiteral(", ")),
                                         QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
    } else {
        sql = QStringLiteral("UPDATE %1 SET %2 = ?").arg(table, names.join(QStringLiteral(" = ?, ")))
              + whereLoaded(row, &binds);
    }
    QSqlQuery q(m_db);
    if (!q.prepare(sql)) {
        m_error = q.lastError().text();
        return Outcome::Failed;
    }
    for (const QVariant &v : std::as_const(binds))
        q.addBindValue(v);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return Outcome::Failed;
    }
    return q.numRowsAffected() == 1 ? Outcome::Done : Outcome::Conflict;
}

bool RowTableModel::submitAll()
{
    if (!isDirty())
        return true;
    for (int row = 0; row < m_rows.size(); ++row) {
        QString why;
        if (isDirty(row) && !checkRow(row, &why)) {
            m_error = why;
            return false;
        }
    }
    if (!m_db.transaction()) {
        m_error = m_db.lastError().text();
        return false;
    }
    QList<int> conflicts;
    for (int row = 0; row < m_rows.size(); ++row) {
        if (!isDirty(row))
            continue;
        const Outcome outcome = writeRow(m_rows.at(row));
        if (outcome == Outcome::Failed) {
            m_db.rollback();
            return false;
        }
        if (outcome == Outcome::Conflict)
            conflicts << row;
    }
    if (!conflicts.isEmpty()) {
        m_db.rollback();
        QStringList rows;
        for (const int row : std::as_const(conflicts))
            rows << describe(row);
        // From the last, so that a row taken out leaves the others in place.
        for (auto it = conflicts.crbegin(); it != conflicts.crend(); ++it)
            reload(*it);
        m_error = tr("%1 was changed elsewhere after it was shown here, and is now shown as it is stored. "
                     "Nothing was written.")
                      .arg(rows.join(QStringLiteral(", ")));
        return false;
    }
    if (!m_db.commit()) {
        m_error = m_db.lastError().text();
        m_db.rollback();
        return false;
    }
    return select();
}

void RowTableModel::revertAll()
{
    for (int row = int(m_rows.size()) - 1; row >= 0; --row) {
        if (m_rows.at(row).rowid == 0) {
            beginRemoveRows({}, row, row);
            m_rows.removeAt(row);
            endRemoveRows();
        } else if (isDirty(row)) {
            Row &r = m_rows[row];
            r.values = r.loaded;
            r.changed.fill(false);
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            emit headerDataChanged(Qt::Vertical, row, row);
        }
    }
}

bool RowTableModel::reload(int row)
{
    const QString sql = QStringLiteral("SELECT * FROM %1 WHERE %2 = ?")
                            .arg(m_db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName), m_rowid);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(sql);
    q.addBindValue(m_rows.at(row).rowid);
    if (q.exec() && q.next()) {
        Row &r = m_rows[row];
        for (int c = 0; c < m_columns.size(); ++c)
            r.loaded[c] = q.value(m_columns.at(c));
        r.values = r.loaded;
        r.changed.fill(false);
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        emit rowReloaded(row, false);
        return true;
    }
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    emit rowReloaded(row, true);
    return false;
}

bool RowTableModel::deleteRowNow(int row)
{
    if (row < 0 || row >= m_rows.size())
        return false;
    if (m_rows.at(row).rowid != 0) {
        QVariantList binds;
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("DELETE FROM %1").arg(m_db.driver()->escapeIdentifier(m_table, QSqlDriver::TableName))
                  + whereLoaded(m_rows.at(row), &binds));
        for (const QVariant &v : std::as_const(binds))
            q.addBindValue(v);
        if (!q.exec()) {
            m_error = q.lastError().text();
            return false;
        }
        if (q.numRowsAffected() != 1) {
            const QString what = describe(row);
            reload(row);
            m_error = tr("%1 was changed elsewhere after it was shown here, and is now shown as it is stored. "
                         "Nothing was deleted.")
                          .arg(what);
            return false;
        }
    }
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    return true;
}
