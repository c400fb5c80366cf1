#pragma once

#include "data/EditorModels.h"

#include <QHash>
#include <QObject>
#include <QSqlDatabase>

// The bank tables one editor window has open, each read on first use and
// kept with its pending changes until they are written, all together. A
// bank written elsewhere (a backup, an import, another window) is read again
// when nothing is pending in it and it is not the one shown: the window
// takes care of that one, asking first.
class BankTables : public QObject
{
    Q_OBJECT
public:
    BankTables(QObject *parent, const QSqlDatabase &db);
    void setShown(const RowTableModel *model) { m_shown = model; }

    // The model of a bank (1..20); null, with *error, when it cannot be read.
    BankTableModel *bank(int bank, QString *error);
    // The model of a bank if it is open, else null.
    BankTableModel *opened(int bank) const { return m_models.value(bank); }
    int bankOf(const RowTableModel *model) const;
    QList<RowTableModel *> all() const;

    bool isDirty() const;
    // Writes the pending changes of every bank in one transaction; *written
    // gets the tables written. See RowTableModel::submitAll.
    bool submitAll(QStringList *written, QString *error, const RowTableModel::Overwrite &overwrite = {});
    void revertAll();

    // The row of an absolute channel in a model, or -1.
    static int rowOfChannel(const BankTableModel *model, int channel);
    // That row, added (in channel order) when the bank has none.
    static int ensureChannel(BankTableModel *model, int channel);

signals:
    // A bank's model was read for the first time.
    void bankOpened(BankTableModel *model);

private:
    QSqlDatabase m_db;
    QHash<int, BankTableModel *> m_models;
    const RowTableModel *m_shown = nullptr;
};
