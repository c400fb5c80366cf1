#pragma once

#include <QString>

// The scanner's answer to "ID": "IDF" (talkgroup display off), "IDN" (on),
// "E" at position 4 for no talkgroup, otherwise the bank letter ("A" to "T"
// for banks 1 to 20) at 4 and the talkgroup ID from 6 on, with leading zeros.
// Every one of them begins with "ID". A line that does not (line noise such
// as "I##C#5151"), or whose ID is not digits and "-" (a digit first, at most
// 12 characters, as in fleet-subfleet IDs), is Unrecognised: it must never
// be shown or logged as a talkgroup.
struct TalkgroupReply
{
    enum class Kind { DisplayOff, DisplayOn, NoTalkgroup, Talkgroup, Unrecognised };

    Kind kind = Kind::Unrecognised;
    QChar bankLetter; // Talkgroup only
    int bank = 0;     // 1..20
    QString id;       // at most two leading zeros dropped: 00123 is 123, 00012 is 012

    static constexpr int kMaxIdLength = 12;

    static TalkgroupReply decode(const QString &line);
    static bool looksLikeId(const QString &id);
};
