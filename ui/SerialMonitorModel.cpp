#include "ui/SerialMonitorModel.h"

SerialMonitorModel::SerialMonitorModel(int cap, QObject *parent)
    : QAbstractListModel(parent)
    , m_cap(qMax(1, cap))
{
}

int SerialMonitorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant SerialMonitorModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_lines.size())
        return {};
    return m_lines.at(index.row());
}

void SerialMonitorModel::append(const QStringList &lines)
{
    if (lines.isEmpty())
        return;
    // More than the cap in one batch: only its newest lines can stay.
    const qsizetype take = qMin<qsizetype>(lines.size(), m_cap);
    const QStringList fresh = lines.mid(lines.size() - take);
    // Past the cap, the oldest go in one block of at least a tenth of the
    // cap, so trimming is rare.
    const qsizetype over = m_lines.size() + take - m_cap;
    if (over > 0) {
        const qsizetype drop = qMin(m_lines.size(), qMax(over, qsizetype(m_cap / 10)));
        beginRemoveRows({}, 0, int(drop) - 1);
        m_lines.remove(0, drop);
        endRemoveRows();
    }
    const int first = int(m_lines.size());
    beginInsertRows({}, first, first + int(take) - 1);
    m_lines += fresh;
    endInsertRows();
}

void SerialMonitorModel::clear()
{
    beginResetModel();
    m_lines.clear();
    endResetModel();
}
