#include "data/AppInfo.h"

#include "Version.h"

#include <QCoreApplication>
#include <QDir>

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
    return QDir(appPath()).filePath(QStringLiteral("Data/Orvendal.db"));
}

} // namespace AppInfo
