#pragma once

#include <QString>

#include <optional>

// The scanner's answer to "RM": "RM AM", "RM NFM" or "RM WFM", exactly.
enum class Modulation { AM, NFM, WFM };

namespace ModulationReply {

std::optional<Modulation> decode(const QString &line);

} // namespace ModulationReply
