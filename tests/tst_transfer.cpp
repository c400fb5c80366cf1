// Backup, restore and wipe against the simulated scanner on a pseudo-terminal,
// with the hand-over of the serial link between the faceplate and the dialogs.

#include "TransferRig.h"
#include "ui/AuxDisplayWindow.h"
#include "ui/ProgressWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <QElapsedTimer>
#include <QTimer>


class TestTransfer : public QObject
{
    Q_OBJECT
private slots:
    void dialogsHandOverTheLink();
    void quitResumesManualChannel();
    void backupCopiesScannerMemory();
    void backupKeepsUserColumns();
    void silentScannerKeepsOldRows();
    void cancelStopsAfterChannel();
    void pulledCableDuringBackup();
    void portThatWillNotOpen();
    void databaseThatRefusesWrites();
    void lockedDatabaseIsWaitedFor();
};

void TestTransfer::dialogsHandOverTheLink()
{
    Rig rig;
    QVERIFY(rig.start());
    rig.window.showAuxDisplay();
    rig.transfer->backup();
    BankSelectionDialog *dialog = rig.transfer->dialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->objectName(), QStringLiteral("BankBackup"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Back Up Scanner Memory to PC"));
    QCOMPARE(dialog->startButton()->text(), QStringLiteral("BACKUP NOW"));
    QCOMPARE(dialog->quitButton()->text(), QStringLiteral("QUIT"));
    QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("Text21"))->text(), QStringLiteral("Select BANKS to backup to your PC"));
    QVERIFY(!rig.window.isVisible());
    QVERIFY(!rig.window.auxWindow()->isVisible());
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!rig.session.pollLoop());

    // Nothing is polled while the dialog has the link (once what was on
    // the line when it was handed over has arrived).
    QTest::qWait(50);
    const qsizetype before = rig.engine.commandLog().size();
    QTest::qWait(200);
    QCOMPARE(rig.engine.commandLog().size(), before);

    QVERIFY(dialog->selectedBanks().isEmpty());
    dialog->check(1)->setChecked(true);
    dialog->check(3)->setChecked(true);
    dialog->findChild<QPushButton *>(QStringLiteral("btnINVERT"))->click();
    QList<int> expected = {2};
    for (int b = 4; b <= 20; ++b)
        expected << b;
    QCOMPARE(dialog->selectedBanks(), expected);
    dialog->findChild<QPushButton *>(QStringLiteral("btnCheckAll"))->click();
    QCOMPARE(dialog->selectedBanks().size(), 20);
    dialog->findChild<QPushButton *>(QStringLiteral("btnUncheckAll"))->click();
    QVERIFY(dialog->selectedBanks().isEmpty());

    // A second menu command while the dialog is up changes nothing.
    rig.transfer->restore();
    QCOMPARE(rig.transfer->dialog(), dialog);

    dialog->quitButton()->click();
    QVERIFY(!dialog->isVisible());
    QVERIFY(rig.window.isVisible());
    QVERIFY(rig.port.isOpen());
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QVERIFY(rig.parts.display.statusLine().endsWith(QLatin1String("19200,N,8,1again...")));

    rig.transfer->restore();
    QCOMPARE(rig.transfer->dialog()->objectName(), QStringLiteral("BankRestore"));
    QCOMPARE(rig.transfer->dialog()->windowTitle(), QStringLiteral("Restore PC Database to Scanner"));
    QCOMPARE(rig.transfer->dialog()->startButton()->text(), QStringLiteral("RESTORE NOW"));
    rig.transfer->dialog()->close(); // the close box is QUIT
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
}

void TestTransfer::quitResumesManualChannel()
{
    Rig rig;
    rig.engine.setMode(ScannerEngine::Manual);
    rig.engine.setCurrentChannel(120);
    rig.engine.forceSquelch(1);
    QVERIFY(rig.start());
    QTRY_COMPARE(rig.parts.display.text(DisplayModel::CHAN), QStringLiteral("120"));
    QCOMPARE(rig.session.state().mode, ScannerMode::Manual);

    rig.transfer->backup();
    QCOMPARE(rig.session.state().savedChannel, QStringLiteral("120"));
    rig.engine.setCurrentChannel(5); // someone turned the knob meanwhile
    const qsizetype from = rig.engine.commandLog().size();
    rig.transfer->dialog()->quitButton()->click();
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QTRY_VERIFY(rig.commandsFrom(from).size() >= 7);
    QCOMPARE(rig.commandsFrom(from).mid(0, 7),
             QStringList({"KEY01", "KEY02 1", "KEY02 2", "KEY02 0", "KEY01", "MD", "MUA"}));
    QCOMPARE(rig.engine.currentChannel(), 120);
}

void TestTransfer::backupCopiesScannerMemory()
{
    Rig rig;
    rig.engine.setChannel(53, {1544150, true, true, false, true});
    rig.engine.setChannel(7, {});
    QVERIFY(rig.start());
    QVERIFY(rig.db.database().transaction());
    QSqlQuery(rig.db.database()).exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, sFREQ) VALUES (99, 'mine')"));
    QVERIFY(rig.db.database().commit());

    rig.transfer->backup();
    QTest::qWait(50);
    const qsizetype from = rig.engine.commandLog().size();
    QVERIFY(rig.run({1, 3, 20}));
    QCOMPARE(rig.messages.last(), QStringLiteral("Scanner memory backup SUCCESSFUL!\r\nPress ENTER or click OK to continue"));

    // Each ticked bank equals the scanner's memory, one row per channel.
    for (int bank : {1, 3, 20}) {
        const QString table = ChannelDatabase::bankTableName(bank);
        QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM %1").arg(table)), 50);
        QCOMPARE(rig.count(QStringLiteral("SELECT count(DISTINCT CHANNEL) FROM %1").arg(table)), 50);
        QSqlQuery q(rig.db.database());
        QVERIFY(q.exec(QStringLiteral("SELECT CHANNEL, sFREQ, FREQUENCY, TRUNKED, DELAY, LOCKOUT, PRIORITY FROM %1").arg(table)));
        while (q.next()) {
            const int n = q.value(0).toInt();
            QCOMPARE(ChannelDatabase::bankOfChannel(n), bank);
            const SimChannel &c = rig.engine.channel(n);
            if (c.isEmpty()) {
                QCOMPARE(q.value(1).toString(), QStringLiteral("000.000"));
                QCOMPARE(q.value(2).toDouble(), 0.0);
                QCOMPARE(q.value(5).toInt(), 1);
                QCOMPARE(q.value(6).toInt(), 0); // an empty channel is no priority channel
                continue;
            }
            QCOMPARE(q.value(1).toString(), ScannerEngine::frequencyText(c.freq));
            QCOMPARE(q.value(2).toDouble(), ScannerEngine::frequencyText(c.freq).toDouble());
            QCOMPARE(q.value(3).toBool(), c.trunked);
            QCOMPARE(q.value(4).toBool(), c.delay);
            QCOMPARE(q.value(5).toBool(), c.lockout);
            QCOMPARE(q.value(6).toBool(), c.priority);
        }
    }
    // The unticked bank is untouched.
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK02")), 1);
    QCOMPARE(rig.value(QStringLiteral("SELECT sFREQ FROM BANK02")), QStringLiteral("mine"));

    // Channel 1000 is selected on the keys, then read.
    const QStringList commands = rig.commandsFrom(from);
    const qsizetype at = commands.indexOf(QStringLiteral("KEY02 1"), commands.lastIndexOf(QStringLiteral("MA")) - 5);
    QCOMPARE(commands.mid(at, 6), QStringList({"KEY02 1", "KEY02 0", "KEY02 0", "KEY02 0", "KEY01", "MA"}));
    QCOMPARE(commands.first(), QStringLiteral("KEY01"));

    // The faceplate has its port back and polls.
    QVERIFY(rig.window.isVisible());
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QVERIFY(rig.port.isOpen());
}

void TestTransfer::backupKeepsUserColumns()
{
    Rig rig;
    QVERIFY(rig.start());
    QSqlQuery q(rig.db.database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, sFREQ, COMPANY_NAME, NOTES, CITY) "
                                  "VALUES (8, '1.0', 'Water Dept', 'pump station', 'Springfield')")));
    // Rows besides the first of each channel, each with the user's data.
    QVERIFY(q.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, sFREQ, FREQUENCY, CALLSIGN, COMPANY_NAME, NOTES) VALUES "
                                  "(8, '460.1250', 460.125, 'KA1', 'second row', 'n1'), "
                                  "(NULL, '1.5', 1.5, 'KB2', 'no channel', 'n2'), "
                                  "(777, NULL, NULL, 'KC3', 'not of this bank', x'00ff'), "
                                  "('12', '155.0000', 155, 'KD4', 'text channel', 'n4')")));
    // Everything of those rows, types included.
    const QString snapshot = QStringLiteral(
        "SELECT group_concat(quote(rowid) || quote(CHANNEL) || quote(FREQUENCY) || quote(sFREQ) || quote(TRUNKED) "
        "|| quote(CALLSIGN) || quote(COMPANY_NAME) || quote(NOTES), '|') FROM BANK01 WHERE rowid BETWEEN 2 AND 4");
    const QString before = rig.value(snapshot);
    q.finish();
    rig.transfer->backup();
    QVERIFY(rig.run({1}));
    const QString message = rig.messages.last();
    QVERIFY(message.startsWith(QLatin1String("Scanner memory backup SUCCESSFUL!")));
    QVERIFY2(message.contains(QLatin1String("3 other row(s)")) && message.contains(QLatin1String("bank editor shows them")),
             qPrintable(message));
    QCOMPARE(rig.value(snapshot), before);
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK01")), 53);
    QCOMPARE(rig.count(QStringLiteral("SELECT count(DISTINCT CHANNEL) FROM BANK01")), 51);
    // The first row of channel 8 (and the text-typed 12) got the scanner's
    // values and kept the user's.
    QCOMPARE(rig.value(QStringLiteral("SELECT COMPANY_NAME FROM BANK01 WHERE rowid = 1")), QStringLiteral("Water Dept"));
    QCOMPARE(rig.value(QStringLiteral("SELECT NOTES FROM BANK01 WHERE rowid = 1")), QStringLiteral("pump station"));
    QCOMPARE(rig.value(QStringLiteral("SELECT CITY FROM BANK01 WHERE rowid = 1")), QStringLiteral("Springfield"));
    QCOMPARE(rig.value(QStringLiteral("SELECT sFREQ FROM BANK01 WHERE rowid = 1")),
             ScannerEngine::frequencyText(rig.engine.channel(8).freq));
    QCOMPARE(rig.value(QStringLiteral("SELECT sFREQ FROM BANK01 WHERE rowid = 5")),
             ScannerEngine::frequencyText(rig.engine.channel(12).freq));
    QCOMPARE(rig.value(QStringLiteral("SELECT COMPANY_NAME FROM BANK01 WHERE rowid = 5")), QStringLiteral("text channel"));
}

void TestTransfer::silentScannerKeepsOldRows()
{
    Rig rig;
    QVERIFY(rig.start());
    QSqlQuery q(rig.db.database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, sFREQ, COMPANY_NAME) VALUES (60, '155.0000', 'Ambulance')")));
    q.finish();
    rig.transfer->backup();
    QTest::qWait(50);
    // Bank 1 takes 192 commands (KEY01 first); the scanner falls silent ten
    // channels into bank 2.
    rig.engine.setSilentAfter(int(rig.engine.commandLog().size()) + 192 + 40);
    QVERIFY(rig.run({1, 2}, 15000));
    const QString message = rig.messages.last();
    QVERIFY2(message.contains(QLatin1String("FAILED: channel 61 got no answer from the scanner")), qPrintable(message));
    QVERIFY(message.contains(QLatin1String("PC Control mode")));
    QVERIFY(message.contains(QLatin1String("Banks saved to the database: 1.")));
    QVERIFY(message.contains(QLatin1String("Bank 2 was left in the database as it was.")));
    QVERIFY(!message.contains(QLatin1String("SUCCESSFUL")));
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK01")), 50);
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK02")), 1);
    QCOMPARE(rig.value(QStringLiteral("SELECT COMPANY_NAME FROM BANK02")), QStringLiteral("Ambulance"));

    // The faceplate has its port back; once the scanner talks again, it polls.
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QVERIFY(rig.port.isOpen());
    rig.engine.setSilentAfter(-1);
    const qsizetype from = rig.engine.commandLog().size();
    QTRY_VERIFY(rig.commandsFrom(from).contains(QStringLiteral("SQ")));
}

void TestTransfer::pulledCableDuringBackup()
{
    Rig rig;
    QVERIFY(rig.start());
    rig.transfer->backup();
    QSignalSpy back(rig.transfer, &MemoryTransfer::handedBack);
    BankSelectionDialog *dialog = rig.transfer->dialog();
    dialog->clearAll();
    dialog->check(1)->setChecked(true);
    dialog->startButton()->click();
    connect(rig.transfer->transfer(), &BankTransfer::progress, this, [&rig](int, int channel) {
        if (channel == 20)
            rig.host.close();
    });
    QVERIFY(back.wait(20000));
    const QString message = rig.messages.last();
    QVERIFY2(message.contains(QLatin1String("lost at bank 1, channel 2")), qPrintable(message));
    QVERIFY(message.contains(QLatin1String("Bank 1 was left in the database as it was.")));
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK01")), 0);

    // The faceplate is back, waiting for its device, and recovers with it.
    QVERIFY(rig.window.isVisible());
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Waiting);
    QVERIFY(rig.parts.display.statusLine().contains(QLatin1String("retrying")));
    QString error;
    QVERIFY(rig.host.open(rig.store.dir.filePath(QStringLiteral("vks")), &error));
    QTRY_COMPARE_WITH_TIMEOUT(rig.session.phase(), ScannerSession::Phase::Polling, 3000 + ScannerSession::kRetryMillis);
    QVERIFY(rig.parts.display.statusLine().endsWith(QLatin1String("again...")));
}

void TestTransfer::cancelStopsAfterChannel()
{
    Rig rig;
    rig.link.setOptions({19200, 0, false});
    QVERIFY(rig.start());
    QSqlQuery(rig.db.database()).exec(QStringLiteral("INSERT INTO BANK03 (CHANNEL, sFREQ) VALUES (101, 'old')"));
    rig.transfer->backup();
    BankSelectionDialog *dialog = rig.transfer->dialog();
    dialog->check(1)->setChecked(true);
    dialog->check(3)->setChecked(true);
    QSignalSpy back(rig.transfer, &MemoryTransfer::handedBack);
    QSignalSpy ended(rig.transfer, &MemoryTransfer::transferEnded);
    dialog->startButton()->click();
    ProgressWindow *progress = rig.transfer->progressWindow();
    QVERIFY(progress && progress->isVisible());
    QCOMPARE(progress->objectName(), QStringLiteral("Backup1"));
    QVERIFY(!dialog->quitButton()->isEnabled());
    // Once bank 3 is under way, cancel.
    QTRY_VERIFY_WITH_TIMEOUT(progress->bankField()->text() == QLatin1String("3")
                                 && progress->channelField()->text().toInt() >= 105,
                             20000);
    QCOMPARE(progress->progressBar()->maximum(), 100);
    progress->cancelButton()->click();
    QVERIFY(back.wait(5000));
    const auto result = ended.first().first().value<BankTransfer::Result>();
    QCOMPARE(result.outcome, BankTransfer::Outcome::Cancelled);
    QVERIFY(rig.messages.last().contains(QLatin1String("was cancelled")));
    QVERIFY(rig.messages.last().contains(QLatin1String("Banks saved to the database: 1.")));
    QVERIFY(rig.messages.last().contains(QLatin1String("Bank 3 was left")));
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK01")), 50);
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK03")), 1);
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
}

void TestTransfer::portThatWillNotOpen()
{
    Rig rig;
    QVERIFY(rig.start());
    rig.transfer->setPortFactory([] {
        auto port = std::make_unique<FakeCommPort>();
        port->failOpenWith(QStringLiteral("Permission denied"));
        return std::unique_ptr<CommPort>(std::move(port));
    });
    for (bool backup : {true, false}) {
        backup ? rig.transfer->backup() : rig.transfer->restore();
        QVERIFY(rig.run({1}));
        QVERIFY2(rig.messages.last().contains(QLatin1String("COMM PORT #1 could not be opened: Permission denied")),
                 qPrintable(rig.messages.last()));
        QVERIFY(!rig.messages.last().contains(QLatin1String("SUCCESSFUL")));
        QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
        QVERIFY(rig.port.isOpen());
    }
}

void TestTransfer::databaseThatRefusesWrites()
{
    Rig rig;
    QVERIFY(rig.start());
    QSqlQuery q(rig.db.database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, sFREQ) VALUES (1, 'old')")));
    QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON BANK01 BEGIN "
                                  "SELECT RAISE(ABORT, 'attempt to write a readonly database'); END")));
    q.finish();
    rig.transfer->backup();
    QVERIFY(rig.run({1}));
    QVERIFY2(rig.messages.last().contains(QLatin1String("bank 1 could not be written to the database")),
             qPrintable(rig.messages.last()));
    QVERIFY(!rig.messages.last().contains(QLatin1String("SUCCESSFUL")));
    QCOMPARE(rig.value(QStringLiteral("SELECT sFREQ FROM BANK01")), QStringLiteral("old"));
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK01")), 1);
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
}

void TestTransfer::lockedDatabaseIsWaitedFor()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.db.database().transaction());
    QSqlQuery(rig.db.database()).exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, sFREQ) VALUES (1, 'old')"));
    QVERIFY(rig.db.database().commit());
    ChannelDatabase other(rig.dbPath, QStringLiteral("other program"));
    QString error;
    QVERIFY(other.open(&error));
    QSqlQuery lock(other.database());

    // Another program holds the write lock for 3 s from the start of the
    // backup: the backup waits for it and completes.
    rig.transfer->backup();
    QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
    QElapsedTimer held;
    held.start();
    QTimer::singleShot(3000, [&] { QVERIFY(lock.exec(QStringLiteral("ROLLBACK"))); });
    QVERIFY(rig.run({1}));
    QVERIFY(held.elapsed() >= 2500); // it waited for the lock (the timer may fire a little early)
    QVERIFY2(rig.messages.last().startsWith(QLatin1String("Scanner memory backup SUCCESSFUL!")), qPrintable(rig.messages.last()));
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK01")), 50);
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);

    // A lock that outlasts the wait (shortened here from its 10 s): the backup
    // fails with a message and the bank is as it was.
    const QString before = rig.value(QStringLiteral("SELECT group_concat(CHANNEL || sFREQ) FROM BANK01"));
    rig.transfer->setDatabaseWaitMillis(1000);
    rig.transfer->backup();
    QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
    QVERIFY(rig.run({1}));
    QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
    QVERIFY2(rig.messages.last().contains(QLatin1String("bank 1 could not be written to the database: database is locked")),
             qPrintable(rig.messages.last()));
    QVERIFY(!rig.messages.last().contains(QLatin1String("SUCCESSFUL")));
    QCOMPARE(rig.value(QStringLiteral("SELECT group_concat(CHANNEL || sFREQ) FROM BANK01")), before);
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
}

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
