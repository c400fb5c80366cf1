#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <random>

// One memory channel of the simulated scanner. The frequency is held in units
// of 100 Hz (154.4150 MHz is 1544150); 0 marks an empty channel.
struct SimChannel
{
    int freq = 0;
    bool trunked = false;
    bool delay = false;
    bool lockout = false;
    bool priority = false;

    bool isEmpty() const { return freq == 0; }
    bool operator==(const SimChannel &) const = default;
};

// The scanner's side of the serial protocol: commands in, reply lines out.
// It has no clock of its own beyond the one it is given, so tests can drive
// squelch and talkgroup changes by hand.
class ScannerEngine
{
public:
    static constexpr int kChannels = 1000;

    enum Mode { Scan = 0, Manual = 1, Search = 2, TrunkSearch = 9, TrunkScan = 11 };

    struct Talkgroup
    {
        char bank = 0;      // 'A'..'T'; 0 for "no talkgroup"
        QString id;         // as sent, with leading zeros
    };

    ScannerEngine();

    // The built-in channel plan: the same on every run.
    void loadBuiltInPlan();
    // A plan file: one channel a line, "<channel> <MHz> [T] [D] [L] [P]"
    // (flags trunked, delay, lockout, priority); '#' starts a comment.
    bool loadPlan(const QString &path, QString *error);
    bool savePlan(const QString &path, QString *error) const;

    // Bytes from the program. Returns the reply lines (without CR) in order.
    QStringList receive(const QByteArray &bytes);
    // One command without its CR.
    QStringList handle(const QString &command);

    // Every command received, in order.
    const QStringList &commandLog() const { return m_log; }
    void clearCommandLog() { m_log.clear(); }

    const SimChannel &channel(int n) const { return m_channels.at(n - 1); }
    void setChannel(int n, const SimChannel &c) { m_channels[n - 1] = c; }
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }
    int currentChannel() const { return m_current; }
    void setCurrentChannel(int n) { m_current = n; }
    bool talkgroupDisplayOn() const { return m_idDisplay; }
    void setTalkgroupDisplayOn(bool on) { m_idDisplay = on; }

    // Time, squelch and talkgroups. The clock returns milliseconds.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    void setSquelchTiming(int openMs, int closedMs);
    // Forces the squelch open or closed; std::nullopt-like -1 returns it to its schedule.
    void forceSquelch(int state) { m_forcedSquelch = state; }
    bool squelchOpen();
    void setTalkgroups(const QList<Talkgroup> &stream, int holdMs);
    void setTalkgroupHold(int holdMs) { m_talkgroupMs = qMax(1, holdMs); }
    Talkgroup currentTalkgroup();

    // Faults: stop answering after this many commands (-1: never); a garbage
    // line before every n-th reply (0: never).
    void setSilentAfter(int commands) { m_silentAfter = commands; }
    void setGarbageEvery(int replies) { m_garbageEvery = replies; }
    // Faults of one channel's typing after its "MA" selection (0: none): its
    // keys are answered "NG" and nothing is stored; or they are acknowledged
    // and nothing is stored.
    void setRefuseKeysOn(int channel) { m_refuseKeysOn = channel; }
    // Selects a channel on "MAnnn" without answering it.
    void setSilentOnMemoryAccess(bool silent) { m_silentOnAccess = silent; }
    void setIgnoreTypingOn(int channel) { m_ignoreTypingOn = channel; }

    // Reply texts.
    static QString channelReply(int n, const SimChannel &c);
    static QString frequencyText(int freq); // "154.4150"
    static bool parseFrequency(const QString &text, int *freq); // "154.4150", "154.415"

private:
    void updateScan();
    QString modulationReply() const;
    QString garbageLine();
    bool store(const QString &entry);

    std::array<SimChannel, kChannels> m_channels{};
    QStringList m_log;
    QByteArray m_pending;
    int m_mode = Scan;
    int m_current = 1;
    QString m_entry;
    bool m_idDisplay = false;
    bool m_shift = false;
    int m_silentAfter = -1;
    int m_garbageEvery = 0;
    int m_refuseKeysOn = 0;
    bool m_silentOnAccess = false;
    int m_ignoreTypingOn = 0;
    bool m_accessed = false; // the current channel was selected by "MA" and a number
    int m_replies = 0;
    std::mt19937 m_random{4410};

    std::function<qint64()> m_clock;
    int m_openMs = 2000;
    int m_closedMs = 1500;
    int m_forcedSquelch = -1;
    qint64 m_lastCycle = -1;
    QList<Talkgroup> m_talkgroups;
    int m_talkgroupMs = 2500;
};
