#include "data/BankTables.h"

#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"

BankTables::BankTables(QObject *parent, const QSqlDatabase &db)
    : QObject(parent)
    , m_db(db)
{
    connect(DataChanges::instance(), &DataChanges::changed, this,
            [this](const QStringList &tables, const QObject *source) {
                if (source == this->parent())
                    return;
                for (BankTableModel *model : std::as_const(m_models)) {
                    if (model != m_shown && !model->isDirty() && tables.contains(model->tableName()))
                        model->select();
                }
            });
}

BankTableModel *BankTables::bank(int bank, QString *error)
{
    if (BankTableModel *model = m_models.value(bank))
        return model;
    if (bank < 1 || bank > ChannelDatabase::kBanks) {
        *error = tr("There is no bank %1.").arg(bank);
        return nullptr;
    }
    auto *model = new BankTableModel(this, m_db);
    model->setTable(ChannelDatabase::bankTableName(bank), QStringLiteral("CHANNEL"));
    if (!model->select()) {
        *error = model->lastError();
        delete model;
        return nullptr;
    }
    m_models.insert(bank, model);
    emit bankOpened(model);
    return model;
}

int BankTables::bankOf(const RowTableModel *model) const
{
    for (auto it = m_models.cbegin(); it != m_models.cend(); ++it) {
        if (it.value() == model)
            return it.key();
    }
    return 0;
}

QList<RowTableModel *> BankTables::all() const
{
    QList<RowTableModel *> models;
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
        if (BankTableModel *model = m_models.value(bank))
            models << model;
    }
    return models;
}

bool BankTables::isDirty() const
{
    for (const BankTableModel *model : m_models) {
        if (model->isDirty())
            return true;
    }
    return false;
}

bool BankTables::submitAll(QStringList *written, QString *error, const RowTableModel::Overwrite &overwrite)
{
    QStringList tables;
    for (const RowTableModel *model : all()) {
        if (model->isDirty())
            tables << model->tableName();
    }
    if (!RowTableModel::submitTogether(all(), error, overwrite))
        return false;
    *written = tables;
    return true;
}

void BankTables::revertAll()
{
    for (BankTableModel *model : std::as_const(m_models)) {
        if (model->isDirty())
            model->revertAll();
    }
}

int BankTables::rowOfChannel(const BankTableModel *model, int channel)
{
    const int column = model->fieldIndex(QStringLiteral("CHANNEL"));
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->value(row, column).toInt() == channel && !model->value(row, column).isNull())
            return row;
    }
    return -1;
}

int BankTables::ensureChannel(BankTableModel *model, int channel)
{
    const int found = rowOfChannel(model, channel);
    if (found >= 0)
        return found;
    const int column = model->fieldIndex(QStringLiteral("CHANNEL"));
    int row = 0;
    while (row < model->rowCount() && !model->value(row, column).isNull() && model->value(row, column).toInt() < channel)
        ++row;
    model->insertRows(row, 1);
    model->setValue(row, column, channel);
    return row;
}
