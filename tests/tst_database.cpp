// The channel database and what the auxiliary display and talkgroup log do with it.

#include "scanner/AuxDisplayModel.h"
#include "scanner/AuxLookups.h"
#include "data/ChannelDatabase.h"
#include "data/DatabaseSchema.h"
#include "data/TalkgroupActivityLog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Db
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Data/Orvendal.db"));
    ChannelDatabase db{path, QStringLiteral("test-%1").arg(quintptr(this))};
    AuxDisplayModel aux;
    QStringList reports;
    AuxLookups lookups{&aux, &db, [this](const QString &s) { reports << s; }};
    TalkgroupActivityLog log{path};

    Db()
    {
        log.setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)); });
    }
    // What the poll loop does with a talkgroup heard: look it up, and log it
    // when it is confirmed.
    void heard(const QString &id, bool confirmed = true)
    {
        lookups.lookupTalkgroup(id, confirmed);
        if (confirmed) {
            log.record(id, QLatin1Char('C'));
            log.flush();
        }
    }
    bool exec(const QString &sql, const QVariantList &values = {})
    {
        QString error;
        if (!db.open(&error))
            return false;
        QSqlQuery q(db.database());
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        return q.exec();
    }
    int count(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q(db.database());
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        return q.exec() && q.next() ? q.value(0).toInt() : -1;
    }
};

} // namespace

class TestDatabase : public QObject
{
    Q_OBJECT
private slots:
    void namesAndNumbers();
    void createsSchemaWhenMissing();
    void existingFileIsUsedAsItIs();
    void channelLookups();
    void channelLookupWhileHidden();
    void talkgroupLog();
    void talkgroupLogWhileHidden();
    void busyLookupsAreTriedAgain();
    void faultsAreReportedOnce();
};

void TestDatabase::namesAndNumbers()
{
    QCOMPARE(ChannelDatabase::bankTableName(1), QStringLiteral("BANK01"));
    QCOMPARE(ChannelDatabase::bankTableName(9), QStringLiteral("BANK09"));
    QCOMPARE(ChannelDatabase::bankTableName(10), QStringLiteral("BANK10"));
    QCOMPARE(ChannelDatabase::bankTableName(20), QStringLiteral("BANK20"));
    const QList<QPair<int, int>> banks = {{7, 1}, {50, 1}, {51, 2}, {53, 2}, {120, 3}, {951, 20}, {1000, 20},
                                          {0, 0}, {-3, 0}, {1001, 0}};
    for (const auto &[channel, bank] : banks)
        QCOMPARE(ChannelDatabase::bankOfChannel(channel), bank);
}

void TestDatabase::createsSchemaWhenMissing()
{
    Db t;
    QString error;
    QVERIFY2(t.db.open(&error), qPrintable(error));
    QVERIFY(QFile::exists(t.path));
    QSqlDatabase db = t.db.database();
    QCOMPARE(db.tables().size(), 25); // 20 banks, TALKGROUPS, TALKGROUP_ACTIVITY, RECORDINGS, CHANNEL_ACTIVITY, ALERT_RULES
    const QStringList bankColumns = {"CHANNEL", "FREQUENCY", "sFREQ", "TRUNKED", "DELAY", "LOCKOUT", "PRIORITY",
                                     "CALLSIGN", "COMPANY_NAME", "RS", "CITY", "COUNTY", "STATE", "LATITUDE",
                                     "LONGITUDE", "NOTES"};
    for (int bank = 1; bank <= 20; ++bank) {
        const QSqlRecord record = db.record(ChannelDatabase::bankTableName(bank));
        QStringList names;
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        QCOMPARE(names, bankColumns);
    }
    const QSqlRecord tg = db.record(QStringLiteral("TALKGROUPS"));
    QCOMPARE(tg.count(), 6);
    QVERIFY(tg.contains(QStringLiteral("SERVICE_DESC")) && tg.contains(QStringLiteral("TIME")));
    QCOMPARE(t.count(QStringLiteral("PRAGMA user_version")), DatabaseSchema::kVersion);
}

void TestDatabase::existingFileIsUsedAsItIs()
{
    Db t;
    QVERIFY(t.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, COMPANY_NAME) VALUES (53, 'County Fire')")));
    t.db.close();
    QString error;
    QVERIFY(t.db.open(&error));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK02")), 1);

}


void TestDatabase::channelLookups()
{
    Db t;
    QVERIFY(t.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, COMPANY_NAME, NOTES) VALUES (53, ?, ?)"),
                   {QStringLiteral("O'Brien Towing"), QStringLiteral("dispatch")}));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO BANK20 (CHANNEL) VALUES (1000)")));
    t.aux.setVisible(true);

    t.lookups.lookupChannel(QStringLiteral("053"), QStringLiteral("154.4150"));
    QCOMPARE(t.aux.line(1), QStringLiteral("FREQ: 154.4150"));
    QCOMPARE(t.aux.line(2), QStringLiteral("CHAN: 53"));
    QCOMPARE(t.aux.line(3), QStringLiteral("O'Brien Towing"));
    QCOMPARE(t.aux.line(4), QStringLiteral("dispatch"));

    // Channel 1000 is in BANK20; NULL columns show as empty lines.
    t.lookups.lookupChannel(QStringLiteral("1000"), QStringLiteral("1296.0000"));
    QCOMPARE(t.aux.line(2), QStringLiteral("CHAN: 1000"));
    QCOMPARE(t.aux.line(3), QString());
    QCOMPARE(t.aux.line(4), QString());

    // No row: the new frequency on line 1, lines 2 to 4 as they were.
    t.aux.setLine(3, QStringLiteral("kept"));
    t.lookups.lookupChannel(QStringLiteral("007"), QStringLiteral("460.1250"));
    QCOMPARE(t.aux.line(1), QStringLiteral("FREQ: 460.1250"));
    QCOMPARE(t.aux.line(2), QStringLiteral("CHAN: 1000"));
    QCOMPARE(t.aux.line(3), QStringLiteral("kept"));

    // The same frequency shown already: the database is not asked again.
    QVERIFY(t.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, COMPANY_NAME) VALUES (7, 'late')")));
    t.lookups.lookupChannel(QStringLiteral("007"), QStringLiteral("460.1250"));
    QCOMPARE(t.aux.line(3), QStringLiteral("kept"));

    // A channel text that is no channel looks nothing up.
    t.lookups.lookupChannel(QStringLiteral("x'1"), QStringLiteral("1.1"));
    t.lookups.lookupChannel(QStringLiteral("000"), QStringLiteral("1.2"));
    QVERIFY(t.reports.isEmpty());
}

void TestDatabase::channelLookupWhileHidden()
{
    Db t;
    QVERIFY(t.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, COMPANY_NAME) VALUES (7, 'Water Dept')")));
    t.lookups.lookupChannel(QStringLiteral("007"), QStringLiteral("460.1250"));
    QCOMPARE(t.aux.line(1), AuxDisplayModel::initialText(1));
    QCOMPARE(t.aux.line(3), AuxDisplayModel::initialText(3));
}

void TestDatabase::talkgroupLog()
{
    Db t;
    t.aux.setVisible(true);
    // Not yet confirmed: neither shown as new nor added.
    t.heard(QStringLiteral("123"), false);
    QCOMPARE(t.aux.line(1), AuxDisplayModel::initialText(1));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 0);
    t.heard(QStringLiteral("123"));
    QCOMPARE(t.aux.line(1), QStringLiteral("Talkgroup ID: 123"));
    QCOMPARE(t.aux.line(2), QStringLiteral("Unknown"));
    QCOMPARE(t.aux.line(3), QStringLiteral("Unknown"));
    QCOMPARE(t.aux.line(4), QStringLiteral("Auto-Added by Orvendal"));
    // Heard twice in a row: added once.
    t.heard(QStringLiteral("123"));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE ID = '123'")), 1);
    QSqlQuery q(t.db.database());
    QVERIFY(q.exec(QStringLiteral("SELECT CITY, SERVICE_DESC, NOTES, DATE, TIME FROM TALKGROUPS")) && q.next());
    QCOMPARE(q.value(3).toString(), QStringLiteral("2026-12-08"));
    QCOMPARE(q.value(4).toString(), QStringLiteral("14:05:09"));
    q.finish();

    // Another one, then the first again: shown from the table.
    QVERIFY(t.exec(QStringLiteral("UPDATE TALKGROUPS SET CITY = 'Springfield', NOTES = NULL WHERE ID = '123'")));
    t.heard(QStringLiteral("O'Neil"));
    QCOMPARE(t.aux.line(1), QStringLiteral("Talkgroup ID: O'Neil"));
    t.heard(QStringLiteral("123"));
    QCOMPARE(t.aux.line(2), QStringLiteral("Springfield"));
    QCOMPARE(t.aux.line(4), QString());
    // An ID with a quote is stored and found as given.
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE ID = ?"), {QStringLiteral("O'Neil")}), 1);
    t.heard(QStringLiteral("O'Neil"));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 2);

    // An empty ID is never added.
    t.heard(QString());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 2);
    QVERIFY(t.reports.isEmpty());
}

void TestDatabase::talkgroupLogWhileHidden()
{
    Db t;
    t.heard(QStringLiteral("4711"));
    t.heard(QStringLiteral("4711"));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE ID = '4711'")), 1);
    QCOMPARE(t.aux.line(1), AuxDisplayModel::initialText(1));
    QCOMPARE(t.aux.line(2), QStringLiteral("Unknown")); // written even while hidden
    QCOMPARE(t.aux.line(3), AuxDisplayModel::initialText(3));
}

void TestDatabase::busyLookupsAreTriedAgain()
{
    Db t;
    QVERIFY(t.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, COMPANY_NAME) VALUES (7, 'Water Dept')")));
    QVERIFY(t.exec(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY) VALUES ('55', 'Ashby')")));
    // In the rollback journal mode another program's write shuts readers out.
    QVERIFY(t.exec(QStringLiteral("PRAGMA journal_mode=DELETE")));
    t.db.close();
    ChannelDatabase lookupsDb(t.path, QStringLiteral("busy-lookups"), 0);
    AuxLookups lookups(&t.aux, &lookupsDb, [&t](const QString &s) { t.reports << s; });
    ChannelDatabase other(t.path, QStringLiteral("other program"));
    QString error;
    QVERIFY(other.open(&error));
    QSqlQuery hold(other.database());
    QVERIFY(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    t.aux.setVisible(true);
    QElapsedTimer took;
    took.start();
    lookups.lookupChannel(QStringLiteral("007"), QStringLiteral("460.1250"));
    lookups.lookupTalkgroup(QStringLiteral("55"));
    QVERIFY(took.elapsed() < 50); // nobody waits for the lock
    QCOMPARE(t.aux.line(1), QStringLiteral("FREQ: 460.1250"));
    QCOMPARE(t.aux.line(3), AuxDisplayModel::initialText(3));
    QVERIFY(t.reports.isEmpty()); // busy is no fault

    // Once it is free the same channel and talkgroup are looked up again.
    QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
    lookups.lookupChannel(QStringLiteral("007"), QStringLiteral("460.1250"));
    QCOMPARE(t.aux.line(3), QStringLiteral("Water Dept"));
    lookups.lookupTalkgroup(QStringLiteral("55"));
    QCOMPARE(t.aux.line(2), QStringLiteral("Ashby"));
}

void TestDatabase::faultsAreReportedOnce()
{
    {
        // Not a database at all.
        Db t;
        QDir().mkpath(QFileInfo(t.path).absolutePath());
        QFile junk(t.path);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        t.aux.setVisible(true);
        for (int i = 0; i < 5; ++i) {
            t.lookups.lookupTalkgroup(QStringLiteral("%1").arg(100 + i));
            t.lookups.lookupChannel(QStringLiteral("007"), QStringLiteral("1.%1").arg(i));
        }
        QCOMPARE(t.reports.size(), 1);
        QVERIFY(t.reports.first().startsWith(QLatin1String("Channel database problem: ")));
        QCOMPARE(QFile(t.path).size(), 4096); // left as it was
    }
    {
        // Tables missing.
        Db t;
        QVERIFY(t.exec(QStringLiteral("DROP TABLE BANK01")));
        t.aux.setVisible(true);
        t.lookups.lookupChannel(QStringLiteral("007"), QStringLiteral("1.0"));
        t.lookups.lookupChannel(QStringLiteral("008"), QStringLiteral("1.1"));
        QCOMPARE(t.reports.size(), 1);
        QVERIFY(t.reports.first().contains(QLatin1String("BANK01")));
        // Another lookup that works ends the run of failures and withdraws
        // the report...
        t.lookups.lookupChannel(QStringLiteral("053"), QStringLiteral("1.2"));
        QCOMPARE(t.reports.size(), 2);
        QVERIFY(t.reports.last().isEmpty());
        t.lookups.lookupChannel(QStringLiteral("054"), QStringLiteral("1.4"));
        QCOMPARE(t.reports.size(), 2);
        // ...so the next failure is said again.
        t.lookups.lookupChannel(QStringLiteral("009"), QStringLiteral("1.3"));
        QCOMPARE(t.reports.size(), 3);
    }
    {
        // A database that refuses writes: talkgroups cannot be logged; the
        // writer says so once and keeps them, and the display still follows.
        Db t;
        QSignalSpy said(&t.log, &TalkgroupActivityLog::problem);
        QVERIFY(t.exec(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE INSERT ON TALKGROUPS BEGIN SELECT RAISE(ABORT, 'attempt to write a readonly database'); END")));
        t.aux.setVisible(true);
        t.heard(QStringLiteral("1"));
        t.heard(QStringLiteral("2"));
        QCOMPARE(t.aux.line(1), QStringLiteral("Talkgroup ID: 2"));
        QCOMPARE(said.size(), 1);
        QVERIFY(said.first().first().toString().contains(QLatin1String("readonly")));
        QCOMPARE(t.log.queued(), 2);
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 0);
        QVERIFY(t.reports.isEmpty());
    }
    {
        // A folder that cannot be made.
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("Data")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ChannelDatabase db(dir.filePath(QStringLiteral("Data/Orvendal.db")), QStringLiteral("nofolder"));
        QString error;
        QVERIFY(!db.open(&error));
        QVERIFY(!error.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
