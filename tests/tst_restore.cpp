// Restore against the simulated scanner: what it types, that the grid's
// frequency is what reaches the scanner, and the read-back that confirms it.

#include "TransferRig.h"
#include "data/EditorModels.h"
#include "ui/ScannerBankEditor.h"

#include "ui/ProgressWindow.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

class TestRestore : public QObject
{
    Q_OBJECT
private slots:
    void restoreTypesFrequencies();
    void editedFrequenciesAreRestored();
    void refusedAndIgnoredChannelsAreReported();
    void silenceAndCancelDuringRestore();
    void selectionAnsweredOrNot();
    void backupWhileAnEditorIsOpen();
};

void TestRestore::restoreTypesFrequencies()
{
    Rig rig;
    QVERIFY(rig.start());
    // Bank 2: channel 53 holds 154.4150; 51 is empty; 52 has no row; some rows
    // hold nothing the keys could type.
    QVERIFY(rig.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, sFREQ) VALUES (53, '154.4150'), (51, '000.000'), "
                                    "(54, NULL), (55, ''), (56, '0851.6875'), (57, '154.41500'), (58, 'abc.defg')")));
    // Bank 1 from a backup of the scanner's own memory.
    rig.engine.handle(QStringLiteral("AC"));
    for (int n = 1; n <= 50; n += 3)
        rig.engine.setChannel(n, {1000000 + n * 125 * 10, false, false, false, false});
    rig.transfer->backup();
    QVERIFY(rig.run({1}));
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    const QString bank1 = QStringLiteral("SELECT group_concat(CHANNEL || '=' || sFREQ) FROM (SELECT * FROM BANK01 ORDER BY CHANNEL)");
    const QString before = rig.value(bank1);
    rig.engine.handle(QStringLiteral("AC"));

    rig.transfer->restore();
    QTest::qWait(50);
    const qsizetype from = rig.engine.commandLog().size();
    QVERIFY(rig.run({1, 2}, 30000));
    QVERIFY2(rig.messages.last().startsWith(QLatin1String("Scanner Memory Restore SUCCESSFUL!")), qPrintable(rig.messages.last().replace(QLatin1String("\r\n"), QLatin1String(" / "))));
    QVERIFY2(rig.messages.last().contains(QLatin1String("4 channel(s)")), qPrintable(rig.messages.last()));

    const QStringList commands = rig.commandsFrom(from);
    QCOMPARE(commands.mid(0, 2), QStringList({"KEY01", "MA999"}));
    const qsizetype at = commands.indexOf(QStringLiteral("MA053"));
    QCOMPARE(commands.mid(at, 11), QStringList({"MA053", "KEY02 1", "KEY02 5", "KEY02 4", "KEY03", "KEY02 4", "KEY02 1",
                                                "KEY02 5", "KEY02 0", "KEY04", "MA054"}));
    // Empty, missing and unusable rows: only their MA query.
    for (const char *ma : {"MA051", "MA052", "MA054", "MA055", "MA057", "MA058"}) {
        const qsizetype i = commands.indexOf(QLatin1String(ma));
        QVERIFY2(commands.value(i + 1).startsWith(QLatin1String("MA")), ma);
    }
    QCOMPARE(ScannerEngine::frequencyText(rig.engine.channel(53).freq), QStringLiteral("154.4150"));
    // A frequency stored in another form is typed as the scanner writes it.
    const qsizetype at56 = commands.indexOf(QStringLiteral("MA056"));
    QCOMPARE(commands.mid(at56 + 1, 4), QStringList({"KEY02 8", "KEY02 5", "KEY02 1", "KEY03"}));

    // Bank 1 in the scanner is the database's bank 1 again: a backup now
    // reads back the very same rows.
    rig.transfer->backup();
    QVERIFY(rig.run({1}));
    QCOMPARE(rig.value(bank1), before);
}

void TestRestore::editedFrequenciesAreRestored()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, FREQUENCY, sFREQ) VALUES (3, 154.415, '154.4150')")));
    {
        // In the editor's first view, where sFREQ is hidden: one frequency
        // edited, one row added.
        ScannerBankEditor editor(rig.dbPath, [](MessageKind, const QString &, const QString &) { return true; });
        QVERIFY(editor.load());
        BankTableModel *m = editor.model();
        QVERIFY(m->setData(m->index(0, m->fieldIndex(QStringLiteral("FREQUENCY"))), QStringLiteral("460.125")));
        editor.add();
        const int row = m->rowCount() - 1;
        QVERIFY(m->setData(m->index(row, m->fieldIndex(QStringLiteral("CHANNEL"))), 9));
        QVERIFY(m->setData(m->index(row, m->fieldIndex(QStringLiteral("FREQUENCY"))), QStringLiteral("1296.5")));
        QVERIFY(editor.update());
    }
    rig.transfer->restore();
    QVERIFY(rig.run({1}, 30000));
    QVERIFY2(rig.messages.last().contains(QLatin1String("SUCCESSFUL")), qPrintable(rig.messages.last()));
    QCOMPARE(ScannerEngine::frequencyText(rig.engine.channel(3).freq), QStringLiteral("460.1250"));
    QCOMPARE(ScannerEngine::frequencyText(rig.engine.channel(9).freq), QStringLiteral("1296.5000"));
}

void TestRestore::refusedAndIgnoredChannelsAreReported()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, FREQUENCY, sFREQ) VALUES (51, 151.0, '151.0000'), "
                                    "(53, 153.0, '153.0000'), (57, 157.125, '157.1250'), (60, 160.0, '160.0000')")));
    rig.engine.handle(QStringLiteral("AC"));
    rig.engine.setChannel(57, {1500000, false, false, false, false});
    rig.engine.setRefuseKeysOn(53);   // "NG" to the keys of channel 53
    rig.engine.setIgnoreTypingOn(57); // channel 57's typing acknowledged and dropped
    rig.transfer->restore();
    QTest::qWait(50);
    const qsizetype from = rig.engine.commandLog().size();
    QVERIFY(rig.run({2}, 30000));
    const QString message = rig.messages.last();
    QVERIFY2(!message.contains(QLatin1String("SUCCESSFUL")), qPrintable(message));
    const QStringList lines = message.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.mid(0, 4), QStringList({"Scanner memory restore finished with errors.",
                                           "2 channel(s) did not take their frequency:",
                                           "channel 53: the scanner answered \"NG\"",
                                           "channel 57: the scanner holds 150.0000, the table 157.1250"}));
    QCOMPARE(ScannerEngine::frequencyText(rig.engine.channel(60).freq), QStringLiteral("160.0000"));

    // Each typed channel is read back as a backup reads it: selected on the
    // keys, then "MA".
    const QStringList commands = rig.commandsFrom(from);
    const qsizetype readBack = commands.indexOf(QStringLiteral("KEY02 6"), commands.lastIndexOf(QStringLiteral("KEY04")));
    QCOMPARE(commands.mid(readBack - 4, 4), QStringList({"KEY02 5", "KEY02 7", "KEY01", "MA"}));
    QCOMPARE(commands.mid(readBack, 3), QStringList({"KEY02 6", "KEY02 0", "KEY01"}));
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);

    // Without faults the same restore is SUCCESSFUL, line noise and all.
    rig.engine.setRefuseKeysOn(0);
    rig.engine.setIgnoreTypingOn(0);
    rig.engine.setGarbageEvery(7);
    rig.transfer->restore();
    QVERIFY(rig.run({2}, 30000));
    QVERIFY2(rig.messages.last().startsWith(QLatin1String("Scanner Memory Restore SUCCESSFUL!")),
             qPrintable(rig.messages.last()));
}

void TestRestore::silenceAndCancelDuringRestore()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, FREQUENCY, sFREQ) VALUES (51, 151.0, '151.0000')")));
    // The scanner falls silent once the bank is typed: the read-back waits
    // its 3 s and the restore fails with a message.
    rig.transfer->restore();
    QTest::qWait(50);
    const qsizetype from = rig.engine.commandLog().size();
    // KEY01, MA999; MA051 and its nine keys; MA052 .. MA100.
    rig.engine.setSilentAfter(int(from) + 2 + 10 + 49);
    QElapsedTimer waited;
    waited.start();
    QVERIFY(rig.run({2}, 30000));
    QVERIFY(waited.elapsed() >= 2900);
    QVERIFY2(rig.messages.last().contains(QLatin1String("channel 51 got no answer from the scanner")),
             qPrintable(rig.messages.last()));
    QVERIFY(!rig.messages.last().contains(QLatin1String("SUCCESSFUL")));
    QCOMPARE(rig.commandsFrom(from).mid(61), QStringList({"KEY02 5", "KEY02 1", "KEY01", "MA"}));
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);

    // Cancel stops after the channel under way.
    rig.engine.setSilentAfter(-1);
    QVERIFY(rig.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, FREQUENCY) VALUES (52, 152.0), (53, 153.0), "
                                    "(54, 154.0), (55, 155.0), (56, 156.0), (57, 157.0), (58, 158.0)")));
    rig.transfer->restore();
    BankSelectionDialog *dialog = rig.transfer->dialog();
    dialog->clearAll();
    dialog->check(2)->setChecked(true);
    QSignalSpy back(rig.transfer, &MemoryTransfer::handedBack);
    dialog->startButton()->click();
    QTRY_VERIFY(rig.transfer->transfer() && rig.transfer->transfer()->channelsDone() >= 3);
    rig.transfer->progressWindow()->cancelButton()->click();
    QVERIFY(back.wait(10000));
    QVERIFY2(rig.messages.last().startsWith(QLatin1String("Scanner memory restore was cancelled.")),
             qPrintable(rig.messages.last()));
    QVERIFY(rig.messages.last().contains(QLatin1String("Bank 2 was restored up to channel 5")));
}

void TestRestore::selectionAnsweredOrNot()
{
    // Whether or not the scanner answers the channel's "MAnnn", the restore
    // goes on and the read-back decides; the progress ends at 100 %.
    for (const bool silent : {true, false}) {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.exec(QStringLiteral("INSERT INTO BANK03 (CHANNEL, sFREQ) VALUES (101, '154.4150'), (125, '460.1250'), "
                                        "(130, '851.0125')")));
        rig.engine.setSilentOnMemoryAccess(silent);
        rig.engine.setIgnoreTypingOn(130); // takes the keys, stores nothing
        rig.engine.setRefuseKeysOn(125);   // answers "NG" to them
        int barValue = -1;
        int barMax = -1;
        rig.window.setMessage([&](MessageKind, const QString &, const QString &text) {
            rig.messages << text;
            const QProgressBar *bar = rig.transfer->progressWindow()->findChild<QProgressBar *>();
            barValue = bar->value();
            barMax = bar->maximum();
            return true;
        });
        rig.transfer->restore();
        QVERIFY(rig.run({3}, 30000));
        const QString message = rig.messages.last();
        // Each refusal is charged to its own channel, and only to it.
        QVERIFY2(message.contains(QLatin1String("channel 125: the scanner answered \"NG\"")), qPrintable(message));
        QVERIFY2(message.contains(QLatin1String("channel 130")), qPrintable(message));
        QVERIFY2(!message.contains(QLatin1String("channel 101")), qPrintable(message));
        QCOMPARE(ScannerEngine::frequencyText(rig.engine.channel(101).freq), QStringLiteral("154.4150"));
        QCOMPARE(barMax, 50);
        QCOMPARE(barValue, 50);
    }
}

void TestRestore::backupWhileAnEditorIsOpen()
{
    Rig rig;
    QVERIFY(rig.start());
    int asked = 0;
    rig.window.setPendingEditsQuestion([&](const QString &, const QString &) {
        ++asked;
        return PendingAnswer::Save;
    });
    rig.window.openBankEditor();
    QPointer<ScannerBankEditor> editor = rig.window.bankEditor();
    QVERIFY(editor);
    QCOMPARE(editor->model()->rowCount(), 0);
    // Nothing pending: the editor shows the rows the backup wrote.
    rig.transfer->backup();
    QVERIFY(rig.run({1}));
    QTRY_COMPARE(editor->model()->rowCount(), 50);
    QCOMPARE(asked, 0);
    // An edit pending: asked first; Save writes it beside the backup's values.
    BankTableModel *m = editor->model();
    QVERIFY(m->setData(m->index(4, m->fieldIndex(QStringLiteral("NOTES"))), QStringLiteral("kept")));
    rig.transfer->backup();
    QVERIFY(rig.run({1}));
    QTRY_COMPARE(asked, 1);
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'kept' AND CHANNEL = 5")), 1);
    QVERIFY(!editor->model()->isDirty());
    editor->close();
}

QTEST_MAIN(TestRestore)
#include "tst_restore.moc"
