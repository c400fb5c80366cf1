#include "protocol/ChannelReply.h"

#include "protocol/ReplyKind.h"

namespace {

ChannelReply::Flag flagAt(const QString &line, int position)
{
    const QChar c = replyCharAt(line, position);
    if (c == QLatin1Char('N'))
        return ChannelReply::Flag::On;
    if (c == QLatin1Char('F'))
        return ChannelReply::Flag::Off;
    return ChannelReply::Flag::Invalid;
}

bool allDigits(const QString &text, qsizetype length)
{
    if (text.size() != length)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

ChannelReply ChannelReply::decode(const QString &line)
{
    ChannelReply r;
    const QString channel = replyMid(line, 2, 3);
    r.channelText = channel == QLatin1String("000") ? QStringLiteral("1000") : channel;
    if (replyCharAt(line, 7) == QLatin1Char('0'))
        r.frequencyText = replyMid(line, 8, 3) + QLatin1Char('.') + replyMid(line, 11, 4);
    else
        r.frequencyText = replyMid(line, 7, 4) + QLatin1Char('.') + replyMid(line, 11, 4);
    r.trunked = flagAt(line, 17);
    r.delay = flagAt(line, 20);
    r.lockout = flagAt(line, 23);
    r.priority = flagAt(line, 29);
    r.wellFormed = replyCharAt(line, 1) == QLatin1Char('C') && allDigits(channel, 3) && allDigits(replyMid(line, 7, 8), 8);
    r.m_emptyChannel = r.wellFormed && replyMid(line, 7, 3) == QLatin1String("000");
    return r;
}

int ChannelReply::channel() const
{
    return wellFormed ? channelText.toInt() : 0;
}

QString ChannelReply::encode(const Contents &c)
{
    auto flag = [](bool on) { return on ? QLatin1Char('N') : QLatin1Char('F'); };
    return QStringLiteral("C%1 F%2%3 T%4 D%5 L%6 A%7 P%8")
        .arg(c.channel % 1000, 3, 10, QLatin1Char('0'))
        .arg(c.freq100Hz / 10000, 4, 10, QLatin1Char('0'))
        .arg(c.freq100Hz % 10000, 4, 10, QLatin1Char('0'))
        .arg(flag(c.trunked))
        .arg(flag(c.delay))
        .arg(flag(c.lockout))
        .arg(flag(c.alert))
        .arg(flag(c.priority));
}
