#pragma once

#include <QString>

// What a reply line is, told by its first character.
enum class ReplyKind {
    Empty,       // no line this turn
    Acknowledge, // "O...": a key or setting command was taken
    Squelch,     // "+" or "-"
    Channel,     // "C...": the answer to "MA"
    Talkgroup,   // "I...": the answer to "ID"
    Mode,        // "M...": the answer to "MD"
    Rejected,    // "N...": "NG" rejects a command; other such lines are shown as they are
    Modulation,  // "R...": the answer to "RM"
    Unknown,
};

ReplyKind replyKindOf(const QString &line);

// Character at a position counted from 1, as the reply layouts count them;
// a null character beyond the end.
inline QChar replyCharAt(const QString &line, int position)
{
    return position >= 1 && position <= line.size() ? line.at(position - 1) : QChar();
}

// The text from a position counted from 1, length characters (-1: to the end).
inline QString replyMid(const QString &line, int position, int length = -1)
{
    return line.mid(position - 1, length);
}
