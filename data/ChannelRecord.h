#pragma once

#include <QString>

#include <optional>

// One memory channel as read from the scanner: the columns the program
// itself writes to a bank table.
struct ChannelRecord
{
    int channel = 0;     // absolute, 1..1000
    QString sFreq;       // "154.4150"; "000.000" for an empty channel
    double frequency = 0;
    bool trunked = false;
    bool delay = false;
    bool lockout = false;
    bool priority = false;

    // Decodes the scanner's reply to "MA" for the given channel. No value
    // when the line is not that channel's reply (another channel's, or one
    // whose frequency is not eight digits).
    static std::optional<ChannelRecord> fromReply(const QString &reply, int channel);

    // A frequency the scanner can be given on its keys: three or four digits,
    // a point and four digits.
    static bool isWellFormedFrequency(const QString &sFreq);

    static const QString kEmpty; // "000.000"
};
