#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The serial monitor's lines as a list view shows them: appended in batches,
// the oldest let go in blocks once there are more than the cap, so a view
// with uniform item sizes never lays out more than the rows that changed.
class SerialMonitorModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit SerialMonitorModel(int cap, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void append(const QStringList &lines);
    void clear();
    int cap() const { return m_cap; }

private:
    int m_cap;
    QStringList m_lines;
};
