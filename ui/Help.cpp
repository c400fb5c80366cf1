#include "ui/Help.h"

#include "data/AppInfo.h"

#include <QDir>

namespace Help {

QString title()
{
    return QStringLiteral("Orvendal Help");
}

QString text(const QString &databasePath)
{
    return QStringLiteral("Please see the enclosed Orvendal.Doc file\r\nIt should be located in the directory:\r\n")
        + QDir::toNativeSeparators(AppInfo::appPath()) + QStringLiteral("\r\n\r\nThe channel database in use is:\r\n")
        + QDir::toNativeSeparators(databasePath);
}

} // namespace Help
