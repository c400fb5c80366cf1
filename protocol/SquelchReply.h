#pragma once

#include <QString>

#include <optional>

// The scanner's answer to "SQ": "+" while a signal is received, "-" when the
// squelch is closed.
enum class Squelch { Open, Closed };

namespace SquelchReply {

inline std::optional<Squelch> decode(const QString &line)
{
    if (line.startsWith(QLatin1Char('+')))
        return Squelch::Open;
    if (line.startsWith(QLatin1Char('-')))
        return Squelch::Closed;
    return std::nullopt;
}

} // namespace SquelchReply
