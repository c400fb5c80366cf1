#pragma once

#include <QSqlTableModel>

// A bank table as the channel bank editor edits it. Values the table's
// columns cannot hold are refused.
class BankTableModel : public QSqlTableModel
{
    Q_OBJECT
public:
    using QSqlTableModel::QSqlTableModel;

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // A value typed for a column, as it is to be stored; false when the
    // column cannot take it.
    static bool normalise(const QString &column, const QVariant &value, QVariant *stored);
    // A frequency typed into FREQUENCY or sFREQ, as the two columns store it
    // (460.125 and "460.1250"); an empty text or 0 is an empty channel (0 and
    // "000.000"). False when it is no frequency (see Frequency).
    static bool frequencyPair(const QVariant &value, QVariant *mhz, QVariant *sFreq);
};

// The talkgroup log as the talkgroup editor edits it. A talkgroup always has
// an ID: the log's lookups could never find one without.
class TalkgroupTableModel : public QSqlTableModel
{
    Q_OBJECT
public:
    using QSqlTableModel::QSqlTableModel;

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    static bool normalise(const QString &column, const QVariant &value, QVariant *stored);

protected:
    bool insertRowIntoTable(const QSqlRecord &values) override;
};
