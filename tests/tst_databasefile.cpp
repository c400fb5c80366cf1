// The database file itself: healed at opening and never replaced, where an
// installed program keeps it, and a lock another program holds.

#include "data/AppInfo.h"
#include "data/ChannelDatabase.h"
#include "data/DatabaseSchema.h"
#include "data/TalkgroupActivityLog.h"
#include "scanner/DisplayModel.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A SQLite file made outside the program: these statements, nothing else.
void writeForeignFile(const QString &path, const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        for (const QString &sql : statements)
            QVERIFY2(QSqlQuery(db).exec(sql), qPrintable(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestDatabaseFile : public QObject
{
    Q_OBJECT
private slots:
    void filesAreHealedNeverReplaced();
    void installedProgramKeepsItsDatabase();
    void lockIsForgottenOnceGone();
    void unreadableDefinitionsStampNothing();
};

void TestDatabaseFile::filesAreHealedNeverReplaced()
{
    QTemporaryDir dir;
    QString error;
    {
        // Zero bytes, as a failed copy leaves it: a new database.
        const QString path = dir.filePath(QStringLiteral("empty.db"));
        QFile(path).open(QIODevice::WriteOnly);
        ChannelDatabase db(path, QStringLiteral("empty"));
        QVERIFY2(db.open(&error), qPrintable(error));
        QCOMPARE(db.database().tables().size(), 25);
        std::optional<ChannelDatabase::ChannelNotes> found;
        QVERIFY(db.lookupChannel(7, &found, &error));
    }
    {
        // Some tables of ours, one of the user's, an older version: ours are
        // added, nothing there is dropped or altered.
        const QString path = dir.filePath(QStringLiteral("partial.db"));
        writeForeignFile(path, {QStringLiteral("CREATE TABLE BANK01 (CHANNEL INTEGER, sFREQ TEXT, NOTES TEXT, MINE TEXT)"),
                                QStringLiteral("INSERT INTO BANK01 VALUES (7, '154.4150', 'kept', 'mine')"),
                                QStringLiteral("CREATE TABLE MYLIST (X TEXT)")});
        ChannelDatabase db(path, QStringLiteral("partial"));
        QVERIFY2(db.open(&error), qPrintable(error));
        const QStringList tables = db.database().tables();
        QCOMPARE(tables.size(), 26);
        QVERIFY(tables.contains(QStringLiteral("MYLIST")) && tables.contains(QStringLiteral("TALKGROUPS")));
        QCOMPARE(db.database().record(QStringLiteral("BANK01")).count(), 4);
        QSqlQuery q(db.database());
        QVERIFY(q.exec(QStringLiteral("SELECT NOTES, MINE FROM BANK01 WHERE CHANNEL = 7")) && q.next());
        QCOMPARE(q.value(1).toString(), QStringLiteral("mine"));
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
        QCOMPARE(q.value(0).toInt(), DatabaseSchema::kVersion);
        q.finish();
        // A table of ours lost later comes back at the next opening.
        QVERIFY(q.exec(QStringLiteral("DROP TABLE TALKGROUPS")));
        db.close();
        QVERIFY(db.open(&error));
        QVERIFY(db.database().tables().contains(QStringLiteral("TALKGROUPS")));
    }
    {
        // From a newer program: refused with its version named, not a byte
        // written.
        const QString path = dir.filePath(QStringLiteral("newer.db"));
        writeForeignFile(path, {QStringLiteral("CREATE TABLE BANK01 (CHANNEL INTEGER)"),
                                QStringLiteral("PRAGMA user_version=7")});
        const QByteArray before = contents(path);
        ChannelDatabase db(path, QStringLiteral("newer"));
        QVERIFY(!db.open(&error));
        QVERIFY2(error.contains(QLatin1String("newer")) && error.contains(QLatin1String("version 7")), qPrintable(error));
        QVERIFY(!db.isOpen());
        QCOMPARE(contents(path), before);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("newer.db*")}, QDir::Files), QStringList{"newer.db"});
    }
}


void TestDatabaseFile::installedProgramKeepsItsDatabase()
{
    QTemporaryDir program;
    QTemporaryDir user;
    const QString beside = program.filePath(QStringLiteral("Data/Orvendal.db"));
    const QString inUserData = user.filePath(QStringLiteral("Data/Orvendal.db"));
    const auto writable = [](const QString &) { return true; };
    const auto readOnly = [](const QString &) { return false; };

    QCOMPARE(AppInfo::chooseDatabasePath(program.path(), user.path(), writable), beside);
    // A program folder nobody may write to: the user's data folder, where the
    // database is then created.
    QCOMPARE(AppInfo::chooseDatabasePath(program.path(), user.path(), readOnly), inUserData);
    {
        ChannelDatabase db(inUserData, QStringLiteral("installed"));
        QString error;
        QVERIFY2(db.open(&error), qPrintable(error));
    }
    QVERIFY(QFile::exists(inUserData));
    QVERIFY(!QFile::exists(beside));
    // Root can write every folder: it makes no database beside the program
    // unless a Data folder is there already.
    QCOMPARE(AppInfo::chooseDatabasePath(program.path(), user.path(), writable, true), inUserData);
    // A database already beside the program is used first, if it can be
    // written; one left there by root is passed over.
    QVERIFY(QDir().mkpath(program.filePath(QStringLiteral("Data"))));
    QFile(beside).open(QIODevice::WriteOnly);
    QCOMPARE(AppInfo::chooseDatabasePath(program.path(), user.path(), writable), beside);
    QCOMPARE(AppInfo::chooseDatabasePath(program.path(), user.path(),
                                         [&](const QString &path) { return path != beside; }),
             inUserData);
    // A Data folder of its own that cannot be written counts, not the program folder.
    QFile::remove(beside);
    QCOMPARE(AppInfo::chooseDatabasePath(program.path(), user.path(),
                                         [&](const QString &folder) { return folder == program.path(); }),
             inUserData);
    QCOMPARE(AppInfo::chooseDatabasePath(program.path(), user.path(), writable, true), beside);
    QVERIFY(AppInfo::canWrite(user.path()));
    QVERIFY(!AppInfo::canWrite(user.filePath(QStringLiteral("none"))));
}


void TestDatabaseFile::lockIsForgottenOnceGone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data/Orvendal.db"));
    DisplayModel display;
    display.setStatusLine(QStringLiteral("COMM PORT #1 opened"));
    TalkgroupActivityLog log(path);
    log.setRetryDelay(20);
    QObject::connect(&log, &TalkgroupActivityLog::problem, &display, &DisplayModel::setProblemLine);
    QString error;

    // Another program holds the write lock: the talkgroup cannot be logged yet.
    ChannelDatabase other(path, QStringLiteral("other program"));
    QVERIFY(other.open(&error));
    QVERIFY(QSqlQuery(other.database()).exec(QStringLiteral("BEGIN IMMEDIATE")));
    log.record(QStringLiteral("4711"), QLatin1Char('C'));
    QVERIFY(!log.flush());
    QVERIFY2(display.statusLine().contains(QLatin1String("busy")), qPrintable(display.statusLine()));
    QVERIFY(QSqlQuery(other.database()).exec(QStringLiteral("ROLLBACK")));

    // Once the lock is gone the row is written and the status line no longer says it.
    QTRY_COMPARE(log.rowsWritten(), 1);
    QCOMPARE(display.statusLine(), QStringLiteral("COMM PORT #1 opened"));
    std::optional<ChannelDatabase::Talkgroup> found;
    QVERIFY(other.lookupTalkgroup(QStringLiteral("4711"), &found, &error) && found);

    // A status text given meanwhile is not taken back.
    display.setProblemLine(QStringLiteral("Channel database problem: x"));
    display.setStatusLine(QStringLiteral("COMM PORT #1 closed"));
    display.setProblemLine(QString());
    QCOMPARE(display.statusLine(), QStringLiteral("COMM PORT #1 closed"));
}

void TestDatabaseFile::unreadableDefinitionsStampNothing()
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("fresh.db"));
    const QString older = dir.filePath(QStringLiteral("older.db"));
    writeForeignFile(older, {QStringLiteral("CREATE TABLE MYLIST (X TEXT)")});
    const QString garbled = dir.filePath(QStringLiteral("garbled.sql"));
    QFile f(garbled);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("CREATE TABLE X (Y TEXT);\n"); // no bank block
    f.close();

    for (const QString &definitions : {dir.filePath(QStringLiteral("missing.sql")), garbled}) {
        DatabaseSchema::setDefinitionFile(definitions);
        QString error;
        {
            ChannelDatabase db(fresh, QStringLiteral("fresh"));
            QVERIFY(!db.open(&error));
            QVERIFY2(error.contains(QLatin1String("table definitions")), qPrintable(error));
        }
        QVERIFY(!QFile::exists(fresh));
        {
            ChannelDatabase db(older, QStringLiteral("older"));
            QVERIFY(!db.open(&error));
        }
        // The file keeps its version 0 and its own table, and nothing else.
        writeForeignFile(older, {});
        QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        check.setDatabaseName(older);
        QVERIFY(check.open());
        {
            QSqlQuery q(check);
            QVERIFY(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
            QCOMPARE(q.value(0).toInt(), 0);
            QCOMPARE(check.tables(), QStringList{"MYLIST"});
        }
        check.close();
        check = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
    }
    DatabaseSchema::setDefinitionFile(QStringLiteral(":/orvendal/schema.sql"));
    ChannelDatabase db(older, QStringLiteral("healed"));
    QString error;
    QVERIFY2(db.open(&error), qPrintable(error));
    QCOMPARE(db.database().tables().size(), 26);
}

QTEST_GUILESS_MAIN(TestDatabaseFile)
#include "tst_databasefile.moc"
