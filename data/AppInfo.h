#pragma once

#include <QString>

// Program-wide facts: version texts and where the program's files live.
namespace AppInfo {

// "1.15.24": major, minor and revision without leading zeros.
QString version();
// The build's version comment ("Jan 11, 2001").
QString versionComment();
// The program directory.
QString appPath();
// The channel database file: Data/Orvendal.db under the program directory.
QString databasePath();

} // namespace AppInfo
