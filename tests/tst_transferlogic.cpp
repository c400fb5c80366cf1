// What the transfers decide without a window: the memory wipe and the
// message a backup or restore ends with.

#include "FakeCommPort.h"
#include "data/ChannelDatabase.h"
#include "transfer/BankBackup.h"
#include "transfer/MemoryWipe.h"
#include "transfer/TransferReport.h"

#include <QTemporaryDir>
#include <QTest>

class TestTransferLogic : public QObject
{
    Q_OBJECT
private slots:
    void wipe();
    void completionMessages();
    void backupAsksOneChannelAtATime();
};

void TestTransferLogic::backupAsksOneChannelAtATime()
{
    QTemporaryDir dir;
    ChannelDatabase db(dir.filePath(QStringLiteral("Orvendal.db")), QStringLiteral("in-flight"));
    LinkSettings link;
    link.comPort = 1;
    link.comSpeed = QStringLiteral("19200");
    for (bool overlap : {false, true}) {
        FakeCommPort port;
        BankBackup backup(&port, &db, link, {1});
        backup.setOverlap(overlap);
        backup.start();
        // Until the scanner answers: channel 1 asked for, and with overlapping
        // channel 2 as well.
        QStringList expected = {"KEY01", "KEY02 1", "KEY01", "MA"};
        if (overlap)
            expected << QStringList{"KEY02 2", "KEY01", "MA"};
        QCOMPARE(port.commands(), expected);
        port.clearWritten();
        port.inject("OK\rC001 F01544150 TF DF LF AF PF\r");
        // Channel 1 answered: the next one is asked for (one at a time, or
        // the one after next).
        QCOMPARE(port.commands(), QStringList({overlap ? "KEY02 3" : "KEY02 2", "KEY01", "MA"}));
        backup.cancel();
    }
}

void TestTransferLogic::wipe()
{
    FakeCommPort port;
    port.open();
    QStringList titles, texts;
    QList<MessageKind> kinds;
    bool answer = false;
    const MessageFn ask = [&](MessageKind kind, const QString &title, const QString &text) {
        kinds << kind;
        titles << title;
        texts << text;
        return answer;
    };
    // Cancel (or a closed box) sends nothing.
    QVERIFY(!MemoryWipe::run(&port, ask));
    QCOMPARE(titles.last(), QStringLiteral("WIPE OUT SCANNER MEMORY?"));
    QCOMPARE(texts.last(),
             QStringLiteral("Are you ABSOLUTELY SURE\r\nthat you want to restore the scanner to\r\nFACTORY DEFAULTS?"));
    QVERIFY(port.written().isEmpty());
    QCOMPARE(kinds.last(), MessageKind::OkCancel);

    answer = true;
    QVERIFY(MemoryWipe::run(&port, ask));
    QCOMPARE(port.commands(), QStringList({QStringLiteral("AC")}));

    // With the port closed: asked, but nothing sent and nothing more shown.
    port.close();
    port.clearWritten();
    QVERIFY(!MemoryWipe::run(&port, ask));
    QVERIFY(port.written().isEmpty());
    QCOMPARE(texts.size(), 3);
}

void TestTransferLogic::completionMessages()
{
    using enum TransferDirection;
    BankTransfer::Result r;
    r.outcome = BankTransfer::Outcome::Completed;
    QCOMPARE(TransferReport::message(Restore, r),
             QStringLiteral("Scanner Memory Restore SUCCESSFUL!\r\nPress ENTER or click OK to continue"));
    r.skipped = 2;
    QCOMPARE(TransferReport::message(Restore, r),
             QStringLiteral("Scanner Memory Restore SUCCESSFUL!\r\n2 channel(s) had no frequency that could be typed in "
                            "and were skipped.\r\nPress ENTER or click OK to continue"));

    // A backup names the rows it kept besides one per channel, done or not.
    r = {};
    r.outcome = BankTransfer::Outcome::Completed;
    r.otherRows = 3;
    QCOMPARE(TransferReport::message(Backup, r),
             QStringLiteral("Scanner memory backup SUCCESSFUL!\r\n3 other row(s) in the saved banks (a second row for a "
                            "channel, a row without a channel or with a channel outside its bank) were kept as they "
                            "were; the bank editor shows them.\r\nPress ENTER or click OK to continue"));
    r.outcome = BankTransfer::Outcome::Cancelled;
    QVERIFY(TransferReport::message(Backup, r).contains(QLatin1String("3 other row(s)")));

    // A restore whose channels do not all read back is no success: the
    // first ten are listed, then a count; so on a cancel too.
    r = {};
    r.outcome = BankTransfer::Outcome::Completed;
    for (int n = 101; n <= 113; ++n)
        r.unverified << QStringLiteral("channel %1: the scanner answered \"NG\"").arg(n);
    QStringList lines = TransferReport::message(Restore, r).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.at(0), QStringLiteral("Scanner memory restore finished with errors."));
    QCOMPARE(lines.at(1), QStringLiteral("13 channel(s) did not take their frequency:"));
    QCOMPARE(lines.at(2), r.unverified.first());
    QCOMPARE(lines.at(11), r.unverified.at(9));
    QCOMPARE(lines.at(12), QStringLiteral("... and 3 more."));
    QVERIFY(!lines.join(QString()).contains(QLatin1String("SUCCESSFUL")));
    r.outcome = BankTransfer::Outcome::Cancelled;
    QVERIFY(TransferReport::message(Restore, r).contains(QLatin1String("13 channel(s) did not take")));

    r = {};
    r.outcome = BankTransfer::Outcome::Cancelled;
    r.banksDone = {1, 2};
    r.bankInProgress = 4;
    r.lastChannel = 163;
    const QString restore = TransferReport::message(Restore, r);
    QVERIFY(restore.startsWith(QLatin1String("Scanner memory restore was cancelled.")));
    QVERIFY(restore.contains(QLatin1String("Banks restored: 1, 2.")));
    QVERIFY(restore.contains(QLatin1String("Bank 4 was restored up to channel 163.")));
    QVERIFY(!restore.contains(QLatin1String("SUCCESSFUL")));

    r = {};
    r.outcome = BankTransfer::Outcome::Failed;
    r.reason = QStringLiteral("the channel database could not be opened: disk I/O error");
    const QString backup = TransferReport::message(Backup, r);
    QVERIFY(backup.startsWith(QLatin1String("Scanner memory backup FAILED: the channel database could not be opened")));
    QVERIFY(backup.contains(QLatin1String("No bank was saved.")));
    QVERIFY(!backup.contains(QLatin1String("PC Control")));
}

QTEST_GUILESS_MAIN(TestTransferLogic)
#include "tst_transferlogic.moc"
