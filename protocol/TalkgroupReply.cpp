#include "protocol/TalkgroupReply.h"

#include "protocol/ReplyKind.h"

TalkgroupReply TalkgroupReply::decode(const QString &line)
{
    TalkgroupReply r;
    if (line == QLatin1String("IDF")) {
        r.kind = Kind::DisplayOff;
        return r;
    }
    if (line == QLatin1String("IDN")) {
        r.kind = Kind::DisplayOn;
        return r;
    }
    const QChar letter = replyCharAt(line, 4);
    if (letter == QLatin1Char('E')) {
        r.kind = Kind::NoTalkgroup;
        return r;
    }
    if (letter < QLatin1Char('A') || letter > QLatin1Char('T'))
        return r; // not a bank letter the scanner uses
    r.kind = Kind::Talkgroup;
    r.bankLetter = letter;
    r.bank = letter.unicode() - 'A' + 1;
    if (replyCharAt(line, 6) == QLatin1Char('0'))
        r.id = replyCharAt(line, 7) == QLatin1Char('0') ? replyMid(line, 8) : replyMid(line, 7);
    else
        r.id = replyMid(line, 6);
    return r;
}
