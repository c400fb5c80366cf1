#pragma once

#include "protocol/ScannerMode.h"

#include <QString>
#include <QStringList>

// Every command the program sends to the scanner, as text without its
// carriage return (the link frames it).
namespace Command {

// The front-panel keys, by the number of their key command.
enum class Key {
    Scan = 0, Manual = 1, Digit = 2, Point = 3, Enter = 4, Speed = 5, Skip = 6, Hold = 7,
    Limit = 8, Search = 9, Service = 10, Data = 11, Delay = 12, Trunk = 13, Shift = 14,
};

// "KEY00" .. "KEY14". The digit key needs its digit: see digit().
QString key(Key key);
// The key of one digit: "KEY02 5".
QString digit(QChar digit);
// The digit keys that type a number, without leading zeros: 120 gives
// "KEY02 1", "KEY02 2", "KEY02 0".
QStringList numberKeys(int number);
// The keys that type a frequency text: a digit key per digit, the point key
// for the point.
QStringList frequencyKeys(const QString &frequency);

// Mute automatic, on, off: "MUA", "MUN", "MUF".
QString mute(MuteSetting setting);
// Memory access of a channel, at least three digits: "MA053", "MA1000".
QString memoryAccess(int channel);

inline const QString kQueryMode = QStringLiteral("MD");
inline const QString kReadChannel = QStringLiteral("MA");
inline const QString kQuerySquelch = QStringLiteral("SQ");
inline const QString kQueryTalkgroup = QStringLiteral("ID");
inline const QString kTalkgroupDisplayOn = QStringLiteral("IDN");
inline const QString kQueryModulation = QStringLiteral("RM");
// Clears every channel: the scanner's factory defaults.
inline const QString kClearMemory = QStringLiteral("AC");
// Sent once before a restore's first channel.
inline const QString kMemoryAccessStart = QStringLiteral("MA999");

} // namespace Command
