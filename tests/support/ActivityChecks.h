#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

// What a test reads back from the talkgroup activity log.

// Every activity row, oldest first, as "ID/BANK".
inline QStringList activityRows(QSqlDatabase db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT ID, BANK FROM TALKGROUP_ACTIVITY ORDER BY rowid"));
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + QLatin1Char('/') + q.value(1).toString();
    return rows;
}

// The first column of the first row of a query; -1 when it fails.
inline int count(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

// A fixed local time the tests' clocks start from.
inline const QDateTime kNoon(QDate(2026, 5, 4), QTime(12, 0));
