#include "ui/Help.h"

#include "data/AppInfo.h"

#include <QDir>

namespace Help {

QString title()
{
    return QStringLiteral("Orvendal Help");
}

QString text()
{
    return QStringLiteral("Please see the enclosed Orvendal.Doc file\r\nIt should be located in the directory:\r\n")
        + QDir::toNativeSeparators(AppInfo::appPath());
}

} // namespace Help
