// The talkgroup activity log: what the poll loop hands it, how it is stored
// and filtered; and the serial monitor's record of the link.

#include "ActivityChecks.h"
#include "SessionRig.h"
#include "SimCommPort.h"
#include "data/ActivityModels.h"
#include "data/DataChanges.h"
#include "data/DatabaseSchema.h"
#include "data/TalkgroupActivityLog.h"
#include "link/TrafficTap.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSignalSpy>
#include <QTest>

#include <ctime>

namespace {

QStringList column(QSqlQueryModel &model, int col)
{
    while (model.canFetchMore())
        model.fetchMore();
    QStringList values;
    for (int r = 0; r < model.rowCount(); ++r)
        values << model.index(r, col).data().toString();
    return values;
}

// A database file of an older version: its tables as they were then.
void makeOldFile(const QString &path, int version, const QStringList &extra)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QStringList statements = DatabaseSchema::statements();
        if (version >= 2)
            statements << DatabaseSchema::activityStatements();
        for (const QString &statement : statements + extra)
            QVERIFY2(q.exec(statement), qPrintable(statement));
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version=%1").arg(version)));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
}

} // namespace

class TestActivity : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void oneRowPerShowing();
    void heardClearedAndHeardAgain();
    void olderFilesAreMigrated();
    void filterAndSummary();
    void repeatedHourKeepsItsOrder();
    void csvRecords();
    void tapRecordsOnlyWhileOn();
    void tapRingIsBounded();
};

void TestActivity::initTestCase()
{
    // A zone with summer time, so that local and UTC times differ and the
    // hour when the clocks go back is there.
    qputenv("TZ", "EST5EDT,M3.2.0,M11.1.0");
    tzset();
}

void TestActivity::oneRowPerShowing()
{
    SessionRig rig;
    rig.parts.log.setFlushDelay(1);
    QSignalSpy announced(DataChanges::instance(), &DataChanges::changed);
    ChannelDatabase check(rig.databasePath(), QStringLiteral("check"));
    auto rows = [&] {
        rig.parts.log.flush();
        QString error;
        return check.open(&error) ? activityRows(check.database()) : QStringList{error};
    };
    rig.enterMode(ScannerMode::TrunkSearch);
    // A reply is shown at once but is not yet a talkgroup heard: the next
    // replies agreeing make it one, four poll turns later.
    QCOMPARE(rig.reply(QStringLiteral("ID C 00123")), QStringLiteral("RM"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("123"));
    QVERIFY(rig.aux().line(2).isEmpty()); // cleared by the trunk template, not "Unknown"
    QCOMPARE(rig.reply(QStringLiteral("RM NFM")), QStringLiteral("ID"));
    QCOMPARE(rig.reply(QStringLiteral("ID C 00123")), QStringLiteral("RM"));
    QCOMPARE(rig.reply(QStringLiteral("RM NFM")), QStringLiteral("ID"));
    QVERIFY(rows().isEmpty());
    QVERIFY(rig.aux().line(2).isEmpty());
    QCOMPARE(rig.reply(QStringLiteral("ID C 00123")), QStringLiteral("RM"));
    QCOMPARE(rig.aux().line(2), TalkgroupActivityLog::kUnknown);
    QCOMPARE(rows(), QStringList{QStringLiteral("123/C")});

    // Held, with garbled replies and stray no-talkgroup replies among the
    // real ones: still one showing.
    for (const char *line : {"ID C 00123", "ID C 00128", "ID C 00128", "ID C 00123", "ID E 00123", "ID E 00123",
                             "ID C 00123", "ID G 00123", "ID C 00123", "ID C 00123"}) {
        rig.reply(QString::fromLatin1(line));
        rig.reply(QStringLiteral("RM NFM"));
    }
    QCOMPARE(rows(), QStringList{QStringLiteral("123/C")});

    // Another talkgroup, then the first again: a row each.
    auto thrice = [&rig](const char *line) {
        for (int i = 0; i < PollLoop::kAgreeingReplies; ++i)
            rig.reply(QString::fromLatin1(line));
    };
    thrice("ID L 04711");
    thrice("ID C 00123");
    QCOMPARE(rows(), QStringList({"123/C", "4711/L", "123/C"}));
    // Gone (the display cleared) and heard again: another row.
    thrice("ID ERR");
    thrice("ID C 00123");
    // A change of mode ends the showing; a key's acknowledgement does not.
    rig.reply(QStringLiteral("MD09"));
    thrice("ID C 00123");
    rig.reply(QStringLiteral("MD11"));
    rig.reply(QStringLiteral("MD09"));
    thrice("ID C 00123");
    QCOMPARE(rows(), QStringList({"123/C", "4711/L", "123/C", "123/C", "123/C"}));
    // Each talkgroup is in TALKGROUPS once.
    QCOMPARE(count(check.database(), QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 2);
    QCOMPARE(count(check.database(), QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE ID = '4711' AND CITY = "
                                                    "'Unknown' AND NOTES = 'Auto-Added by Orvendal'")),
             1);
    // Open talkgroup editors hear of each talkgroup added, and of nothing else.
    QCOMPARE(announced.size(), 2);
    QCOMPARE(announced.first().first().toStringList(), QStringList{QStringLiteral("TALKGROUPS")});
}

void TestActivity::heardClearedAndHeardAgain()
{
    TempSettings store;
    store->setValue("Config/Com_Port", "1");
    store->setValue("Config/Com_Speed", "9600");
    const QString path = store.dir.filePath(QStringLiteral("Data/Orvendal.db"));
    SimCommPort port;
    qint64 now = 0;
    port.engine().setClock([&now] { return now; });
    port.engine().setMode(ScannerEngine::TrunkSearch);
    port.engine().setTalkgroups({{'C', QStringLiteral("00123")}, {0, {}}, {'C', QStringLiteral("00123")},
                                 {'L', QStringLiteral("04711")}},
                                1000);
    SessionParts parts(&port, store.store.get(), path);
    parts.log.setFlushDelay(5);
    ScriptedPrompt none;
    parts.session.setPrompt(none.fn());
    QVERIFY(port.open());
    parts.session.startPolling();

    // Held for many turns: one row.
    QTRY_COMPARE(parts.display.text(DisplayModel::FREQ), QStringLiteral("123"));
    const qint64 turnsThen = parts.session.pollLoop()->turns();
    QTRY_VERIFY(parts.session.pollLoop()->turns() > turnsThen + 30);
    QTRY_COMPARE(parts.log.rowsWritten(), 1);
    // The talkgroup ends (the display is cleared), comes back, then another.
    now = 1000;
    QTRY_COMPARE(parts.display.text(DisplayModel::FREQ), QStringLiteral("    -- --- "));
    now = 2000;
    QTRY_COMPARE(parts.log.rowsWritten(), 2);
    now = 3000;
    QTRY_COMPARE(parts.log.rowsWritten(), 3);
    QTest::qWait(100);
    parts.session.shutdown();
    QVERIFY(parts.log.flush());
    QCOMPARE(activityRows(parts.lookupsDb.database()),
             QStringList({QStringLiteral("123/C"), QStringLiteral("123/C"), QStringLiteral("4711/L")}));
}

void TestActivity::olderFilesAreMigrated()
{
    QTemporaryDir dir;
    {
        // Version 1: no activity table yet; the user's rows stay.
        const QString path = dir.filePath(QStringLiteral("v1.db"));
        makeOldFile(path, 1, {QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY) VALUES ('7', 'Ashby')")});
        ChannelDatabase db(path, QStringLiteral("migrated"));
        QString error;
        QVERIFY2(db.open(&error), qPrintable(error));
        QVERIFY(db.database().tables().contains(QStringLiteral("TALKGROUP_ACTIVITY")));
        QCOMPARE(count(db.database(), QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE CITY = 'Ashby'")), 1);
        QCOMPARE(count(db.database(), QStringLiteral("PRAGMA user_version")), DatabaseSchema::kVersion);
    }
    {
        // Version 2: local times without an offset become UTC, in summer
        // and in winter; a time that cannot be read is kept as it is.
        const QString path = dir.filePath(QStringLiteral("v2.db"));
        makeOldFile(path, 2,
                    {QStringLiteral("INSERT INTO TALKGROUP_ACTIVITY (ID, BANK, HEARD) VALUES "
                                    "('1', 'A', '2026-05-04T12:00:00.000'), ('2', 'A', '2026-01-10T08:30:00.500'), "
                                    "('3', 'A', 'yesterday')")});
        ChannelDatabase db(path, QStringLiteral("migrated"));
        QString error;
        QVERIFY2(db.open(&error), qPrintable(error));
        QSqlQuery q(db.database());
        QVERIFY(q.exec(QStringLiteral("SELECT HEARD FROM TALKGROUP_ACTIVITY ORDER BY ID")));
        QStringList heard;
        while (q.next())
            heard << q.value(0).toString();
        QCOMPARE(heard, QStringList({"2026-05-04T16:00:00.000Z", "2026-01-10T13:30:00.500Z", "yesterday"}));
        QCOMPARE(TalkgroupActivityLog::localText(heard.at(0)), QStringLiteral("2026-05-04 12:00:00"));
        QCOMPARE(TalkgroupActivityLog::localText(heard.at(2)), QStringLiteral("yesterday"));
    }
    {
        // Version 4: the channels' calls get their table, recordings the
        // column that links them; what was there stays.
        const QString path = dir.filePath(QStringLiteral("v4.db"));
        makeOldFile(path, 4,
                    DatabaseSchema::utcStatements() + DatabaseSchema::recordingStatements()
                        + QStringList{QStringLiteral("INSERT INTO RECORDINGS (FILE, START_UTC, END_UTC, DURATION) "
                                                     "VALUES ('/r/a.flac', 'x', 'y', 1.5)")});
        ChannelDatabase db(path, QStringLiteral("migrated"));
        QString error;
        QVERIFY2(db.open(&error), qPrintable(error));
        QVERIFY(db.database().tables().contains(QStringLiteral("CHANNEL_ACTIVITY")));
        QCOMPARE(count(db.database(), QStringLiteral("SELECT count(*) FROM RECORDINGS WHERE CHANNEL_ACTIVITY IS NULL AND ACTIVITY IS NULL")), 1);
        // A second program that read version 4 before this one took the step.
        bool busy = false;
        QVERIFY2(DatabaseSchema::migrate(db.database(), 4, &error, &busy), qPrintable(error));
        QCOMPARE(count(db.database(), QStringLiteral("PRAGMA user_version")), DatabaseSchema::kVersion);
    }
}

void TestActivity::filterAndSummary()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.db"));
    QDateTime clock;
    TalkgroupActivityLog log(path);
    log.setClock([&clock] { return clock; });
    const struct { int minutesAgo; const char *id; } heard[] = {{300, "123"}, {90, "4711"}, {50, "123"}, {10, "123"}, {5, "99"}};
    for (const auto &h : heard) {
        clock = kNoon.addSecs(-60 * h.minutesAgo);
        log.record(QString::fromLatin1(h.id), QLatin1Char('C'));
    }
    QVERIFY(log.flush());
    ChannelDatabase db(path, QStringLiteral("view"));
    QString error;
    QVERIFY(db.open(&error));
    // Named twice in TALKGROUPS: counted once all the same.
    QSqlQuery q(db.database());
    QVERIFY(q.exec(QStringLiteral("DELETE FROM TALKGROUPS")));
    QVERIFY(q.exec(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC) VALUES ('123', 'Ashby', 'Fire'), ('123', 'Ashby', 'Fire')")));

    // Shown in local time.
    auto local = [](const QDateTime &t) { return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); };
    ActivityListModel list(db.database());
    QVERIFY2(list.apply({}, &error), qPrintable(error));
    QCOMPARE(column(list, 1), QStringList({"99", "123", "123", "4711", "123"})); // newest first
    QVERIFY(list.apply({QStringLiteral(" 123 "), {}, {}}, &error));
    QCOMPARE(column(list, 1), QStringList({"123", "123", "123"}));
    QVERIFY(list.apply({QStringLiteral("123"), kNoon.addSecs(-3600), {}}, &error));
    QCOMPARE(column(list, 0), QStringList({local(kNoon.addSecs(-600)), local(kNoon.addSecs(-3000))}));
    QVERIFY(list.apply({QString(), kNoon.addSecs(-6000), kNoon.addSecs(-1000)}, &error));
    QCOMPARE(column(list, 1), QStringList({"123", "4711"}));
    // A quote in the ID is a value, not SQL.
    QVERIFY(list.apply({QStringLiteral("1' OR '1'='1"), {}, {}}, &error));
    QCOMPARE(list.rowCount(), 0);

    ActivitySummaryModel summary(db.database());
    QVERIFY2(summary.apply({}, &error), qPrintable(error));
    QCOMPARE(column(summary, 0), QStringList({"99", "123", "4711"}));
    QCOMPARE(column(summary, 1), QStringList({"", "Ashby", ""}));
    QCOMPARE(column(summary, 2), QStringList({"", "Fire", ""}));
    QCOMPARE(column(summary, 3), QStringList({"1", "3", "1"}));
    QCOMPARE(summary.index(1, 4).data().toString(), local(kNoon.addSecs(-600)));
    QVERIFY(summary.apply({QString(), kNoon.addSecs(-3600), {}}, &error));
    QCOMPARE(column(summary, 3), QStringList({"1", "2"}));

    // The export keeps the stored UTC time.
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(list.apply({QStringLiteral("4711"), {}, {}}, &error));
    QVERIFY(ActivityCsv::write(&list, &out, &error));
    QCOMPARE(out.data(), QByteArray("HEARD,ID,BANK,CHANNEL,FREQUENCY,NAME,CITY,RECORDING,FILE\r\n")
                             + TalkgroupActivityLog::heardText(kNoon.addSecs(-5400)).toUtf8() + ",4711,C,,,,,,\r\n");
    QVERIFY(out.data().contains("T14:30:00.000Z")); // 10:30 summer time
}

void TestActivity::repeatedHourKeepsItsOrder()
{
    // 1 November 2026: at 2:00 summer time the clocks go back to 1:00.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.db"));
    QDateTime clock(QDate(2026, 11, 1), QTime(5, 30), Qt::UTC); // 1:30 summer time
    TalkgroupActivityLog log(path);
    log.setClock([&clock] { return clock; });
    log.record(QStringLiteral("1"), QLatin1Char('A'));
    clock = clock.addSecs(40 * 60); // 1:10 winter time, 40 minutes later
    log.record(QStringLiteral("2"), QLatin1Char('A'));
    QVERIFY(log.flush());
    ChannelDatabase db(path, QStringLiteral("view"));
    QString error;
    QVERIFY(db.open(&error));
    ActivityListModel list(db.database());
    QVERIFY(list.apply({}, &error));
    QCOMPARE(column(list, 1), QStringList({"2", "1"}));
    QCOMPARE(column(list, 0), QStringList({"2026-11-01 01:10:00", "2026-11-01 01:30:00"}));
    // The last half hour holds only the later one.
    QVERIFY(list.apply({QString(), clock.addSecs(-30 * 60), {}}, &error));
    QCOMPARE(column(list, 1), QStringList{"2"});
}

void TestActivity::csvRecords()
{
    QCOMPARE(ActivityCsv::record({QStringLiteral("a"), QString(), QStringLiteral("b c")}), QByteArray("a,,b c\r\n"));
    QCOMPARE(ActivityCsv::record({QStringLiteral("x,y"), QStringLiteral("say \"hi\""), QStringLiteral("two\nlines")}),
             QByteArray("\"x,y\",\"say \"\"hi\"\"\",\"two\nlines\"\r\n"));
    QCOMPARE(ActivityCsv::record({QStringLiteral("Zürich")}), QByteArray("Z\xc3\xbcrich\r\n"));
}

void TestActivity::tapRecordsOnlyWhileOn()
{
    FakeCommPort port;
    QVERIFY(port.open());
    TrafficTap tap;
    QDateTime clock = kNoon.addMSecs(7);
    tap.setClock([&clock] { return clock; });
    tap.watch(&port, QStringLiteral("Faceplate"));
    port.send(QStringLiteral("MD"));
    port.inject("MD00\r");
    port.input();
    QCOMPARE(tap.total(), 0); // not recording: the port was never tapped

    tap.setRecording(true);
    port.send(QStringLiteral("SQ"));
    port.inject("-\rC05");
    port.input();
    clock = clock.addMSecs(5);
    port.inject("3 F01544150\r");
    port.input();
    QCOMPARE(tap.total(), 3);
    const QList<TrafficTap::Line> &lines = tap.lines();
    QCOMPARE(lines.at(0).direction, TrafficTap::Direction::Sent);
    QCOMPARE(lines.at(0).text(), QStringLiteral("2026-05-04 12:00:00.007 Faceplate -> SQ"));
    QCOMPARE(lines.at(1).text(), QStringLiteral("2026-05-04 12:00:00.007 Faceplate <- -"));
    // A reply in two pieces is one line, stamped when it ended.
    QCOMPARE(lines.at(2).text(), QStringLiteral("2026-05-04 12:00:00.012 Faceplate <- C053 F01544150"));
    // Control characters are shown, not passed on.
    port.inject(QByteArray("N\x01G\r"));
    port.input();
    QCOMPARE(tap.lines().last().text().section(QLatin1Char(' '), 4), QStringLiteral("N<01>G"));

    tap.setRecording(false);
    port.send(QStringLiteral("MA"));
    QCOMPARE(tap.total(), 4);
    {
        // A port that goes away is forgotten.
        FakeCommPort transfer;
        QVERIFY(transfer.open());
        tap.watch(&transfer, QStringLiteral("Backup"));
        tap.setRecording(true);
        transfer.send(QStringLiteral("MD"));
        QCOMPARE(tap.lines().last().port, QStringLiteral("Backup"));
    }
    tap.setRecording(false);
    tap.setRecording(true);
    port.send(QStringLiteral("SQ"));
    QCOMPARE(tap.total(), 6);
    tap.clear();
    QVERIFY(tap.lines().isEmpty());
}

void TestActivity::tapRingIsBounded()
{
    FakeCommPort port;
    QVERIFY(port.open());
    TrafficTap tap;
    tap.watch(&port, QStringLiteral("Faceplate"));
    tap.setRecording(true);
    for (int i = 0; i < TrafficTap::kCapacity + 250; ++i)
        port.send(QStringLiteral("KEY%1").arg(i));
    QCOMPARE(tap.lines().size(), TrafficTap::kCapacity);
    QCOMPARE(tap.total(), TrafficTap::kCapacity + 250);
    QCOMPARE(tap.lines().first().bytes, QByteArray("KEY250"));
    QCOMPARE(tap.lines().last().bytes, QByteArray("KEY10249"));
    // A device that never ends a line does not grow the buffer without end.
    port.inject(QByteArray(10000, 'x'));
    port.input();
    QVERIFY(tap.lines().last().bytes.size() <= 10000);
    const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} Faceplate (->|<-) "));
    QVERIFY(stamp.match(tap.lines().first().text()).hasMatch());
}

QTEST_GUILESS_MAIN(TestActivity)
#include "tst_activity.moc"
