#include "protocol/ModeReply.h"

namespace ModeReply {

std::optional<ScannerMode> decode(const QString &line)
{
    const QStringView code = QStringView(line).left(4);
    if (code == QLatin1String("MD00"))
        return ScannerMode::Scan;
    if (code == QLatin1String("MD01"))
        return ScannerMode::Manual;
    if (code == QLatin1String("MD02"))
        return ScannerMode::Search;
    if (code == QLatin1String("MD09"))
        return ScannerMode::TrunkSearch;
    if (code == QLatin1String("MD11"))
        return ScannerMode::TrunkScan;
    return std::nullopt;
}

} // namespace ModeReply
