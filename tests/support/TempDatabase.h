#pragma once

#include "data/ChannelDatabase.h"

#include <QTemporaryDir>

// A channel database of its own in a temporary folder, open and with its
// tables, for tests that read and write it directly.
struct TempDatabase
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Orvendal.db"));
    ChannelDatabase db;

    explicit TempDatabase(const QString &connection)
        : db(path, connection, 100)
    {
        QString error;
        if (!db.open(&error))
            qFatal("%s", qPrintable(error));
    }
};
