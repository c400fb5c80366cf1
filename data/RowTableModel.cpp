#include "data/RowTableModel.h"

#include "data/RowSubmission.h"

#include <QSqlError>

#include <algorithm>

const QString RowTableModel::kCutMark = QStringLiteral("\u2026");

namespace {

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}

bool sameContent(const RowTableModel::RowContent &a, const RowTableModel::RowContent &b)
{
    if (a.present != b.present)
        return false;
    if (!a.present)
        return true;
    if (a.values.size() != b.values.size())
        return false;
    for (int c = 0; c < a.values.size(); ++c) {
        if (!sameValue(a.values.at(c), b.values.at(c)))
            return false;
    }
    return true;
}

// Records the change made in its scope when no other is being recorded.
struct ChangeScope
{
    ChangeScope(RowTableModel *m, const QString &text) : model(m) { model->beginChange(text); }
    ~ChangeScope() { model->endChange(); }
    RowTableModel *model;
};

} // namespace

bool RowTableModel::isLong(const QVariant &value)
{
    return value.typeId() == QMetaType::QString && value.toString().size() > kShownChars;
}

RowTableModel::RowTableModel(QObject *parent, const QSqlDatabase &db)
    : QAbstractTableModel(parent)
    , m_db(db)
    , m_statements(db)
{
}

void RowTableModel::setTable(const QString &table, const QString &sortColumn)
{
    m_table = table;
    m_sortColumn = sortColumn;
    beginResetModel();
    m_rows.clear();
    m_removed.clear();
    m_statements.setTable(table, sortColumn);
    m_columns = m_statements.columns();
    endResetModel();
}

RowTableModel::Row RowTableModel::newRow()
{
    const int n = int(m_columns.size());
    return Row{m_nextKey++, 0, QVariantList(n), QVariantList(n), QList<bool>(n, false)};
}

bool RowTableModel::select()
{
    QList<RowStatements::Stored> stored;
    if (!m_statements.selectAll(&stored, &m_error))
        return false;
    // Rows keep their keys: those shown, deleted here, or just written (a
    // row just written may have the rowid of one just deleted).
    QHash<qint64, qint64> keys;
    for (const QList<Row> *list : {&m_rows, &m_removed}) {
        for (const Row &r : *list) {
            if (r.rowid != 0)
                keys.insert(r.rowid, r.key);
        }
    }
    keys.insert(m_written);
    m_written.clear();
    if (m_depth > 0) {
        for (int row = 0; row < m_rows.size(); ++row)
            touch(row);
    }
    QList<Row> rows;
    rows.reserve(stored.size());
    for (RowStatements::Stored &s : stored) {
        const qint64 key = keys.contains(s.rowid) ? keys.value(s.rowid) : m_nextKey++;
        touchAbsent(key);
        const int n = int(s.values.size());
        rows << Row{key, s.rowid, s.values, s.values, QList<bool>(n, false)};
    }
    beginResetModel();
    m_rows = std::move(rows);
    m_removed.clear();
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

int RowTableModel::rowOfKey(qint64 key) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).key == key)
            return row;
    }
    return -1;
}

bool RowTableModel::setValue(int row, int column, const QVariant &value)
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns.size())
        return false;
    if (sameValue(m_rows.at(row).values.at(column), value))
        return true; // nothing changes: the row stays as it was
    const ChangeScope scope(this, tr("Edit %1").arg(m_columns.at(column)));
    touch(row);
    Row &r = m_rows[row];
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
    const ChangeScope scope(this, count == 1 ? tr("Add a row") : tr("Add %1 rows").arg(count));
    beginInsertRows({}, row, row + count - 1);
    for (int i = 0; i < count; ++i) {
        const Row added = newRow();
        touchAbsent(added.key);
        m_rows.insert(row + i, added);
    }
    endInsertRows();
    return true;
}

bool RowTableModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > m_rows.size())
        return false;
    const ChangeScope scope(this, count == 1 ? tr("Delete a row") : tr("Delete %1 rows").arg(count));
    for (int i = row; i < row + count; ++i)
        touch(i);
    beginRemoveRows({}, row, row + count - 1);
    for (int i = 0; i < count; ++i) {
        Row gone = m_rows.takeAt(row);
        if (gone.rowid != 0)
            m_removed << gone;
    }
    endRemoveRows();
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
    if (!m_removed.isEmpty())
        return true;
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

bool RowTableModel::submitAll(const Overwrite &overwrite)
{
    return RowSubmission::submit({this}, &m_error, overwrite);
}

bool RowTableModel::submitTogether(const QList<RowTableModel *> &models, QString *error, const Overwrite &overwrite)
{
    return RowSubmission::submit(models, error, overwrite);
}

void RowTableModel::revertAll()
{
    if (select())
        return;
    // The table cannot be read: the rows as they were loaded.
    beginResetModel();
    m_rows << m_removed;
    m_removed.clear();
    m_rows.removeIf([](const Row &r) { return r.rowid == 0; });
    for (Row &r : m_rows) {
        r.values = r.loaded;
        r.changed.fill(false);
    }
    endResetModel();
}

void RowTableModel::setValues(Row &row, const QVariantList &values)
{
    for (int c = 0; c < m_columns.size(); ++c) {
        row.values[c] = values.value(c);
        row.changed[c] = row.rowid == 0 ? !row.values.at(c).isNull() : !sameValue(row.values.at(c), row.loaded.at(c));
    }
}

RowTableModel::RowContent RowTableModel::contentOf(int row) const
{
    return RowContent{m_rows.at(row).key, row, true, m_rows.at(row).values};
}

void RowTableModel::touch(int row)
{
    if (m_depth == 0 || m_applying)
        return;
    const qint64 key = m_rows.at(row).key;
    if (!m_before.contains(key)) {
        m_before.insert(key, contentOf(row));
        m_touched << key;
    }
}

void RowTableModel::touchAbsent(qint64 key)
{
    if (m_depth == 0 || m_applying || m_before.contains(key))
        return;
    m_before.insert(key, RowContent{key, -1, false, {}});
    m_touched << key;
}

void RowTableModel::beginChange(const QString &text)
{
    if (m_depth++ > 0)
        return;
    m_changeText = text;
    m_before.clear();
    m_touched.clear();
}

void RowTableModel::endChange()
{
    if (m_depth == 0 || --m_depth > 0)
        return;
    Contents before;
    Contents after;
    QHash<qint64, int> rows;
    if (!m_touched.isEmpty()) {
        for (int row = 0; row < m_rows.size(); ++row)
            rows.insert(m_rows.at(row).key, row);
    }
    for (const qint64 key : std::as_const(m_touched)) {
        const int row = rows.value(key, -1);
        const RowContent now = row >= 0 ? contentOf(row) : RowContent{key, -1, false, {}};
        if (!sameContent(m_before.value(key), now)) {
            before << m_before.value(key);
            after << now;
        }
    }
    m_before.clear();
    m_touched.clear();
    if (!before.isEmpty())
        emit changeRecorded(m_changeText, before, after);
}

void RowTableModel::applyContents(const Contents &contents)
{
    m_applying = true;
    bool structural = false;
    for (const RowContent &c : contents)
        structural = structural || (rowOfKey(c.key) >= 0) != c.present;
    if (!structural) {
        for (const RowContent &c : contents) {
            const int row = rowOfKey(c.key);
            if (row < 0)
                continue; // absent, and to stay so
            setValues(m_rows[row], c.values);
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            emit headerDataChanged(Qt::Vertical, row, row);
        }
        m_applying = false;
        return;
    }
    beginResetModel();
    Contents present;
    for (const RowContent &c : contents) {
        if (c.present) {
            present << c;
            continue;
        }
        const int row = rowOfKey(c.key);
        if (row >= 0) {
            Row gone = m_rows.takeAt(row);
            if (gone.rowid != 0)
                m_removed << gone;
        }
    }
    // Back at their places, the first first.
    std::stable_sort(present.begin(), present.end(),
                     [](const RowContent &a, const RowContent &b) { return a.position < b.position; });
    for (const RowContent &c : std::as_const(present)) {
        const int row = rowOfKey(c.key);
        if (row >= 0) {
            setValues(m_rows[row], c.values);
            continue;
        }
        const auto it =
            std::find_if(m_removed.begin(), m_removed.end(), [&c](const Row &r) { return r.key == c.key; });
        Row back = newRow();
        if (it != m_removed.end()) {
            back = *it;
            m_removed.erase(it);
        }
        back.key = c.key;
        setValues(back, c.values);
        m_rows.insert(qBound(0, c.position, int(m_rows.size())), back);
    }
    endResetModel();
    m_applying = false;
}
