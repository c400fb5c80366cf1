#pragma once

#include <QString>

// The scanner's answer to "ID": "IDF" (talkgroup display off), "IDN" (on),
// "E" at position 4 for no talkgroup, otherwise the bank letter ("A" to "T"
// for banks 1 to 20) at 4 and the talkgroup ID from 6 on, with leading zeros.
// A reply whose ID does not look like a talkgroup ID (a digit first, then
// digits and "-" as in fleet-subfleet IDs, at most 12 characters) is
// Unrecognised: line noise must never be shown or logged as a talkgroup.
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
