#include "data/AppInfo.h"

#include "Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace AppInfo {

QString version()
{
    return QStringLiteral("%1.%2.%3").arg(ORVENDAL_VERSION_MAJOR).arg(ORVENDAL_VERSION_MINOR).arg(ORVENDAL_VERSION_PATCH);
}

QString versionComment()
{
    return QStringLiteral(ORVENDAL_VERSION_COMMENT);
}

QString appPath()
{
    return QCoreApplication::applicationDirPath();
}

QString databasePath()
{
    return chooseDatabasePath(appPath(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                              folderIsWritable);
}

bool folderIsWritable(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

QString chooseDatabasePath(const QString &programDir, const QString &userDataDir, const WritableFn &writable)
{
    const QString relative = QStringLiteral("Data/Orvendal.db");
    const QDir program(programDir);
    const QString beside = program.filePath(relative);
    if (QFileInfo::exists(beside))
        return beside;
    // The Data folder beside the program, or the program folder to make it in.
    const QString dataFolder = program.filePath(QStringLiteral("Data"));
    const bool canCreate = QFileInfo(dataFolder).isDir() ? writable(dataFolder) : writable(programDir);
    if (canCreate || userDataDir.isEmpty())
        return beside;
    return QDir(userDataDir).filePath(relative);
}

} // namespace AppInfo
