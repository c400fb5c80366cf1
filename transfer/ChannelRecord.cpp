#include "transfer/ChannelRecord.h"

#include <QRegularExpression>

const QString ChannelRecord::kEmpty = QStringLiteral("000.000");

std::optional<ChannelRecord> ChannelRecord::fromReply(const QString &reply, int channel)
{
    // Positions counted from 1: 2-4 channel ("000" for 1000), 7-14 the
    // frequency in eight digits, flags at 17, 20, 23 and 29.
    static const QRegularExpression shape(QStringLiteral("^C(\\d{3})..(\\d{8})"));
    const QRegularExpressionMatch m = shape.match(reply);
    if (!m.hasMatch() || m.captured(1).toInt() != channel % 1000)
        return std::nullopt;
    auto flag = [&reply](int position) { return reply.mid(position - 1, 1) == QLatin1String("N"); };

    ChannelRecord r;
    r.channel = channel;
    const QString digits = m.captured(2);
    if (digits.left(3) == QLatin1String("000")) {
        r.sFreq = kEmpty;
        r.lockout = true;
        return r;
    }
    const QString mhz = digits.at(0) == QLatin1Char('0') ? digits.mid(1, 3) : digits.left(4);
    r.sFreq = mhz + QLatin1Char('.') + digits.mid(4, 4);
    r.frequency = r.sFreq.toDouble();
    r.trunked = flag(17);
    r.delay = flag(20);
    r.lockout = flag(23);
    r.priority = flag(29);
    return r;
}

bool ChannelRecord::isWellFormedFrequency(const QString &sFreq)
{
    static const QRegularExpression re(QStringLiteral("^\\d{3,4}\\.\\d{4}$"));
    return re.match(sFreq).hasMatch();
}
