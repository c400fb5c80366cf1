#include "data/Frequency.h"

#include "data/ChannelRecord.h"

#include <QRegularExpression>

#include <cmath>

std::optional<Frequency> Frequency::fromText(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,5})(?:\\.(\\d{0,4}))?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const qint64 units = m.captured(1).toLongLong() * kUnitsPerMhz + m.captured(2).leftJustified(4, QLatin1Char('0')).toLongLong();
    if (units <= 0 || units > kMaxUnits)
        return std::nullopt;
    return Frequency(units);
}

std::optional<Frequency> Frequency::fromMhz(double mhz)
{
    if (!std::isfinite(mhz))
        return std::nullopt;
    const double scaled = mhz * kUnitsPerMhz;
    const double rounded = std::round(scaled);
    // More than four decimals is another frequency than the scanner can hold.
    if (std::abs(scaled - rounded) > 1e-4 || rounded <= 0 || rounded > double(kMaxUnits))
        return std::nullopt;
    return Frequency(qint64(rounded));
}

QVariant Frequency::restoreText(const QVariant &frequency, const QVariant &sFreq)
{
    if (!frequency.isNull()) {
        bool ok = false;
        const double mhz = frequency.toDouble(&ok);
        if (ok && mhz == 0)
            return ChannelRecord::kEmpty;
        const std::optional<Frequency> f = ok ? fromMhz(mhz) : std::nullopt;
        return f ? QVariant(f->scannerText()) : QVariant();
    }
    const QString text = sFreq.isNull() ? QString() : sFreq.toString().trimmed();
    if (text == ChannelRecord::kEmpty)
        return ChannelRecord::kEmpty;
    const std::optional<Frequency> f = fromText(text);
    return f ? QVariant(f->scannerText()) : QVariant();
}

QString Frequency::scannerText() const
{
    return QStringLiteral("%1.%2")
        .arg(m_units / kUnitsPerMhz, 3, 10, QLatin1Char('0'))
        .arg(m_units % kUnitsPerMhz, 4, 10, QLatin1Char('0'));
}
