// The Database menu's CSV entries on the faceplate: the files asked for, the
// import summary and what its answer writes.

#include "WindowRig.h"
#include "data/ChannelDatabase.h"
#include "ui/CsvCommands.h"
#include "ui/ImportSummaryDialog.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>

namespace {

struct CsvRig : WindowRig
{
    QStringList messages;
    QString chosenFile;
    QStringList captions;
    std::function<bool(ImportSummaryDialog &)> summary;
    ChannelDatabase db{databasePath(), QStringLiteral("csv-check")};

    CsvRig()
    {
        window.setMessage([this](MessageKind kind, const QString &, const QString &text) {
            messages << QStringLiteral("%1 %2").arg(kind == MessageKind::Warning ? "warning" : "info", text);
            return true;
        });
        window.csvCommands()->setFileDialog([this](CsvCommands::FileMode, const QString &caption, const QString &) {
            captions << caption;
            return chosenFile;
        });
        window.csvCommands()->setSummary([this](ImportSummaryDialog &d) { return summary(d); });
        QString error;
        db.open(&error);
    }
    void trigger(const char *name) { window.findChild<QAction *>(QLatin1String(name))->trigger(); }
    int rows(const QString &table)
    {
        QSqlQuery q(db.database());
        q.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table));
        return q.next() ? q.value(0).toInt() : -1;
    }
    QString file(const QByteArray &bytes)
    {
        const QString path = store.dir.filePath(QStringLiteral("in.csv"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
};

QStringList texts(QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

} // namespace

class TestCsvCommands : public QObject
{
    Q_OBJECT
private slots:
    void importIsShownThenCancelledOrWritten();
    void lockedDatabaseWritesNothing();
    void exportsAndTalkgroups();
};

void TestCsvCommands::importIsShownThenCancelledOrWritten()
{
    CsvRig rig;
    rig.chosenFile = rig.file("Location,Frequency,Name,Colour\n"
                              "0,154.4150,Zero,red\n"
                              "1,abc,Bad,blue\n"
                              "2,155.0000,Two,\n");
    bool seen = false;
    bool byLocation = false;
    QStringList refused;
    QString ignored;
    QStringList banks;
    QStringList banksInFileOrder;
    int refusedInFileOrder = -1;
    auto bankNames = [](QTableWidget *t) {
        QStringList names;
        for (int row = 0; row < t->rowCount(); ++row)
            names << t->item(row, 0)->text();
        return names;
    };
    rig.summary = [&](ImportSummaryDialog &d) {
        seen = true;
        byLocation = d.byLocationButton()->isChecked();
        refused = texts(d.refusedLines());
        ignored = d.ignoredColumns()->text();
        banks = bankNames(d.counts());
        // In file order from channel 50 the rows spread over two banks.
        d.fileOrderButton()->setChecked(true);
        d.firstChannelBox()->setValue(50);
        banksInFileOrder = bankNames(d.counts());
        refusedInFileOrder = d.refusedLines()->count();
        return false;
    };
    rig.trigger("ImportBanksCsv");
    QVERIFY(seen);
    QVERIFY(byLocation);
    QCOMPARE(refused, (QStringList{"line 2: Location \"0\" is outside 1..1000",
                                   "line 3: Frequency \"abc\" is no frequency the scanner takes "
                                   "(above 0, at most 1300 MHz, at most four decimals)"}));
    QCOMPARE(ignored, QStringLiteral("Columns ignored: Colour"));
    QCOMPARE(banks, QStringList{"Bank 1"});
    QCOMPARE(banksInFileOrder, (QStringList{"Bank 1", "Bank 2"}));
    QCOMPARE(refusedInFileOrder, 1);
    QCOMPARE(rig.captions, QStringList{"Import Banks from CSV"});
    QCOMPARE(rig.rows("BANK01") + rig.rows("BANK02"), 0);
    QVERIFY(rig.messages.isEmpty());

    rig.summary = [&](ImportSummaryDialog &d) {
        d.fileOrderButton()->setChecked(true);
        d.firstChannelBox()->setValue(50);
        return true;
    };
    rig.trigger("ImportBanksCsv");
    QCOMPARE(rig.messages, QStringList{"info 2 channel rows imported."});
    QCOMPARE(rig.rows("BANK01"), 1);
    QCOMPARE(rig.rows("BANK02"), 1);

    // A file without a frequency column is refused before any summary.
    seen = false;
    rig.summary = [&](ImportSummaryDialog &) { return seen = true; };
    rig.chosenFile = rig.file("Location,Name\n1,A\n");
    rig.trigger("ImportBanksCsv");
    QVERIFY(!seen);
    QVERIFY(rig.messages.last().startsWith("warning Nothing can be imported: the file has no Frequency column"));
    // A cancelled file dialog does nothing at all.
    rig.chosenFile.clear();
    rig.trigger("ImportBanksCsv");
    QCOMPARE(rig.messages.size(), 2);
}

void TestCsvCommands::lockedDatabaseWritesNothing()
{
    CsvRig rig;
    rig.chosenFile = rig.file("Location,Frequency\n1,154.4150\n51,155.0000\n");
    rig.summary = [](ImportSummaryDialog &) { return true; };
    ChannelDatabase other(rig.databasePath(), QStringLiteral("other program"));
    QString error;
    QVERIFY(other.open(&error));
    QVERIFY(QSqlQuery(other.database()).exec(QStringLiteral("BEGIN IMMEDIATE")));
    rig.trigger("ImportBanksCsv");
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY2(rig.messages[0].startsWith("warning Nothing was imported:"), qPrintable(rig.messages[0]));
    QVERIFY(QSqlQuery(other.database()).exec(QStringLiteral("ROLLBACK")));
    QCOMPARE(rig.rows("BANK01") + rig.rows("BANK02"), 0);
}

void TestCsvCommands::exportsAndTalkgroups()
{
    CsvRig rig;
    QString error;
    QVERIFY(rig.db.addTalkgroup({"4711", "Town", "Fire", "n"}, QDateTime(QDate(2026, 12, 8), QTime(1, 2, 3)), &error));
    // Heard twice: the export counts it and says when last.
    QVERIFY(QSqlQuery(rig.db.database())
                .exec(QStringLiteral("INSERT INTO TALKGROUP_ACTIVITY (ID, BANK, HEARD) VALUES "
                                     "('4711', 'C', '2026-12-08T01:02:03.000'), ('4711', 'C', '2026-12-08T02:00:00.000')")));
    rig.chosenFile = rig.store.dir.filePath("talkgroups.csv");
    rig.trigger("ExportTalkgroupsCsv");
    QCOMPARE(rig.messages.last().left(17), QStringLiteral("info 1 talkgroups"));
    QFile exported(rig.chosenFile);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll(), QByteArray("ID,CITY,SERVICE_DESC,NOTES,DATE,TIME,COUNT,LAST_HEARD\r\n"
                                            "4711,Town,Fire,n,2026-12-08,01:02:03,2,2026-12-08T02:00:00.000\r\n"));

    rig.chosenFile = rig.file("ID,NOTES\n4711,changed\n815,new\nbad,x\n");
    rig.summary = [](ImportSummaryDialog &d) {
        // Talkgroups have no placement to choose.
        return !d.byLocationButton()->isVisibleTo(&d) && d.refusedLines()->count() == 1;
    };
    rig.trigger("ImportTalkgroupsCsv");
    QCOMPARE(rig.messages.last(), QStringLiteral("info 2 talkgroups added or updated."));
    QCOMPARE(rig.rows("TALKGROUPS"), 2);

    rig.chosenFile = rig.store.dir.filePath("banks.csv");
    rig.trigger("ExportBanksCsv");
    QCOMPARE(rig.messages.last().left(19), QStringLiteral("info 0 channel rows"));
    QVERIFY(QFile::exists(rig.chosenFile));
    // A folder that cannot be written says so.
    rig.chosenFile = rig.store.dir.filePath("no/such/folder/banks.csv");
    rig.trigger("ExportBanksCsv");
    QVERIFY(rig.messages.last().startsWith("warning Nothing was exported:"));
    // The database itself is never written over.
    rig.chosenFile = rig.databasePath();
    rig.trigger("ExportTalkgroupsCsv");
    QVERIFY2(rig.messages.last().contains("channel database in use"), qPrintable(rig.messages.last()));
    QCOMPARE(rig.rows("TALKGROUPS"), 2);
}

QTEST_MAIN(TestCsvCommands)
#include "tst_csvcommands.moc"
