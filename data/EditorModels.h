#pragma once

#include "data/RowTableModel.h"

// A bank table as the channel bank editor edits it. Values the table's
// columns cannot hold are refused.
class BankTableModel : public RowTableModel
{
    Q_OBJECT
public:
    using RowTableModel::RowTableModel;

    // FREQUENCY is shown and edited with the four decimals the scanner uses.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // An empty cell pasted into a flag column clears it.
    bool accepts(int column, const QVariant &value, QVariant *stored) const override;
    // sFREQ is written with FREQUENCY.
    bool follows(int column) const override
    {
        return fieldName(column) == QLatin1String("sFREQ") && fieldIndex(QStringLiteral("FREQUENCY")) >= 0;
    }

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
class TalkgroupTableModel : public RowTableModel
{
    Q_OBJECT
public:
    using RowTableModel::RowTableModel;

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool accepts(int column, const QVariant &value, QVariant *stored) const override
    {
        return normalise(fieldName(column), value, stored);
    }

    static bool normalise(const QString &column, const QVariant &value, QVariant *stored);

protected:
    bool checkRow(int row, QString *why) const override;
};
