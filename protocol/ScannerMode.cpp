#include "protocol/ScannerMode.h"

QString modeName(ScannerMode mode)
{
    switch (mode) {
    case ScannerMode::Scan: return QStringLiteral("SCAN");
    case ScannerMode::Manual: return QStringLiteral("MANUAL");
    case ScannerMode::Search: return QStringLiteral("SEARCH");
    case ScannerMode::TrunkSearch: return QStringLiteral("TRNKSRCH");
    case ScannerMode::TrunkScan: return QStringLiteral("TRNKSCAN");
    }
    return QString();
}

MuteSetting nextMuteSetting(MuteSetting setting)
{
    switch (setting) {
    case MuteSetting::Off: return MuteSetting::Auto;
    case MuteSetting::Auto: return MuteSetting::On;
    case MuteSetting::On: return MuteSetting::Off;
    }
    return MuteSetting::Auto;
}
