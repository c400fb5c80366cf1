#include "data/AppInfo.h"

#include "Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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
#ifdef Q_OS_UNIX
    const bool privileged = ::geteuid() == 0;
#else
    const bool privileged = false;
#endif
    return chooseDatabasePath(appPath(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation), canWrite,
                              privileged);
}

bool canWrite(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return info.isWritable();
    // A database file also needs its folder, for the journal beside it.
    return info.isFile() && info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
}

QString chooseDatabasePath(const QString &programDir, const QString &userDataDir, const WritableFn &writable,
                           bool privileged)
{
    const QString relative = QStringLiteral("Data/Orvendal.db");
    const QDir program(programDir);
    const QString beside = program.filePath(relative);
    const QString inUserData = userDataDir.isEmpty() ? beside : QDir(userDataDir).filePath(relative);
    // One beside the program is used first, if this user can write it (not
    // one a run as root left there).
    if (QFileInfo::exists(beside))
        return writable(beside) ? beside : inUserData;
    // The Data folder beside the program, or the program folder to make it in.
    // Root may write anywhere: it makes a database beside the program only in
    // a Data folder that is there already, never beside an installed program.
    const QString dataFolder = program.filePath(QStringLiteral("Data"));
    const bool canCreate = QFileInfo(dataFolder).isDir() ? writable(dataFolder) : !privileged && writable(programDir);
    return canCreate ? beside : inUserData;
}

} // namespace AppInfo
