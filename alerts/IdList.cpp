#include "alerts/IdList.h"

#include <QRegularExpression>

namespace {

// Talkgroup IDs have at most 12 characters; channels are 1 to 1000.
constexpr int kMaxDigits = 12;
constexpr quint64 kLastChannel = 1000;

std::optional<quint64> number(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,%1}$").arg(kMaxDigits));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toULongLong();
}

} // namespace

std::optional<IdList> IdList::parse(const QString &text, Kind kind, QString *error)
{
    const bool channels = kind == Kind::Channels;
    const QString what = channels ? QStringLiteral("channel") : QStringLiteral("talkgroup ID");
    IdList list;
    for (const QString &raw : text.split(QLatin1Char(','))) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        if (!channels && entry.size() >= 2 && entry.startsWith(QLatin1Char('"')) && entry.endsWith(QLatin1Char('"'))) {
            const QString id = entry.mid(1, entry.size() - 2).trimmed();
            if (id.isEmpty() || id.contains(QLatin1Char('"'))) {
                *error = QStringLiteral("%1 is not a talkgroup ID.").arg(entry);
                return std::nullopt;
            }
            list.m_exact << id;
            continue;
        }
        const qsizetype dash = entry.indexOf(QLatin1Char('-'));
        const auto low = number((dash < 0 ? entry : entry.left(dash)).trimmed());
        const auto high = dash < 0 ? low : number(entry.mid(dash + 1).trimmed());
        if (!low || !high) {
            *error = QStringLiteral("\"%1\" is not a %2 or a range of them (as in 1234 or 2000-2100).").arg(entry, what);
            return std::nullopt;
        }
        if (*low > *high) {
            *error = QStringLiteral("The range %1 goes downwards: write the lower number first.").arg(entry);
            if (!channels)
                *error += QStringLiteral(" A fleet-subfleet ID is written in double quotes, as in \"%1\".").arg(entry);
            return std::nullopt;
        }
        if (channels && (*low < 1 || *high > kLastChannel)) {
            *error = QStringLiteral("%1: the channels are 1 to %2.").arg(entry).arg(kLastChannel);
            return std::nullopt;
        }
        list.m_ranges.append({*low, *high});
    }
    if (list.m_ranges.isEmpty() && list.m_exact.isEmpty()) {
        *error = channels ? QStringLiteral("List at least one channel (as in 12, 100-150).")
                          : QStringLiteral("List at least one talkgroup ID (as in 1234, 2000-2100).");
        return std::nullopt;
    }
    return list;
}

bool IdList::contains(const QString &id) const
{
    const QString text = id.trimmed();
    if (m_exact.contains(text))
        return true;
    const auto value = number(text);
    if (!value)
        return false;
    for (const Range &r : m_ranges) {
        if (*value >= r.low && *value <= r.high)
            return true;
    }
    return false;
}
