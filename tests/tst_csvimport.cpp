// Banks and talkgroups through CSV: the round trip, a file written by hand,
// placement, and imports that must write nothing.

#include "TempDatabase.h"
#include "data/BankCsv.h"
#include "data/ChannelDatabase.h"
#include "data/TalkgroupCsv.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <random>

namespace {

struct Db : TempDatabase
{
    Db()
        : TempDatabase(QStringLiteral("csv-test"))
    {
    }
    bool exec(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q(db.database());
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            qWarning() << sql << q.lastError().text();
        return !q.lastError().isValid();
    }
    // Every table, row by row, each value with its type; NULL apart.
    QStringList dump()
    {
        QStringList rows;
        QStringList tables;
        for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank)
            tables << ChannelDatabase::bankTableName(bank);
        tables << QStringLiteral("TALKGROUPS");
        for (const QString &table : tables) {
            QSqlQuery q(db.database());
            q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2, rowid")
                       .arg(table, table == QLatin1String("TALKGROUPS") ? "ID" : "CHANNEL"));
            while (q.next()) {
                QStringList values{table};
                for (int i = 0; i < q.record().count(); ++i) {
                    const QVariant v = q.value(i);
                    values << (v.isNull() ? QStringLiteral("NULL")
                                          : QStringLiteral("%1:%2").arg(v.typeName(), v.toString()));
                }
                rows << values.join(QLatin1Char('|'));
            }
        }
        return rows;
    }
    int count(const QString &table)
    {
        QSqlQuery q(db.database());
        q.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table));
        return q.next() ? q.value(0).toInt() : -1;
    }
    QString write(const QByteArray &bytes)
    {
        const QString file = dir.filePath(QStringLiteral("in.csv"));
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return file;
    }
};

const char *const kBankInsert = "INSERT INTO %1 (CHANNEL, FREQUENCY, sFREQ, TRUNKED, DELAY, LOCKOUT, PRIORITY, CALLSIGN, "
                                "COMPANY_NAME, RS, CITY, COUNTY, STATE, LATITUDE, LONGITUDE, NOTES) "
                                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

QList<int> lines(const ImportPlan &plan)
{
    QList<int> result;
    for (const ImportPlan::Refusal &r : plan.refused())
        result << r.line;
    return result;
}

} // namespace

class TestCsvImport : public QObject
{
    Q_OBJECT
private slots:
    void roundTripGivesIdenticalTables();
    void randomTablesRoundTrip();
    void handWrittenFileIsSummarisedThenWritten();
    void fileOrderFillsBanksFromAChosenChannel();
    void nothingIsWrittenOnAnyDatabaseError();
    void talkgroupsAreAddedAndUpdatedNeverDeleted();
};

void TestCsvImport::roundTripGivesIdenticalTables()
{
    Db d;
    const QString empty = QLatin1String("");
    const QVariant null;
    QVERIFY(d.exec(QString::fromLatin1(kBankInsert).arg("BANK01"),
                   {1, 154.415, "154.4150", 1, 0, 1, 0, "WXY123", "City, \"Fire\"", "RS1", QString::fromUtf8("Zürich"),
                    "County", "ST", "47.37", "8.54", "two\r\nlines, \"quoted\""}));
    QVERIFY(d.exec(QString::fromLatin1(kBankInsert).arg("BANK01"),
                   {2, 0.0, "000.000", 0, 0, 0, 0, null, null, null, null, null, null, null, null, null}));
    QVERIFY(d.exec(QString::fromLatin1(kBankInsert).arg("BANK03"),
                   {120, 121.5, "121.5000", null, 1, null, 1, "TOWER", empty, empty, " lead", "#hash", null, empty,
                    null, QString(QChar(0xFEFF)) + "bom"}));
    QVERIFY(d.exec(QString::fromLatin1(kBankInsert).arg("BANK20"),
                   {1000, 1296.0, "1296.0000", 0, 0, 0, 0, null, "Top", null, null, null, null, null, null, null}));
    QVERIFY(d.exec(QString::fromLatin1(kBankInsert).arg("BANK10"),
                   {470, null, null, null, null, null, null, null, null, null, null, null, null, null, null, empty}));
    ChannelDatabase::Talkgroup tg{"01-234", "Town, North", "Police \"A\"", "line\nbreak"};
    QVERIFY(d.db.addTalkgroup(tg, QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)), new QString));
    QVERIFY(d.exec("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC, NOTES, DATE, TIME) VALUES (?, ?, ?, ?, ?, ?)",
                   {"4711", null, empty, null, null, null}));
    const QStringList before = d.dump();

    QString error;
    int rows = 0;
    const QString banks = d.dir.filePath("banks.csv");
    const QString talkgroups = d.dir.filePath("talkgroups.csv");
    QVERIFY2(BankCsv::exportTo(d.db, banks, &rows, &error), qPrintable(error));
    QCOMPARE(rows, 5);
    QVERIFY2(TalkgroupCsv::exportTo(d.db, talkgroups, &rows, &error), qPrintable(error));
    QCOMPARE(rows, 2);

    // The layout other programs read.
    QFile file(banks);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> text = file.readAll().split('\n');
    QVERIFY(text[0].startsWith("Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,"
                               "RxDtcsCode,CrossMode,Mode,TStep,Skip,Power,Comment,TRUNKED,DELAY,PRIORITY,CALLSIGN,"));
    QVERIFY2(text[1].startsWith("1,\"City, \"\"Fire\"\"\",154.415000,,,,,,,,,,FM,,S,,"), text[1].constData());
    QVERIFY(text.join('\n').contains("120,TOWER,121.500000,,,,,,,,,,AM,,,,"));

    for (const QString &table : d.db.database().tables())
        QVERIFY(d.exec(QStringLiteral("DELETE FROM %1").arg(table)));
    QCOMPARE(d.dump(), QStringList());

    const ImportPlan bankPlan = BankCsv::plan(d.db, banks, BankCsv::Placement::ByLocation, 1);
    QVERIFY2(bankPlan.isUsable(), qPrintable(bankPlan.error()));
    QCOMPARE(bankPlan.refusedCount(), 0);
    QCOMPARE(bankPlan.unknownColumns(), QStringList());
    QVERIFY2(bankPlan.apply(d.db, &error), qPrintable(error));
    const ImportPlan talkgroupPlan = TalkgroupCsv::plan(d.db, talkgroups);
    QCOMPARE(talkgroupPlan.refusedCount(), 0);
    QVERIFY2(talkgroupPlan.apply(d.db, &error), qPrintable(error));
    QCOMPARE(d.dump(), before);

    // Importing the same file again replaces every channel and changes nothing.
    const ImportPlan again = BankCsv::plan(d.db, banks, BankCsv::Placement::ByLocation, 1);
    QCOMPARE(again.groups().at(0).replaced, 2);
    QCOMPARE(again.groups().at(0).added, 0);
    QVERIFY(again.apply(d.db, &error));
    QCOMPARE(d.dump(), before);
}

void TestCsvImport::randomTablesRoundTrip()
{
    Db d;
    std::mt19937 random(20);
    const QString pieces[] = {"a", ",", "\"", "\r\n", "\n", " ", "#", QString::fromUtf8("ä"), "0", ""};
    auto text = [&]() -> QVariant {
        if (random() % 4 == 0)
            return {};
        QString t = QLatin1String("");
        for (int n = random() % 4; n > 0; --n)
            t += pieces[random() % std::size(pieces)];
        return t;
    };
    auto flag = [&]() -> QVariant { return random() % 3 == 0 ? QVariant() : QVariant(int(random() % 2)); };
    for (int channel = 1; channel <= 1000; channel += 1 + random() % 5) {
        const qint64 units = random() % 13000001;
        const QVariant mhz = random() % 10 == 0 ? QVariant() : QVariant(units / 10000.0);
        const QString sFreq = units == 0 ? QStringLiteral("000.000")
                                         : QStringLiteral("%1.%2").arg(units / 10000, 3, 10, QLatin1Char('0'))
                                               .arg(units % 10000, 4, 10, QLatin1Char('0'));
        QVERIFY(d.exec(QString::fromLatin1(kBankInsert).arg(ChannelDatabase::bankTableName(ChannelDatabase::bankOfChannel(channel))),
                       {channel, mhz, mhz.isNull() ? QVariant() : QVariant(sFreq), flag(), flag(), flag(), flag(), text(),
                        text(), text(), text(), text(), text(), text(), text(), text()}));
    }
    const QStringList before = d.dump();
    QString error;
    int rows = 0;
    QByteArray csv;
    QVERIFY(BankCsv::exportBytes(d.db, &csv, &rows, &error));
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank)
        QVERIFY(d.exec(QStringLiteral("DELETE FROM %1").arg(ChannelDatabase::bankTableName(bank))));
    const ImportPlan plan = BankCsv::plan(d.db, d.write(csv), BankCsv::Placement::ByLocation, 1);
    QCOMPARE(plan.refusedCount(), 0);
    QCOMPARE(plan.rowCount(), rows);
    QVERIFY(plan.apply(d.db, &error));
    QCOMPARE(d.dump(), before);
}

void TestCsvImport::handWrittenFileIsSummarisedThenWritten()
{
    Db d;
    QVERIFY(d.exec(QString::fromLatin1(kBankInsert).arg("BANK01"),
                   {3, 460.0, "460.0000", 0, 0, 0, 0, "KEEP", "Old", "R", "Kept city", QVariant(), QVariant(), QVariant(), QVariant(), "old"}));
    const QByteArray csv = "\xEF\xBB\xBF# Channel list from the club\r\n"     // 1
                           "Comment,Frequency,Bandwidth,Location,Name,Skip,Mode\r\n" // 2
                           "\"Dispatch, main\",154.415000,12.5,3,County Fire,S,FM\r\n" // 3
                           "# a comment between rows\r\n"                    // 4
                           "\"two\r\nlines\",460.1250,,51,\"Water, \"\"Dept\"\"\",,AM\r\n" // 5-6
                           "bad frequency,abc,,4,X,,\r\n"                     // 7
                           "too high,1300.0001,,5,X,,\r\n"                    // 8
                           "from zero,146.520000,,0,Simplex,,\r\n"            // 9
                           "past the end,146.520000,,1001,X,,\r\n"            // 10
                           "odd skip,146.520000,,6,X,Q,\r\n"                  // 11
                           "too many,146.52,,7,X,,,extra\r\n"                 // 12
                           "twice,151.0000,,3,Again,,\r\n"                    // 13
                           "broken \"quote,151.0000,,8,X,,\r\n"               // 14
                           ",162.550000,,1000\r\n";                           // 15: short row
    const QString path = d.write(csv);
    const QStringList before = d.dump();

    BankCsv file;
    QVERIFY(file.read(path));
    QString error;
    QVERIFY(file.loadExisting(d.db, &error));
    const ImportPlan plan = file.plan(BankCsv::Placement::ByLocation, 1);
    QVERIFY(plan.isUsable());
    QCOMPARE(lines(plan), (QList<int>{7, 8, 9, 10, 11, 12, 13, 14}));
    QCOMPARE(plan.unknownColumns(), QStringList{"Bandwidth"});
    QCOMPARE(plan.groups().at(0).name, QStringLiteral("Bank 1"));
    QCOMPARE(plan.groups().at(0).replaced, 1);
    QCOMPARE(plan.groups().at(1).added, 1);
    QCOMPARE(plan.groups().at(19).added, 1);
    const QString summary = plan.summaryText();
    QVERIFY2(summary.contains("line 7: Frequency \"abc\""), qPrintable(summary));
    QVERIFY2(summary.contains("line 9: Location \"0\" is outside 1..1000"), qPrintable(summary));
    QVERIFY2(summary.contains("line 13: channel 3 is given on line 3 already"), qPrintable(summary));
    QCOMPARE(summary.count("Bandwidth"), 1);
    // Nothing is written until the plan is applied.
    QCOMPARE(d.dump(), before);

    QVERIFY2(plan.apply(d.db, &error), qPrintable(error));
    QCOMPARE(d.count("BANK01"), 1);
    QSqlQuery q(d.db.database());
    QVERIFY(q.exec("SELECT FREQUENCY, sFREQ, LOCKOUT, COMPANY_NAME, NOTES, CALLSIGN, CITY FROM BANK01 WHERE CHANNEL = 3"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toDouble(), 154.415);
    QCOMPARE(q.value(1).toString(), "154.4150");
    QCOMPARE(q.value(2).toInt(), 1);
    QCOMPARE(q.value(3).toString(), "County Fire");
    QCOMPARE(q.value(4).toString(), "Dispatch, main");
    // Columns the file does not have keep what the channel held.
    QCOMPARE(q.value(5).toString(), "KEEP");
    QCOMPARE(q.value(6).toString(), "Kept city");
    QVERIFY(q.exec("SELECT sFREQ, COMPANY_NAME, NOTES, LOCKOUT FROM BANK02 WHERE CHANNEL = 51"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), "460.1250");
    QCOMPARE(q.value(1).toString(), "Water, \"Dept\"");
    QCOMPARE(q.value(2).toString(), "two\r\nlines");
    QCOMPARE(q.value(3).toInt(), 0);
    QVERIFY(q.exec("SELECT sFREQ, NOTES, LOCKOUT FROM BANK20 WHERE CHANNEL = 1000"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), "162.5500");
    QVERIFY(q.value(1).isNull());
    QVERIFY(q.value(2).isNull());
}

void TestCsvImport::fileOrderFillsBanksFromAChosenChannel()
{
    Db d;
    QByteArray csv = "Location,Frequency,\n";
    for (int i = 0; i < 60; ++i)
        csv += QByteArray::number(i) + ",4" + QByteArray::number(10 + i) + ".0000\n";
    csv += "61,oops\n";
    BankCsv file;
    QVERIFY(file.read(d.write(csv)));
    QString error;
    QVERIFY(file.loadExisting(d.db, &error));

    // Numbered from 0: by Location the first row has nowhere to go.
    QCOMPARE(lines(file.plan(BankCsv::Placement::ByLocation, 1)), (QList<int>{2, 62}));

    const ImportPlan plan = file.plan(BankCsv::Placement::FileOrder, 45);
    QCOMPARE(lines(plan), QList<int>{62});
    QCOMPARE(plan.unknownColumns(), QStringList{"(column 3, without a name)"});
    QVERIFY(!file.plan(BankCsv::Placement::FileOrder, 0).isUsable());
    QCOMPARE(plan.groups().at(0).added, 6);
    QCOMPARE(plan.groups().at(1).added, 50);
    QCOMPARE(plan.groups().at(2).added, 4);
    QVERIFY(plan.apply(d.db, &error));
    QSqlQuery q(d.db.database());
    QVERIFY(q.exec("SELECT CHANNEL, sFREQ FROM BANK03 ORDER BY CHANNEL"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 101);
    QCOMPARE(q.value(1).toString(), "466.0000");

    // Near the end, lines past channel 1000 are refused, not wrapped.
    const ImportPlan tail = file.plan(BankCsv::Placement::FileOrder, 998);
    QCOMPARE(tail.rowCount(), 3);
    QCOMPARE(tail.refused().at(0).line, 5);
    QVERIFY(tail.refused().at(0).reason.contains("after 1000"));
}

void TestCsvImport::nothingIsWrittenOnAnyDatabaseError()
{
    Db d;
    const QString path = d.write("Location,Frequency,Name\n1,154.4150,A\n2,154.4250,B\n51,155.0000,C\n");
    const ImportPlan plan = BankCsv::plan(d.db, path, BankCsv::Placement::ByLocation, 1);
    QCOMPARE(plan.rowCount(), 3);

    // Another program holds the write lock.
    ChannelDatabase other(d.path, QStringLiteral("other program"));
    QString error;
    QVERIFY(other.open(&error));
    QVERIFY(QSqlQuery(other.database()).exec(QStringLiteral("BEGIN IMMEDIATE")));
    QVERIFY(!plan.apply(d.db, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QSqlQuery(other.database()).exec(QStringLiteral("ROLLBACK")));
    QCOMPARE(d.count("BANK01"), 0);

    // A failure half way takes back what was written before it.
    QVERIFY(d.exec("CREATE TRIGGER refuse AFTER INSERT ON BANK02 BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    QVERIFY(!plan.apply(d.db, &error));
    QVERIFY2(error.contains("disk full"), qPrintable(error));
    QCOMPARE(d.count("BANK01"), 0);
    QVERIFY(d.exec("DROP TRIGGER refuse"));
    QVERIFY2(plan.apply(d.db, &error), qPrintable(error));
    QCOMPARE(d.count("BANK01"), 2);

    // A file that cannot be used plans nothing.
    QVERIFY(!BankCsv::plan(d.db, d.dir.filePath("none.csv"), BankCsv::Placement::ByLocation, 1).isUsable());
    const ImportPlan noFrequency = BankCsv::plan(d.db, d.write("Location,Name\n1,A\n"), BankCsv::Placement::ByLocation, 1);
    QVERIFY(noFrequency.error().contains("Frequency"));
    QVERIFY(!noFrequency.apply(d.db, &error));
}

void TestCsvImport::talkgroupsAreAddedAndUpdatedNeverDeleted()
{
    Db d;
    QVERIFY(d.exec("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC, NOTES, DATE, TIME) VALUES "
                   "('100', 'Old town', 'Fire', 'keep', '2026-01-01', '10:00:00'), "
                   "('200', 'Same', 'Same', NULL, '2026-01-02', '11:00:00'), "
                   "('300', 'Untouched', NULL, NULL, NULL, NULL)"));
    const ImportPlan plan = TalkgroupCsv::planBytes(d.db, "SERVICE_DESC,ID,CITY,COUNT\n"
                                                          "Fire,100,New town,5\n"
                                                          "Same,200,Same,1\n"
                                                          "EMS,400,,2\n"
                                                          "x,-12,,\n"
                                                          "x,12a,,\n"
                                                          "x,1234567890123,,\n"
                                                          "EMS again,400,,\n",
                                                    {QStringLiteral("count")});
    QCOMPARE(lines(plan), (QList<int>{5, 6, 7, 8}));
    QVERIFY(plan.unknownColumns().isEmpty());
    QCOMPARE(plan.groups().at(0).added, 1);
    QCOMPARE(plan.groups().at(0).replaced, 1);
    QCOMPARE(plan.groups().at(0).unchanged, 1);
    QString error;
    QVERIFY2(plan.apply(d.db, &error), qPrintable(error));
    QCOMPARE(d.count("TALKGROUPS"), 4);
    QSqlQuery q(d.db.database());
    QVERIFY(q.exec("SELECT ID, CITY, SERVICE_DESC, NOTES, DATE FROM TALKGROUPS ORDER BY ID"));
    QStringList rows;
    while (q.next())
        rows << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                            q.value(4).toString()}
                    .join('|');
    QCOMPARE(rows, (QStringList{"100|New town|Fire|keep|2026-01-01", "200|Same|Same||2026-01-02",
                                "300|Untouched|||", "400||EMS||"}));
    QVERIFY(!TalkgroupCsv::planBytes(d.db, "CITY\nx\n").isUsable());
}

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csvimport.moc"
