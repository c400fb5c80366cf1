#pragma once

#include "data/RowTableModel.h"

// Writes what grid models hold pending (changed, added and deleted rows) in
// one transaction: all of it, or none.
class RowSubmission
{
public:
    static bool submit(const QList<RowTableModel *> &models, QString *error,
                       const RowTableModel::Overwrite &overwrite = {});

private:
    static bool writePending(RowTableModel *m, QStringList *conflicts);
    static void reloadConflicts(RowTableModel *m);
    // The refused rows take what is stored now as loaded, keeping the
    // columns changed here, so that they can be written over it.
    static void rebaseConflicts(RowTableModel *m);
    // Reads one stored row again; false when it is gone.
    static bool reload(RowTableModel *m, int row);
};
