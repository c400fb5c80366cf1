// Calls heard on channels without a talkgroup in the activity log: their
// rows, names, recordings and pruning.

#include "ActivityChecks.h"
#include "SessionRig.h"
#include "data/ActivityModels.h"
#include "scanner/CallTracker.h"

#include <QSqlQuery>
#include <QTest>

namespace {

QStringList column(QSqlQueryModel &model, int col)
{
    QStringList values;
    for (int r = 0; r < model.rowCount(); ++r)
        values << model.index(r, col).data().toString();
    return values;
}

} // namespace

class TestChannelActivity : public QObject
{
    Q_OBJECT
private slots:
    void channelCallsAreListed();
};

// Calls without a talkgroup: a row each with the channel's names from its
// bank's table, listed with the talkgroups, pruned as they are; a recording
// whose row is pruned is listed by itself.
void TestChannelActivity::channelCallsAreListed()
{
    SessionRig rig;
    TalkgroupActivityLog &log = rig.parts.log;
    log.setFlushDelay(1);
    CallTracker tracker(&rig.session);
    tracker.logChannelCalls(&log);
    ChannelDatabase db(rig.databasePath(), QStringLiteral("check"));
    QString error;
    QVERIFY(db.open(&error));
    QSqlQuery q(db.database());
    for (const char *sql : {"INSERT INTO BANK01 (CHANNEL, COMPANY_NAME, CITY) VALUES (7, 'Ashby Fire', 'Ashby')",
                            "INSERT INTO BANK03 (CHANNEL, COMPANY_NAME, CITY) VALUES (7, 'misplaced', 'x')",
                            "INSERT INTO BANK20 (CHANNEL, COMPANY_NAME, CITY) VALUES (1000, 'Harbour', 'Porth')"})
        QVERIFY2(q.exec(QLatin1String(sql)), sql);
    // Recordings registered before their calls' rows get written: linked as those are.
    const QString now = TalkgroupActivityLog::heardText(QDateTime::currentDateTime());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO RECORDINGS (FILE, START_UTC, END_UTC, DURATION, CHANNEL, FREQUENCY, TALKGROUP) "
                                  "VALUES ('/r/7.flac', '%1', '%1', 1.0, '007', '154.4150', NULL), "
                                  "('/r/123.flac', '%1', '%1', 1.0, NULL, NULL, '123')")
                       .arg(now)));
    rig.enterMode(ScannerMode::Scan);
    for (const char *channel : {"C007 F01544150", "C000 F04600000", "C051 F01550000"}) {
        rig.reply(QStringLiteral("+"));
        rig.reply(QLatin1String(channel) + QStringLiteral(" TF DF LF AF PF"));
        rig.reply(QStringLiteral("-"));
        QTest::qWait(5); // a time of its own
    }
    rig.enterMode(ScannerMode::TrunkSearch);
    for (int i = 0; i < PollLoop::kAgreeingReplies; ++i)
        rig.reply(QStringLiteral("ID C 00123"));
    QVERIFY(log.flush());
    QCOMPARE(count(db.database(), QStringLiteral("SELECT count(*) FROM CHANNEL_ACTIVITY")), 3);

    ActivityListModel list(db.database());
    QVERIFY2(list.apply({}, &error), qPrintable(error));
    QCOMPARE(column(list, ActivityListModel::Id), QStringList({"123", "", "", ""}));
    QCOMPARE(column(list, ActivityListModel::Channel), QStringList({"", "051", "1000", "007"}));
    QCOMPARE(column(list, ActivityListModel::Frequency), QStringList({"", "155.0000", "460.0000", "154.4150"}));
    QCOMPARE(column(list, ActivityListModel::Name), QStringList({"Unknown", "", "Harbour", "Ashby Fire"}));
    QCOMPARE(column(list, ActivityListModel::City), QStringList({"Unknown", "", "Porth", "Ashby"}));
    QCOMPARE(column(list, ActivityListModel::File), QStringList({"/r/123.flac", "", "", "/r/7.flac"}));
    // A talkgroup in the filter: its calls only. A time span: both kinds.
    QVERIFY(list.apply({QStringLiteral("123"), {}, {}}, &error));
    QCOMPARE(list.rowCount(), 1);
    QVERIFY(list.apply({QString(), QDateTime::currentDateTime().addSecs(-600), {}}, &error));
    QCOMPARE(list.rowCount(), 4);

    // Pruned as talkgroup rows are; the recording of a pruned call stays
    // listed, on its own.
    const QString old = TalkgroupActivityLog::heardText(QDateTime::currentDateTime().addDays(-100));
    QVERIFY(q.exec(QStringLiteral("INSERT INTO CHANNEL_ACTIVITY (CHANNEL, FREQUENCY, HEARD) VALUES ('009', '151.0000', '%1')")
                       .arg(old)));
    QVERIFY(q.exec(QStringLiteral("INSERT INTO RECORDINGS (FILE, START_UTC, END_UTC, DURATION, CHANNEL, FREQUENCY, "
                                  "CHANNEL_ACTIVITY) VALUES ('/r/old.flac', '%1', '%1', 2.0, '009', '151.0000', %2)")
                       .arg(old)
                       .arg(q.lastInsertId().toLongLong())));
    log.start(90);
    QCOMPARE(log.pruneStep(), 1);
    QCOMPARE(count(db.database(), QStringLiteral("SELECT count(*) FROM CHANNEL_ACTIVITY")), 3);
    QCOMPARE(count(db.database(), QStringLiteral("SELECT count(*) FROM RECORDINGS WHERE CHANNEL_ACTIVITY IS NULL AND ACTIVITY IS NULL")), 1);
    QVERIFY(list.apply({}, &error));
    QCOMPARE(list.rowCount(), 5);
    QCOMPARE(list.fileAt(4), QStringLiteral("/r/old.flac"));
    QCOMPARE(list.index(4, ActivityListModel::Channel).data().toString(), QStringLiteral("009"));
    QCOMPARE(list.index(4, ActivityListModel::Recording).data().toString(), QStringLiteral("0:02"));
    // A bank table of the user's own making without the column: no name, no failure.
    QVERIFY(q.exec(QStringLiteral("ALTER TABLE BANK20 RENAME COLUMN CITY TO TOWN")));
    QVERIFY2(list.apply({}, &error), qPrintable(error));
    QCOMPARE(list.index(2, ActivityListModel::Name).data().toString(), QStringLiteral("Harbour"));
    QCOMPARE(list.index(2, ActivityListModel::City).data().toString(), QString());
}

QTEST_GUILESS_MAIN(TestChannelActivity)
#include "tst_channelactivity.moc"
