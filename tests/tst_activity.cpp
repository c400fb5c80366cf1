// The talkgroup activity log: what the poll loop hands it, how it is stored,
// pruned and filtered; and the serial monitor's record of the link.

#include "SessionRig.h"
#include "SimCommPort.h"
#include "data/ActivityModels.h"
#include "data/DatabaseSchema.h"
#include "data/TalkgroupActivityLog.h"
#include "link/TrafficTap.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>

namespace {

QStringList activityRows(QSqlDatabase db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT ID, BANK FROM TALKGROUP_ACTIVITY ORDER BY rowid"));
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + QLatin1Char('/') + q.value(1).toString();
    return rows;
}

QStringList column(QSqlQueryModel &model, int col)
{
    while (model.canFetchMore())
        model.fetchMore();
    QStringList values;
    for (int r = 0; r < model.rowCount(); ++r)
        values << model.index(r, col).data().toString();
    return values;
}

const QDateTime kNoon(QDate(2026, 5, 4), QTime(12, 0));

} // namespace

class TestActivity : public QObject
{
    Q_OBJECT
private slots:
    void oneRowPerTalkgroupChange();
    void olderFileGainsTheTable();
    void retentionPrunesAtOpen();
    void lockedFileKeepsRowsForLater();
    void filterAndSummary();
    void csvRecords();
    void tapRecordsOnlyWhileOn();
    void tapRingIsBounded();
};

void TestActivity::oneRowPerTalkgroupChange()
{
    TempSettings store;
    store->setValue("Config/Com_Port", "1");
    store->setValue("Config/Com_Speed", "9600");
    const QString path = store.dir.filePath(QStringLiteral("Data/Orvendal.db"));
    SimCommPort port;
    qint64 now = 0;
    port.engine().setClock([&now] { return now; });
    port.engine().setMode(ScannerEngine::TrunkSearch);
    port.engine().setTalkgroups({{'C', QStringLiteral("00123")}, {'L', QStringLiteral("04711")}}, 1000);
    SessionParts parts(&port, store.store.get(), path);
    TalkgroupActivityLog log(path);
    log.setFlushDelay(5);
    QString error;
    QVERIFY2(log.open(90, &error), qPrintable(error));
    connect(&parts.session, &ScannerSession::talkgroupShown, &log, &TalkgroupActivityLog::record);
    ScriptedPrompt none;
    parts.session.setPrompt(none.fn());
    QVERIFY(port.open());
    parts.session.startPolling();

    // Held for many turns: one row.
    QTRY_COMPARE(parts.display.text(DisplayModel::FREQ), QStringLiteral("123"));
    const qint64 turnsThen = parts.session.pollLoop()->turns();
    QTRY_VERIFY(parts.session.pollLoop()->turns() > turnsThen + 30);
    QTRY_COMPARE(log.rowsWritten(), 1);
    // The stream moves on: 4711, then 123 again.
    now = 1000;
    QTRY_COMPARE(parts.display.text(DisplayModel::FREQ), QStringLiteral("4711"));
    now = 2000;
    QTRY_COMPARE(parts.display.text(DisplayModel::FREQ), QStringLiteral("123"));
    QTest::qWait(100);
    parts.session.shutdown();
    QVERIFY(log.flush());
    QCOMPARE(activityRows(parts.lookupsDb.database()),
             QStringList({QStringLiteral("123/C"), QStringLiteral("4711/L"), QStringLiteral("123/C")}));
}

void TestActivity::olderFileGainsTheTable()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("v1.db"));
    {
        // A file of version 1: our tables as they were, one row the user made.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &statement : DatabaseSchema::statements())
            QVERIFY(q.exec(statement));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY) VALUES ('7', 'Ashby')")));
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version=1")));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));
    ChannelDatabase db(path, QStringLiteral("migrated"));
    QString error;
    QVERIFY2(db.open(&error), qPrintable(error));
    QVERIFY(db.database().tables().contains(QStringLiteral("TALKGROUP_ACTIVITY")));
    QSqlQuery q(db.database());
    QVERIFY(q.exec(QStringLiteral("SELECT CITY FROM TALKGROUPS")) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("Ashby"));
    QVERIFY(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
    QCOMPARE(q.value(0).toInt(), DatabaseSchema::kVersion);
}

void TestActivity::retentionPrunesAtOpen()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.db"));
    QDateTime clock = kNoon.addDays(-100);
    {
        TalkgroupActivityLog log(path);
        log.setClock([&clock] { return clock; });
        QString error;
        QVERIFY(log.open(90, &error));
        log.record(QStringLiteral("1"), QLatin1Char('A')); // 100 days old
        clock = kNoon.addDays(-89);
        log.record(QStringLiteral("2"), QLatin1Char('A'));
        clock = kNoon;
        log.record(QStringLiteral("3"), QLatin1Char('A'));
        log.record(QString(), QLatin1Char('A')); // no ID: no row
        QVERIFY(log.flush());
        QCOMPARE(log.rowsWritten(), 3);
    }
    {
        // Retention 0 keeps everything.
        TalkgroupActivityLog log(path);
        log.setClock([] { return kNoon; });
        QString error;
        QVERIFY(log.open(0, &error));
    }
    ChannelDatabase db(path, QStringLiteral("check"));
    QString error;
    QVERIFY(db.open(&error));
    QCOMPARE(activityRows(db.database()).size(), 3);
    {
        TalkgroupActivityLog log(path);
        log.setClock([] { return kNoon; });
        QVERIFY(log.open(90, &error));
    }
    QCOMPARE(activityRows(db.database()), QStringList({QStringLiteral("2/A"), QStringLiteral("3/A")}));
}

void TestActivity::lockedFileKeepsRowsForLater()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.db"));
    TalkgroupActivityLog log(path);
    QString error;
    QVERIFY(log.open(90, &error));
    ChannelDatabase other(path, QStringLiteral("other"));
    QVERIFY(other.open(&error));
    QSqlQuery hold(other.database());
    QVERIFY(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
    log.record(QStringLiteral("55"), QLatin1Char('B'));
    QVERIFY(!log.flush());
    QCOMPARE(log.queued(), 1);
    QVERIFY(hold.exec(QStringLiteral("COMMIT")));
    // Written on the retry, without being asked.
    QTRY_COMPARE_WITH_TIMEOUT(log.rowsWritten(), 1, 3000);
    QCOMPARE(activityRows(other.database()), QStringList{QStringLiteral("55/B")});
}

void TestActivity::filterAndSummary()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.db"));
    QDateTime clock;
    TalkgroupActivityLog log(path);
    log.setClock([&clock] { return clock; });
    QString error;
    QVERIFY(log.open(0, &error));
    const struct { int minutesAgo; const char *id; } heard[] = {{300, "123"}, {90, "4711"}, {50, "123"}, {10, "123"}, {5, "99"}};
    for (const auto &h : heard) {
        clock = kNoon.addSecs(-60 * h.minutesAgo);
        log.record(QString::fromLatin1(h.id), QLatin1Char('C'));
    }
    QVERIFY(log.flush());
    ChannelDatabase db(path, QStringLiteral("view"));
    QVERIFY(db.open(&error));
    // Named twice in TALKGROUPS: counted once all the same.
    QSqlQuery q(db.database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC) VALUES ('123', 'Ashby', 'Fire'), ('123', 'Ashby', 'Fire')")));

    ActivityListModel list(db.database());
    QVERIFY2(list.apply({}, &error), qPrintable(error));
    QCOMPARE(column(list, 1), QStringList({"99", "123", "123", "4711", "123"})); // newest first
    QVERIFY(list.apply({QStringLiteral(" 123 "), {}, {}}, &error));
    QCOMPARE(column(list, 1), QStringList({"123", "123", "123"}));
    QVERIFY(list.apply({QStringLiteral("123"), kNoon.addSecs(-3600), {}}, &error));
    QCOMPARE(column(list, 0), QStringList({TalkgroupActivityLog::heardText(kNoon.addSecs(-600)),
                                           TalkgroupActivityLog::heardText(kNoon.addSecs(-3000))}));
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
    QCOMPARE(summary.index(1, 4).data().toString(), TalkgroupActivityLog::heardText(kNoon.addSecs(-600)));
    QVERIFY(summary.apply({QString(), kNoon.addSecs(-3600), {}}, &error));
    QCOMPARE(column(summary, 3), QStringList({"1", "2"}));

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(list.apply({QStringLiteral("4711"), {}, {}}, &error));
    QVERIFY(ActivityCsv::write(&list, &out, &error));
    QCOMPARE(out.data(), QByteArray("HEARD,ID,BANK\r\n") + TalkgroupActivityLog::heardText(kNoon.addSecs(-5400)).toUtf8()
                             + ",4711,C\r\n");
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
