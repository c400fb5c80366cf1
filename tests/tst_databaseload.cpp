// The talkgroup log's writer under load: another program holding the
// database, a queue past its bound, the write-ahead log's size, pruning and
// the retention setting.

#include "ActivityChecks.h"
#include "SessionRig.h"
#include "SimCommPort.h"
#include "data/ActivityModels.h"
#include "data/TalkgroupActivityLog.h"
#include "link/LinkSettings.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>


class TestDatabaseLoad : public QObject
{
    Q_OBJECT
private slots:
    void pruningRunsInBatchesAfterStart();
    void retentionOutOfRange();
    void busyFileKeepsRowsAndSaysSo();
    void lockedDatabaseNeverStallsPolling();
    void walStaysSmall();
};

void TestDatabaseLoad::pruningRunsInBatchesAfterStart()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.db"));
    QDateTime clock = kNoon.addDays(-100);
    TalkgroupActivityLog log(path);
    log.setClock([&clock] { return clock; });
    for (int i = 0; i < TalkgroupActivityLog::kPruneBatch + 10; ++i)
        log.record(QStringLiteral("1"), QLatin1Char('A')); // 100 days old
    clock = kNoon.addDays(-89);
    log.record(QStringLiteral("2"), QLatin1Char('A'));
    clock = kNoon;
    log.record(QStringLiteral("3"), QLatin1Char('A'));
    log.record(QString(), QLatin1Char('A')); // no ID: no row
    while (log.queued() > 0)
        QVERIFY(log.flush());
    ChannelDatabase db(path, QStringLiteral("check"));
    QString error;
    QVERIFY(db.open(&error));
    const int all = TalkgroupActivityLog::kPruneBatch + 12;
    QCOMPARE(count(db.database(), QStringLiteral("SELECT count(*) FROM TALKGROUP_ACTIVITY")), all);

    // Retention 0 keeps everything.
    log.start(0);
    QVERIFY(!log.isPruning());
    QCOMPARE(log.pruneStep(), 0);

    // Starting touches nothing; the batches follow from the event loop.
    TalkgroupActivityLog later(path);
    later.setClock([] { return kNoon; });
    later.setPruneDelay(50);
    later.start(90);
    QVERIFY(later.isPruning() && !later.isOpen());
    QCOMPARE(count(db.database(), QStringLiteral("SELECT count(*) FROM TALKGROUP_ACTIVITY")), all);
    QSignalSpy batches(&later, &TalkgroupActivityLog::pruned);
    QTRY_VERIFY(!later.isPruning());
    QCOMPARE(batches.size(), 2);
    QCOMPARE(batches.first().first().toInt(), TalkgroupActivityLog::kPruneBatch);
    QCOMPARE(later.rowsPruned(), TalkgroupActivityLog::kPruneBatch + 10);
    QCOMPARE(activityRows(db.database()), QStringList({QStringLiteral("2/A"), QStringLiteral("3/A")}));
}

void TestDatabaseLoad::retentionOutOfRange()
{
    TempSettings store;
    const struct
    {
        const char *stored;
        int days;
        bool said;
    } cases[] = {{nullptr, 90, false}, {"30", 30, false}, {"0", 0, false}, {"500000000", 36500, true},
                 {"99999999999999999999999", 36500, true}, {"-5", 0, true}, {"ninety", 90, true}};
    for (const auto &c : cases) {
        if (c.stored)
            store->setValue(LinkSettings::kRetentionKey, QString::fromLatin1(c.stored));
        QString warning;
        QCOMPARE(LinkSettings::activityRetentionDays(*store, TalkgroupActivityLog::kDefaultRetentionDays,
                                                     TalkgroupActivityLog::kMaxRetentionDays, &warning),
                 c.days);
        QCOMPARE(!warning.isEmpty(), c.said);
    }

    // A huge value given straight to the log keeps the log rather than
    // wrapping round and deleting it.
    QTemporaryDir dir;
    TalkgroupActivityLog log(dir.filePath(QStringLiteral("a.db")));
    log.setClock([] { return kNoon.addYears(-99); });
    log.record(QStringLiteral("1"), QLatin1Char('A'));
    log.setClock([] { return kNoon; });
    log.record(QStringLiteral("2"), QLatin1Char('A'));
    QVERIFY(log.flush());
    log.start(500000000);
    QCOMPARE(log.retentionDays(), TalkgroupActivityLog::kMaxRetentionDays);
    QCOMPARE(log.pruneStep(), 0);
    log.start(-7);
    QCOMPARE(log.retentionDays(), 0);
    QCOMPARE(log.rowsWritten(), 2);
    QCOMPARE(log.rowsPruned(), 0);
}

void TestDatabaseLoad::busyFileKeepsRowsAndSaysSo()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.db"));
    TalkgroupActivityLog log(path);
    log.setRetryDelay(20);
    QSignalSpy said(&log, &TalkgroupActivityLog::problem);
    ChannelDatabase other(path, QStringLiteral("other"));
    QString error;
    QVERIFY(other.open(&error));
    QSqlQuery hold(other.database());
    QVERIFY(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
    // More than the queue holds: the oldest go, and that is said once.
    const int extra = 3;
    for (int i = 0; i < TalkgroupActivityLog::kMaxQueued + extra; ++i)
        log.record(QString::number(i), QLatin1Char('B'));
    QElapsedTimer took;
    took.start();
    QVERIFY(!log.flush());
    QVERIFY(took.elapsed() < 50); // no waiting for the lock
    QVERIFY(log.isWaiting());
    QTest::qWait(200); // several retries
    QCOMPARE(log.queued(), TalkgroupActivityLog::kMaxQueued);
    QCOMPARE(log.rowsDropped(), extra);
    QCOMPARE(said.size(), 2);
    QVERIFY(said.at(0).first().toString().contains(QLatin1String("more than")));
    QVERIFY(said.at(1).first().toString().contains(QLatin1String("busy")));

    QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
    QTRY_COMPARE(log.rowsWritten(), TalkgroupActivityLog::kMaxQueued);
    QCOMPARE(said.size(), 3);
    QVERIFY(said.last().first().toString().isEmpty());
    QCOMPARE(count(other.database(), QStringLiteral("SELECT count(*) FROM TALKGROUP_ACTIVITY")),
             TalkgroupActivityLog::kMaxQueued);
    QCOMPARE(count(other.database(), QStringLiteral("SELECT min(CAST(ID AS INTEGER)) FROM TALKGROUPS")), extra);
}

void TestDatabaseLoad::lockedDatabaseNeverStallsPolling()
{
    TempSettings store;
    store->setValue("Config/Com_Port", "1");
    store->setValue("Config/Com_Speed", "9600");
    const QString path = store.dir.filePath(QStringLiteral("Data/Orvendal.db"));
    SimCommPort port;
    QElapsedTimer clock;
    clock.start();
    port.engine().setClock([&clock] { return clock.elapsed(); });
    port.engine().setMode(ScannerEngine::TrunkSearch);
    QList<ScannerEngine::Talkgroup> stream;
    for (int i = 0; i < 12; ++i)
        stream.append(i % 4 == 3 ? ScannerEngine::Talkgroup{} : ScannerEngine::Talkgroup{char('F' + i), QString::number(100 + i)});
    port.engine().setTalkgroups(stream, 250);
    SessionParts parts(&port, store.store.get(), path);
    parts.log.setFlushDelay(5);
    parts.log.setRetryDelay(100);
    parts.aux.setVisible(true);
    QString error;
    ChannelDatabase known(path, QStringLiteral("known"));
    QVERIFY(known.open(&error));
    QVERIFY(QSqlQuery(known.database()).exec(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY) VALUES ('101', 'Ashby')")));
    // A file in the rollback journal mode, where a writer shuts out the
    // readers as well: the hardest case for the lookups.
    QVERIFY(QSqlQuery(known.database()).exec(QStringLiteral("PRAGMA journal_mode=DELETE")));
    known.close();
    QStringList shown;
    connect(&parts.session, &ScannerSession::talkgroupShown, this, [&shown](const QString &id) { shown << id; });
    QSignalSpy said(&parts.log, &TalkgroupActivityLog::problem);
    ScriptedPrompt none;
    parts.session.setPrompt(none.fn());
    QVERIFY(port.open());
    parts.session.startPolling();
    QTRY_VERIFY(!shown.isEmpty());

    // Another program takes the file for itself: no reading, no writing.
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other program"));
    other.setDatabaseName(path);
    QVERIFY(other.open());
    QSqlQuery hold(other);
    QVERIFY(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    parts.lookupsDb.close(); // so that the lookups must open the file again
    parts.aux.clearLines();
    const qsizetype shownBefore = shown.size();
    const qint64 writtenBefore = parts.log.rowsWritten();

    // Ten seconds of polling, the gaps between turns measured.
    PollLoop *loop = parts.session.pollLoop();
    qint64 lastTurns = loop->turns();
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    double longest = 0;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    connect(&sampler, &QTimer::timeout, this, [&] {
        if (loop->turns() == lastTurns)
            return;
        longest = qMax(longest, sinceTurn.nsecsElapsed() / 1e6);
        sinceTurn.restart();
        lastTurns = loop->turns();
    });
    sampler.start(1);
    QTest::qWait(10000);
    sampler.stop();
    qInfo("the longest gap between poll turns: %.1f ms", longest);
    QVERIFY2(longest <= 50, qPrintable(QStringLiteral("a poll turn came %1 ms after the one before").arg(longest)));
    QVERIFY(shown.size() > shownBefore + 20);
    QCOMPARE(parts.log.rowsWritten(), writtenBefore);
    QVERIFY(parts.aux.line(2) != QLatin1String("Ashby")); // nothing could be read
    QCOMPARE(said.size(), 1); // said once
    QVERIFY(parts.display.statusLine().contains(QLatin1String("busy")));

    // The lock goes: every row is written, the lookups read again.
    QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
    hold.finish();
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other program"));
    QTRY_COMPARE(parts.log.rowsWritten(), qint64(shown.size()));
    QTRY_COMPARE_WITH_TIMEOUT(parts.aux.line(2), QStringLiteral("Ashby"), 10000);
    QCOMPARE(said.size(), 2);
    QVERIFY(!parts.display.statusLine().contains(QLatin1String("busy")));
    parts.session.shutdown();
    QVERIFY(parts.log.flush());
    ChannelDatabase check(path, QStringLiteral("check"));
    QVERIFY(check.open(&error));
    QStringList logged;
    for (const QString &row : activityRows(check.database()))
        logged << row.section(QLatin1Char('/'), 0, 0);
    QCOMPARE(logged, shown);
    shown.removeDuplicates();
    QCOMPARE(count(check.database(), QStringLiteral("SELECT count(DISTINCT ID) FROM TALKGROUPS")), int(shown.size()));
}

void TestDatabaseLoad::walStaysSmall()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.db"));
    TalkgroupActivityLog log(path);
    // The activity view open all the while, following the log.
    ChannelDatabase view(path, QStringLiteral("view"));
    QString error;
    QVERIFY(view.open(&error));
    ActivityListModel list(view.database());
    qint64 largest = 0;
    for (int i = 0; i < 10000; ++i) {
        log.record(QString::number(1000 + i % 300), QLatin1Char('C'));
        QVERIFY(log.flush());
        if (i % 100 == 0) {
            QVERIFY(list.apply({}, &error));
            largest = qMax(largest, QFileInfo(path + QStringLiteral("-wal")).size());
        }
    }
    largest = qMax(largest, QFileInfo(path + QStringLiteral("-wal")).size());
    QCOMPARE(log.rowsWritten(), 10000);
    QVERIFY2(largest <= 2 * TalkgroupActivityLog::kJournalLimitBytes, qPrintable(QString::number(largest)));
    QCOMPARE(list.rowCount(), ActivityQueryModel::kShownRows);
}

QTEST_GUILESS_MAIN(TestDatabaseLoad)
#include "tst_databaseload.moc"
