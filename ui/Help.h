#pragma once

#include <QString>

// The help entries' message.
namespace Help {

QString title();  // "Orvendal Help"
// Names the help document and the program directory it lies in.
QString text();

} // namespace Help
