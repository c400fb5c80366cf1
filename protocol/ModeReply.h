#pragma once

#include "protocol/ScannerMode.h"

#include <QString>

#include <optional>

// The scanner's answer to "MD": "MD00" scan, "MD01" manual, "MD02" search,
// "MD09" trunk search, "MD11" trunk scan (the first four characters count).
namespace ModeReply {

// No value for any other line.
std::optional<ScannerMode> decode(const QString &line);

} // namespace ModeReply
