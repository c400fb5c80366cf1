// Who has the serial link: the faceplate's session, a transfer that borrowed
// it, or nobody. Nothing of the session touches the port while it is lent.

#include "TransferRig.h"

#include <QTest>

class TestLinkOwner : public QObject
{
    Q_OBJECT
private slots:
    void transferDuringTheSelfTest();
    void shutdownAtAnyPhase();
    void onlyTheLoanOutGivesTheLinkBack();
    void silentSerialScannerIsSaid();
    void lossWhileResuming();
    void portSetupHoldsTheRetries();
};

void TestLinkOwner::transferDuringTheSelfTest()
{
    // The dialog opens during the self-test; the transfer starts at once, or
    // after the self-test would have ended.
    for (const int startAfterMs : {0, 2000}) {
        Rig rig;
        rig.session.setSelfTestPause(100);
        rig.session.load();
        QCOMPARE(rig.session.phase(), ScannerSession::Phase::SelfTest);
        rig.transfer->backup();
        QVERIFY(rig.session.isLent());
        QVERIFY(!rig.port.isOpen());
        QTest::qWait(startAfterMs);
        QVERIFY(rig.engine.commandLog().isEmpty()); // no KEY00, MD or MUA from the session
        QVERIFY(!rig.port.isOpen());
        QVERIFY(rig.run({1}));
        QVERIFY2(rig.messages.last().contains(QLatin1String("SUCCESSFUL")), qPrintable(rig.messages.last()));
        QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
        QVERIFY(rig.port.isOpen());
    }
}

void TestLinkOwner::shutdownAtAnyPhase()
{
    {
        // During the self-test: nothing opens the port again afterwards.
        Rig rig;
        rig.session.setSelfTestPause(50);
        rig.session.load();
        QCOMPARE(rig.session.phase(), ScannerSession::Phase::SelfTest);
        rig.session.shutdown();
        QTest::qWait(1000 + ScannerSession::kRetryMillis);
        QCOMPARE(rig.session.phase(), ScannerSession::Phase::Ended);
        QVERIFY(!rig.port.isOpen());
        QVERIFY(rig.engine.commandLog().isEmpty());
    }
    {
        // While a dialog has the link: its QUIT does not bring the session back.
        Rig rig;
        QVERIFY(rig.start());
        rig.transfer->backup();
        rig.session.shutdown();
        rig.transfer->dialog()->quitButton()->click();
        QTest::qWait(300);
        QCOMPARE(rig.session.phase(), ScannerSession::Phase::Ended);
        QVERIFY(!rig.port.isOpen());
    }
}

void TestLinkOwner::onlyTheLoanOutGivesTheLinkBack()
{
    TempSettings store;
    store->setValue("Config/Com_Port", "2");
    store->setValue("Config/Com_Speed", "9600");
    FakeCommPort port;
    // A driver that reports an error as the port is closed on purpose.
    port.setLossOnClose(true);
    SessionParts parts(&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db")));
    parts.session.setSelfTestPause(1);
    parts.session.load();
    QTRY_COMPARE(parts.session.phase(), ScannerSession::Phase::Polling);

    const LinkLoan loan = parts.session.lendLink();
    QVERIFY(loan.id != 0);
    QCOMPARE(parts.session.lendLink().id, quint64(0)); // lent already
    const int opens = port.openCount();
    parts.session.resume(); // a focus handler, say
    QTest::qWait(ScannerSession::kRetryMillis + 300);
    QCOMPARE(parts.session.phase(), ScannerSession::Phase::Lent);
    QCOMPARE(port.openCount(), opens);
    QVERIFY(!port.isOpen());

    QVERIFY(!parts.session.returnLink(LinkLoan{loan.id + 1, QString()}));
    QVERIFY(parts.session.isLent());
    QVERIFY(parts.session.returnLink(loan));
    QTRY_COMPARE(parts.session.phase(), ScannerSession::Phase::Polling);
    QVERIFY(!parts.session.returnLink(loan)); // once only
    QCOMPARE(parts.session.phase(), ScannerSession::Phase::Polling);
    parts.session.shutdown();
}

void TestLinkOwner::silentSerialScannerIsSaid()
{
    TempSettings store;
    store->setValue("Config/Com_Port", "2");
    store->setValue("Config/Com_Speed", "9600");
    FakeCommPort port;
    SessionParts parts(&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db")));
    parts.session.setSelfTestPause(1);
    parts.session.load();
    QTRY_COMPARE(parts.session.phase(), ScannerSession::Phase::Polling);
    // Nothing comes back: said on the status line, polling goes on.
    QTRY_COMPARE_WITH_TIMEOUT(parts.display.statusLine(), ScannerSession::noReplyMessage(), PollLoop::kQuietMillis + 2000);
    QCOMPARE(parts.session.phase(), ScannerSession::Phase::Polling);
    port.clearWritten();
    QTRY_VERIFY(!port.commands().isEmpty());
    // The first reply puts it back.
    port.inject("MD01\r");
    QTRY_COMPARE(parts.display.statusLine(), QStringLiteral("COMM PORT #2 OPENED at 9600,N,8,1"));
    parts.session.shutdown();
}

void TestLinkOwner::lossWhileResuming()
{
    // The device fails a write of the resume's own typing: the resume ends
    // there and the session waits for the device.
    for (const int writes : {0, 2}) {
        TempSettings store;
        store->setValue("Config/Com_Port", "2");
        store->setValue("Config/Com_Speed", "9600");
        FakeCommPort port;
        SessionParts parts(&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db")));
        parts.session.setSelfTestPause(1);
        parts.session.load();
        QTRY_COMPARE(parts.session.phase(), ScannerSession::Phase::Polling);
        port.inject("MD01\r");
        QTRY_COMPARE(parts.session.state().mode, ScannerMode::Manual);
        parts.session.suspend();
        port.failWriteAfter(writes);
        parts.session.resumeWithChannel(QStringLiteral("123"));
        QTRY_COMPARE(parts.session.phase(), ScannerSession::Phase::Waiting);
        QTest::qWait(300); // the typing's pauses would have run out
        QCOMPARE(parts.session.phase(), ScannerSession::Phase::Waiting);
        QVERIFY(!port.isOpen());
        parts.session.shutdown();
    }
}

void TestLinkOwner::portSetupHoldsTheRetries()
{
    // The device will not open, so the session retries it; while the user
    // answers the Port Setup question (the event loop running meanwhile),
    // the old device is not tried.
    TempSettings store;
    store->setValue("Config/Com_Port", "2");
    store->setValue("Config/Com_Speed", "9600");
    FakeCommPort port;
    port.failOpenWith(QStringLiteral("No such device"));
    SessionParts parts(&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db")));
    parts.session.setSelfTestPause(1);
    parts.session.load();
    QTRY_COMPARE(parts.session.phase(), ScannerSession::Phase::Waiting);
    int opensWhileAsked = -1;
    parts.session.setPrompt([&](const QString &, const QString &, const QString &) -> std::optional<QString> {
        const int before = port.openCount();
        port.failOpenWith(QString()); // the old device is back meanwhile
        QTest::qWait(ScannerSession::kRetryMillis + 300);
        opensWhileAsked = port.openCount() - before;
        return QStringLiteral("3");
    });
    parts.session.askComPort();
    QCOMPARE(opensWhileAsked, 0);
    QCOMPARE(parts.session.phase(), ScannerSession::Phase::Polling);
    QCOMPARE(parts.display.statusLine(), QStringLiteral("COMM PORT #3 OPENED at 9600,N,8,1"));
    parts.session.shutdown();
}

QTEST_MAIN(TestLinkOwner)
#include "tst_linkowner.moc"
