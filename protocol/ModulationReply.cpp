#include "protocol/ModulationReply.h"

namespace ModulationReply {

std::optional<Modulation> decode(const QString &line)
{
    if (line == QLatin1String("RM AM"))
        return Modulation::AM;
    if (line == QLatin1String("RM NFM"))
        return Modulation::NFM;
    if (line == QLatin1String("RM WFM"))
        return Modulation::WFM;
    return std::nullopt;
}

} // namespace ModulationReply
