// What an export may write over and what an import reads: a device, a pipe,
// a folder or the database itself is refused untouched; an import reads only
// regular files of bounded size; and what the summary says about the lines.

#include "TempDatabase.h"
#include "data/BankCsv.h"
#include "data/ChannelDatabase.h"
#include "data/TalkgroupCsv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

struct Db : TempDatabase
{
    Db()
        : TempDatabase(QStringLiteral("files-test"))
    {
    }
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("in.csv"))
    {
        const QString file = dir.filePath(name);
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return file;
    }
    int count(const QString &sql)
    {
        QSqlQuery q(db.database());
        return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
    }
};

mode_t typeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

// Tries both exports onto the path: each must fail, name the reason and
// leave the path as it was.
void refusedBoth(Db &d, const QString &path, const char *reason)
{
    const mode_t before = typeOf(path);
    const QDir folder(QFileInfo(path).absolutePath());
    const auto filter = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
    const QStringList entries = folder.entryList(filter);
    int rows = 0;
    QString error;
    QVERIFY(!BankCsv::exportTo(d.db, path, &rows, &error));
    QVERIFY2(error.contains(QLatin1String(reason)), qPrintable(error));
    error.clear();
    QVERIFY(!TalkgroupCsv::exportTo(d.db, path, &rows, &error));
    QVERIFY2(error.contains(QLatin1String(reason)), qPrintable(error));
    QCOMPARE(typeOf(path), before);
    // No temporary file is left behind.
    QCOMPARE(folder.entryList(filter), entries);
}

} // namespace

class TestCsvFiles : public QObject
{
    Q_OBJECT
private slots:
    void exportsReplaceOnlyRegularFiles();
    void importsReadOnlyBoundedRegularFiles();
    void summaryCountsAndQuotesRight();
};

void TestCsvFiles::exportsReplaceOnlyRegularFiles()
{
    Db d;
    QString error;
    QVERIFY(d.db.addTalkgroup({"4711", "Town", "Fire", "n"}, QDateTime::currentDateTime(), &error));

    // The open database, under its own name, through a link, and its journal.
    refusedBoth(d, d.path, "channel database in use");
    QVERIFY(QFile::link(d.path, d.dir.filePath(QStringLiteral("link.db"))));
    refusedBoth(d, d.dir.filePath(QStringLiteral("link.db")), "channel database in use");
    QCOMPARE(d.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 1);
    {
        ChannelDatabase again(d.path, QStringLiteral("again"));
        QVERIFY2(again.open(&error), qPrintable(error));
    }

    // A folder and a named pipe (which an export used to replace by a file).
    QVERIFY(QDir(d.dir.path()).mkdir(QStringLiteral("folder")));
    refusedBoth(d, d.dir.filePath(QStringLiteral("folder")), "not a regular file");
    const QString fifo = d.dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    refusedBoth(d, fifo, "not a regular file");
    QCOMPARE(typeOf(fifo), mode_t(S_IFIFO));

    // A regular file is replaced whole.
    const QString csv = d.write("old", QStringLiteral("out.csv"));
    int rows = 0;
    QVERIFY2(TalkgroupCsv::exportTo(d.db, csv, &rows, &error), qPrintable(error));
    QCOMPARE(rows, 1);
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().startsWith("ID,CITY"));

    // A device node: one made here, never the system's.
    const QString device = d.dir.filePath(QStringLiteral("null"));
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        QSKIP("device nodes can be made only as root; the device case is not tried");
    refusedBoth(d, device, "not a regular file");
    QCOMPARE(typeOf(device), mode_t(S_IFCHR));
}

void TestCsvFiles::importsReadOnlyBoundedRegularFiles()
{
    Db d;
    // Devices that never end, and a pipe nobody writes to: refused at once.
    QElapsedTimer clock;
    clock.start();
    const QString fifo = d.dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path : {QStringLiteral("/dev/zero"), QStringLiteral("/dev/urandom"), fifo}) {
        const ImportPlan banks = BankCsv::plan(d.db, path, BankCsv::Placement::ByLocation, 1);
        QVERIFY2(banks.error().contains(QLatin1String("not a regular file")), qPrintable(banks.error()));
        QVERIFY(!TalkgroupCsv::plan(d.db, path).isUsable());
    }
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));

    // Larger than the limit: refused before a byte is read, the limit named.
    const QString large = d.dir.filePath(QStringLiteral("large.csv"));
    {
        QFile f(large);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(CsvTable::kMaxBytes + 1)); // sparse
    }
    const ImportPlan tooLarge = BankCsv::plan(d.db, large, BankCsv::Placement::ByLocation, 1);
    QVERIFY2(tooLarge.error().contains(QLatin1String("32 MB")), qPrintable(tooLarge.error()));

    // Many bad lines: all counted, the first of them listed.
    QByteArray many = "ID,CITY\n";
    for (int i = 0; i < 30000; ++i)
        many += "x\n\"open\"x\n";
    const ImportPlan bad = TalkgroupCsv::planBytes(d.db, many);
    QCOMPARE(bad.refusedCount(), 60000);
    QCOMPARE(bad.refused().size(), ImportPlan::kMaxListed);
    QCOMPARE(bad.refused().front().line, 2);
    QCOMPARE(bad.refused().back().line, ImportPlan::kMaxListed + 1);
    QVERIFY(bad.summaryText().contains(QLatin1String("... and 59000 more lines refused")));
}

void TestCsvFiles::summaryCountsAndQuotesRight()
{
    Db d;
    // Channel 7 has its row; a stray row of channel 5 sits in bank 2's table,
    // where the import does not look for it.
    QVERIFY(QSqlQuery(d.db.database()).exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, sFREQ) VALUES (7, '154.4150')")));
    QVERIFY(QSqlQuery(d.db.database()).exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, sFREQ) VALUES (5, '154.4150')")));
    const QString path = d.write("Location,Frequency,Skip,PRIORITY\n"
                                 "5,151.0000,P,\n"    // 2: priority by Skip
                                 "7,152.0000,S,0\n"   // 3: locked out
                                 "8,153.0000,,1\n"    // 4
                                 "9,154.0000,P,0\n"   // 5: contradicts itself
                                 "%2,155.0000,,\n"    // 6
                                 "1%1,155.0000,,\n"   // 7
                                 "2000,155.0000,X,\n" // 8
                                 "10,155.0000,\"\",\n"); // 9: scanned, priority left alone
    const ImportPlan plan = BankCsv::plan(d.db, path, BankCsv::Placement::ByLocation, 1);
    QStringList refused;
    for (const ImportPlan::Refusal &r : plan.refused())
        refused << QStringLiteral("%1: %2").arg(r.line).arg(r.reason);
    QCOMPARE(refused, (QStringList{
                          "5: Skip \"P\" makes it a priority channel, but PRIORITY is \"0\"",
                          "6: Location \"%2\" is no channel number (1..1000)",
                          "7: Location \"1%1\" is no channel number (1..1000)",
                          "8: Skip \"X\" is none of S, P or empty",
                      }));
    QVERIFY2(plan.summaryText().startsWith(QLatin1String("Bank 1: 3 to add, 1 to replace\n")), qPrintable(plan.summaryText()));
    QString error;
    QVERIFY2(plan.apply(d.db, &error), qPrintable(error));
    QCOMPARE(d.count(QStringLiteral("SELECT count(*) FROM BANK01")), 4);
    QSqlQuery q(d.db.database());
    QVERIFY(q.exec(QStringLiteral("SELECT CHANNEL, LOCKOUT, PRIORITY FROM BANK01 ORDER BY CHANNEL")));
    QStringList flags;
    while (q.next())
        flags << QStringLiteral("%1:%2:%3").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
    QCOMPARE(flags, (QStringList{"5:0:1", "7:1:0", "8::1", "10:0:"}));

    // Talkgroup IDs are quoted as given, placeholders and all.
    const ImportPlan talkgroups = TalkgroupCsv::planBytes(d.db, "ID\n%2x\n");
    QCOMPARE(talkgroups.refused().front().reason,
             QStringLiteral("ID \"%2x\" is no talkgroup ID (a digit first, then digits and \"-\", at most 12 characters)"));
}

QTEST_GUILESS_MAIN(TestCsvFiles)
#include "tst_csvfiles.moc"
