#pragma once

#include <QString>

// The help entries' message.
namespace Help {

QString title();  // "Orvendal Help"
// Names the help document, the program directory it lies in and the channel
// database file in use.
QString text(const QString &databasePath);

} // namespace Help
