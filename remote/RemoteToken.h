#pragma once

#include <QString>

class QSettings;

// The access token of the web front panel: 128 random bits from the system's
// generator, as 32 hexadecimal digits, kept in the settings store so that a
// phone that has the address keeps working after a restart.
namespace RemoteToken {

inline constexpr const char *kKey = "Config/Remote_Token";

// The stored token; a new one is made and stored when there is none or the
// stored one is not a token this program made.
QString current(QSettings &store);
// A new token replaces the old one; every address given out before stops working.
QString renew(QSettings &store);
// Whether a text is a well-formed token.
bool isWellFormed(const QString &token);
// Compares in a time that does not depend on where the texts differ.
bool matches(const QString &given, const QString &expected);

} // namespace RemoteToken
