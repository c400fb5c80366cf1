#pragma once

#include <QString>

#include <functional>

// Program-wide facts: version texts and where the program's files live.
namespace AppInfo {

// "1.15.24": major, minor and revision without leading zeros.
QString version();
// The build's version comment ("Jan 11, 2001").
QString versionComment();
// The program directory.
QString appPath();
// The channel database file: Data/Orvendal.db under the program directory,
// or, when that folder cannot be written (an installed program), under the
// user's data folder. A database already beside the program is used first
// when this user can write it.
QString databasePath();

// Whether a folder can have files made in it, or a file (and the folder it is
// in) can be written.
using WritableFn = std::function<bool(const QString &path)>;
bool canWrite(const QString &path);
// The choice behind databasePath(): programDir and userDataDir are the two
// candidate folders that Data/Orvendal.db goes under. privileged: a run as
// root, which can write every folder, so writable folders tell nothing.
QString chooseDatabasePath(const QString &programDir, const QString &userDataDir, const WritableFn &writable,
                           bool privileged = false);

} // namespace AppInfo
