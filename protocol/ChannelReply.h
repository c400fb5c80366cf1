#pragma once

#include <QString>

// The scanner's answer to "MA": "C053 F01544150 TF DN LF AF PF". Positions
// counted from 1: 2-4 the channel ("000" for 1000), 7-14 the frequency in
// eight digits (four before and four after the point), one-letter flags at
// 17 (trunked), 20 (delay), 23 (lockout) and 29 (priority), "N" on and "F" off.
//
// The one place that reads and writes this layout: the poll loop, the backup,
// the benchmarks and the simulator all go through it.
struct ChannelReply
{
    enum class Flag { Off, On, Invalid };

    // The channel as the display shows it: "1000" for "000", otherwise the
    // three characters as sent (leading zeros kept); shorter when the line is.
    QString channelText;
    // "154.4150": whole MHz (one leading zero dropped), a point, four decimals.
    QString frequencyText;
    Flag trunked = Flag::Invalid;
    Flag delay = Flag::Invalid;
    Flag lockout = Flag::Invalid;
    Flag priority = Flag::Invalid;
    // "C", three digits, two characters, eight digits: a complete reply.
    bool wellFormed = false;

    // Reads what the line holds; a short or damaged line gives what is there.
    static ChannelReply decode(const QString &line);

    // 1..1000 for a well-formed reply, else 0.
    int channel() const;
    // The frequency digits at 7 to 9 are "000": the channel holds nothing.
    bool isEmptyChannel() const { return m_emptyChannel; }

    // The reply for a channel: freq100Hz is the frequency in units of 100 Hz
    // (154.4150 MHz is 1544150), 0 for an empty channel.
    struct Contents
    {
        int channel = 1;
        int freq100Hz = 0;
        bool trunked = false;
        bool delay = false;
        bool lockout = false;
        bool alert = false;
        bool priority = false;
    };
    static QString encode(const Contents &contents);

private:
    bool m_emptyChannel = false;
};
