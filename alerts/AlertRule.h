#pragma once

#include <QLoggingCategory>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcAlerts)

// One call as an alert tells of it: what the scanner showed and what the
// channel database calls it.
struct AlertEvent
{
    QString ruleName;
    QString talkgroup; // empty for a channel
    QChar bankLetter;
    QString channel;
    QString frequency;
    QString name; // the talkgroup's service description or the channel's company name
    QString city; // talkgroups only

    // "Talkgroup 1234: Fire Dispatch, Ashby" or "Channel 12 (154.4150 MHz): Acme Taxi".
    QString text() const;
};
Q_DECLARE_METATYPE(AlertEvent)

// An alert rule: which calls it matches, what it does when one starts, and
// how long it then stays quiet. Rules live in the ALERT_RULES table.
struct AlertRule
{
    enum class Match { Talkgroups, Channels, Name };

    static constexpr int kDefaultCooldownSecs = 60;
    static constexpr int kMaxCooldownSecs = 24 * 3600;

    qint64 id = 0; // 0 until stored
    QString name;
    bool enabled = true;
    Match match = Match::Talkgroups;
    // Talkgroups and Channels: an IdList; Name: the text the name contains.
    QString matchText;
    bool notify = true;
    bool sound = false;
    QString soundFile; // a WAV file; empty for the bundled sound
    bool run = false;
    QString program; // a path, or a name found on PATH
    QStringList arguments;
    int cooldownSecs = kDefaultCooldownSecs;

    // The stored word of a match kind, and back (none for an unknown word).
    static QString matchWord(Match match);
    static std::optional<Match> matchFromWord(const QString &word);

    // Empty when the rule can be saved; otherwise what is wrong with it, as
    // the user is told.
    QString problem() const;
    // The program's path, searched on PATH when it has no folder; empty when
    // there is no such executable.
    static QString resolveProgram(const QString &program);

    // The arguments with {id}, {name}, {channel} and {frequency} replaced by
    // the call's values, each argument staying one argument whatever it
    // holds. A value is never searched for placeholders in turn.
    static QStringList expand(const QStringList &arguments, const AlertEvent &event);
    static const QStringList &placeholders();
};
