// Activity statistics: calls per local hour and weekday, the busiest
// talkgroups and their recorded airtime, over a log with known figures.

#include "StatisticsFixture.h"
#include "TempDatabase.h"
#include "data/ActivityStatistics.h"

#include <QTest>

#include <ctime>

namespace {

void useZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

QDateTime utc(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

QStringList labels(const QList<TalkgroupFigure> &figures)
{
    QStringList list;
    for (const TalkgroupFigure &f : figures)
        list << f.label();
    return list;
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(StatisticsFixture::fill(m_db.db.database())); }
    void countsInLocalTime();
    void talkgroupsAndAirtime();
    void halfHourZone();
    void unreadableDatabaseIsAnError();

private:
    TempDatabase m_db{QStringLiteral("statistics")};
};

void TestStatistics::countsInLocalTime()
{
    useZone("EST5EDT,M3.2.0,M11.1.0");
    ActivityStatistics stats(m_db.db.database());
    ActivityFigures f;
    QString error;
    QVERIFY2(stats.compute(utc("2026-01-01T00:00:00Z"), QDateTime(), &f, &error), qPrintable(error));
    QCOMPARE(f.calls, 8);
    QCOMPARE(f.undated, 1);
    std::array<qint64, 24> hours{};
    hours[10] = 2;
    hours[11] = 1;
    hours[23] = 1; // Saturday evening, Sunday in UTC
    hours[0] = 1;
    hours[1] = 2; // the hour that comes twice
    QCOMPARE(f.perHour, hours);
    const std::array<qint64, 7> days = {1, 0, 3, 0, 0, 1, 2}; // Monday first
    QCOMPARE(f.perWeekday, days);

    // The end is open to the left only: 15:05 is out.
    QVERIFY(stats.compute(utc("2026-07-01T14:10:00Z"), utc("2026-07-01T15:05:00Z"), &f, &error));
    QCOMPARE(f.calls, 2);
    QCOMPARE(f.perHour[10], 2);
    // Everything, the old row included.
    QVERIFY(stats.compute(QDateTime(), QDateTime(), &f, &error));
    QCOMPARE(f.calls, 9);
    QCOMPARE(f.perWeekday[2], 4); // 2025-01-01 was a Wednesday too
}

void TestStatistics::talkgroupsAndAirtime()
{
    useZone("EST5EDT,M3.2.0,M11.1.0");
    ActivityStatistics stats(m_db.db.database());
    ActivityFigures f;
    QString error;
    QVERIFY(stats.compute(utc("2026-01-01T00:00:00Z"), QDateTime(), &f, &error));
    // Named once although entered twice; ties in ID order; "Unknown" is no name.
    QCOMPARE(labels(f.busiest), QStringList({"100 Fire Dispatch", "300", "200"}));
    QCOMPARE(f.busiest.first().calls, 3);
    QCOMPARE(f.busiest.first().city, QStringLiteral("Springfield"));
    QCOMPARE(f.talkgroups, 3);

    QCOMPARE(labels(f.airtime), QStringList({"200", "100 Fire Dispatch", "300"}));
    QCOMPARE(f.airtime.at(1).seconds, 20.0);
    QCOMPARE(f.airtime.at(1).recordings, 2);
    QCOMPARE(f.airtime.at(2).seconds, 0.0); // damaged, not negative
    QCOMPARE(f.recordings, 4);
    QCOMPARE(f.recordedSeconds, 50.0);

    // The top is cut; the totals are not.
    stats.setTop(1);
    QVERIFY(stats.compute(utc("2026-01-01T00:00:00Z"), QDateTime(), &f, &error));
    QCOMPARE(labels(f.busiest), QStringList{"100 Fire Dispatch"});
    QCOMPARE(f.talkgroups, 3);
    QCOMPARE(f.airtime.size(), 1);
    QCOMPARE(f.recordedSeconds, 50.0);
}

void TestStatistics::halfHourZone()
{
    // UTC+5:30: the calls of one UTC hour fall in two local hours.
    useZone("IST-5:30");
    ActivityStatistics stats(m_db.db.database());
    ActivityFigures f;
    QString error;
    QVERIFY(stats.compute(utc("2026-07-01T14:00:00Z"), utc("2026-07-01T16:00:00Z"), &f, &error));
    QCOMPARE(f.calls, 3);
    QCOMPARE(f.perHour[19], 1); // 14:10 UTC
    QCOMPARE(f.perHour[20], 2); // 14:50 and 15:05 UTC
    QVERIFY(stats.compute(utc("2026-12-06T00:00:00Z"), utc("2026-12-08T00:00:00Z"), &f, &error));
    QCOMPARE(f.perHour[10], 1);   // 04:59 UTC
    QCOMPARE(f.perHour[11], 1);   // 05:30 UTC
    QCOMPARE(f.perWeekday[6], 1); // Sunday
    QCOMPARE(f.perWeekday[0], 1); // Monday
}

void TestStatistics::unreadableDatabaseIsAnError()
{
    QSqlDatabase bare = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
    bare.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY(bare.open());
    ActivityFigures f;
    f.calls = 42;
    QString error;
    QVERIFY(!ActivityStatistics(bare).compute(QDateTime(), QDateTime(), &f, &error));
    QVERIFY2(error.contains(QStringLiteral("TALKGROUP_ACTIVITY")), qPrintable(error));
    QCOMPARE(f.calls, 42); // left as it was
}

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
