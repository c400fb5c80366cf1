#include "data/ChannelRecord.h"

#include "protocol/ChannelReply.h"

#include <QRegularExpression>

const QString ChannelRecord::kEmpty = QStringLiteral("000.000");

std::optional<ChannelRecord> ChannelRecord::fromReply(const QString &line, int channel)
{
    const ChannelReply reply = ChannelReply::decode(line);
    if (!reply.wellFormed || reply.channel() != channel)
        return std::nullopt;

    ChannelRecord r;
    r.channel = channel;
    if (reply.isEmptyChannel()) {
        r.sFreq = kEmpty;
        r.lockout = true;
        return r;
    }
    auto on = [](ChannelReply::Flag flag) { return flag == ChannelReply::Flag::On; };
    r.sFreq = reply.frequencyText;
    r.frequency = r.sFreq.toDouble();
    r.trunked = on(reply.trunked);
    r.delay = on(reply.delay);
    r.lockout = on(reply.lockout);
    r.priority = on(reply.priority);
    return r;
}

bool ChannelRecord::isWellFormedFrequency(const QString &sFreq)
{
    static const QRegularExpression re(QStringLiteral("^\\d{3,4}\\.\\d{4}$"));
    return re.match(sFreq).hasMatch();
}
