#include "data/DataChanges.h"

DataChanges *DataChanges::instance()
{
    static DataChanges *const changes = new DataChanges;
    return changes;
}

void DataChanges::announce(const QStringList &tables, const QObject *source)
{
    QStringList names = tables;
    names.removeDuplicates();
    names.removeAll(QString());
    if (!names.isEmpty())
        emit instance()->changed(names, source);
}
