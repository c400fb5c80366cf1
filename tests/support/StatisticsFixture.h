#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

// A talkgroup activity log with known figures (written in UTC; the local
// hours below are those of US Eastern time, EST5EDT):
//  100 "Fire Dispatch" (entered twice in TALKGROUPS): Wednesday 2026-07-01
//      at 10:10, 10:50 and 11:05 EDT; once more in 2025;
//  200 (not in TALKGROUPS): Saturday 2026-12-05 23:59 EST (Sunday in UTC)
//      and Monday 2026-12-07 00:30 EST;
//  300 "Unknown": 01:30 EDT and 01:30 EST on Sunday 2026-11-01, when the
//      clocks go back, and once at a time that cannot be read.
// Recordings: 100 12.5 s and 7.5 s (and 1000 s in 2025), 200 30 s, 300 a
// damaged -5 s, and 99 s of a channel without a talkgroup.
namespace StatisticsFixture {

inline bool exec(QSqlQuery &q, const QString &sql)
{
    if (q.exec(sql))
        return true;
    qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return false;
}

inline bool fill(QSqlDatabase db)
{
    const QStringList calls = {
        "('100','A','2026-07-01T14:10:00.000Z')", "('100','A','2026-07-01T14:50:00.000Z')",
        "('100','A','2026-07-01T15:05:00.000Z')", "('100','A','2025-01-01T12:00:00.000Z')",
        "('200','B','2026-12-06T04:59:00.000Z')", "('200','B','2026-12-07T05:30:00.000Z')",
        "('300','C','2026-11-01T05:30:00.000Z')", "('300','C','2026-11-01T06:30:00.000Z')",
        "('300','C','2026-03-08 02:30:00')",
    };
    const QStringList recordings = {
        "('a','2026-07-01T14:10:00.000Z','x',12.5,'100')", "('b','2026-07-01T14:50:00.000Z','x',7.5,'100')",
        "('c','2025-01-01T12:00:00.000Z','x',1000,'100')", "('d','2026-12-07T05:30:00.000Z','x',30,'200')",
        "('e','2026-11-01T05:30:00.000Z','x',-5,'300')",   "('f','2026-11-01T05:40:00.000Z','x',99,NULL)",
    };
    QSqlQuery q(db);
    return exec(q, QStringLiteral("INSERT INTO TALKGROUP_ACTIVITY (ID, BANK, HEARD) VALUES ") + calls.join(','))
           && exec(q, QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC) VALUES ('100','Springfield','Fire "
                                     "Dispatch'), ('100','Elsewhere','Fire Again'), ('300','Unknown','Unknown')"))
           && exec(q, QStringLiteral("INSERT INTO RECORDINGS (FILE, START_UTC, END_UTC, DURATION, TALKGROUP) VALUES ")
                          + recordings.join(','));
}

} // namespace StatisticsFixture
