#include "protocol/TalkgroupReply.h"

#include "protocol/ReplyKind.h"

bool TalkgroupReply::looksLikeId(const QString &id)
{
    if (id.isEmpty() || id.size() > kMaxIdLength || id.front() == QLatin1Char('-'))
        return false;
    for (const QChar c : id) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digit && c != QLatin1Char('-'))
            return false;
    }
    return true;
}

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
    if (!line.startsWith(QLatin1String("ID")))
        return r; // an "I" line of some other shape: noise
    const QChar letter = replyCharAt(line, 4);
    if (letter == QLatin1Char('E')) {
        r.kind = Kind::NoTalkgroup;
        return r;
    }
    if (letter < QLatin1Char('A') || letter > QLatin1Char('T'))
        return r; // not a bank letter the scanner uses
    QString id;
    if (replyCharAt(line, 6) == QLatin1Char('0'))
        id = replyCharAt(line, 7) == QLatin1Char('0') ? replyMid(line, 8) : replyMid(line, 7);
    else
        id = replyMid(line, 6);
    if (!looksLikeId(id))
        return r; // line noise or a garbled reply: nothing to show or log
    r.kind = Kind::Talkgroup;
    r.bankLetter = letter;
    r.bank = letter.unicode() - 'A' + 1;
    r.id = id;
    return r;
}
