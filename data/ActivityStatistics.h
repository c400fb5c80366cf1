#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <array>

// One talkgroup in the statistics: its calls or its recorded airtime, with
// what TALKGROUPS says of it.
struct TalkgroupFigure
{
    QString id;
    QString service; // SERVICE_DESC, empty when none
    QString city;
    qint64 calls = 0;
    double seconds = 0;    // recorded airtime
    qint64 recordings = 0; // recordings behind the airtime

    // "4711 Fire Dispatch": the ID, and its service when one is known.
    QString label() const;
};

// What the talkgroup activity log says about a time span: calls per hour of
// the day and per day of the week, the busiest talkgroups and the airtime of
// the recorded calls per talkgroup.
struct ActivityFigures
{
    // Hours and days are those of the local time zone (as the machine has
    // it), each call counted at the local time it was heard, summer time
    // included.
    std::array<qint64, 24> perHour{};
    std::array<qint64, 7> perWeekday{}; // Monday first
    qint64 calls = 0;
    // Calls whose time cannot be read (left in an old file): counted in
    // calls and per talkgroup, not per hour or day.
    qint64 undated = 0;
    int talkgroups = 0; // distinct talkgroups heard
    QList<TalkgroupFigure> busiest; // most calls first, at most the top asked for
    QList<TalkgroupFigure> airtime; // most airtime first, at most the top asked for
    qint64 recordings = 0;          // recordings of talkgroups in the span
    double recordedSeconds = 0;
};

// Aggregates over TALKGROUP_ACTIVITY, TALKGROUPS and RECORDINGS for a span
// [from, to) (an invalid end is open), all in one read of the file. The
// database does the counting: the calls are grouped by the quarter hour
// (UTC) they were heard in, and only those groups are turned into local
// time here, so the cost is one pass over the span's rows.
class ActivityStatistics
{
public:
    static constexpr int kDefaultTop = 15;

    explicit ActivityStatistics(QSqlDatabase db)
        : m_db(db)
    {
    }

    // How many talkgroups the busiest and airtime lists hold at most.
    void setTop(int top) { m_top = qMax(1, top); }
    int top() const { return m_top; }

    // False, with *error, when the database cannot be read; *out is then
    // left as it was.
    bool compute(const QDateTime &from, const QDateTime &to, ActivityFigures *out, QString *error) const;

private:
    bool countTimes(const QString &where, const QVariantList &values, ActivityFigures *figures, QString *error) const;
    bool countTalkgroups(const QString &where, const QVariantList &values, ActivityFigures *figures,
                         QString *error) const;
    bool sumAirtime(const QDateTime &from, const QDateTime &to, ActivityFigures *figures, QString *error) const;

    QSqlDatabase m_db;
    int m_top = kDefaultTop;
};
