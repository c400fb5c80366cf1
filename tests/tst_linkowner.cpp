// Who has the serial link: the faceplate's session, a transfer that borrowed
// it, or nobody. Nothing of the session touches the port while it is lent.

#include "TransferRig.h"

#include <QTest>

namespace {

// A session on a fake port set up as COM2 at 9600 bit/s, self-test shortened.
struct FakeSession
{
    TempSettings store;
    FakeCommPort port;
    SessionParts parts{&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db"))};
    ScannerSession &session = parts.session;

    FakeSession()
    {
        store->setValue("Config/Com_Port", "2");
        store->setValue("Config/Com_Speed", "9600");
        session.setSelfTestPause(1);
    }
    bool loadAndPoll()
    {
        session.load();
        return QTest::qWaitFor([this] { return session.phase() == ScannerSession::Phase::Polling; }, 5000);
    }
};

} // namespace

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
    FakeSession t;
    // A driver that reports an error as the port is closed on purpose.
    t.port.setLossOnClose(true);
    QVERIFY(t.loadAndPoll());

    const LinkLoan loan = t.session.lendLink();
    QVERIFY(loan.id != 0);
    QCOMPARE(t.session.lendLink().id, quint64(0)); // lent already
    const int opens = t.port.openCount();
    t.session.resume(); // a focus handler, say
    QTest::qWait(ScannerSession::kRetryMillis + 300);
    QCOMPARE(t.session.phase(), ScannerSession::Phase::Lent);
    QCOMPARE(t.port.openCount(), opens);
    QVERIFY(!t.port.isOpen());

    QVERIFY(!t.session.returnLink(LinkLoan{loan.id + 1, QString()}));
    QVERIFY(t.session.isLent());
    QVERIFY(t.session.returnLink(loan));
    QTRY_COMPARE(t.session.phase(), ScannerSession::Phase::Polling);
    QVERIFY(!t.session.returnLink(loan)); // once only
    QCOMPARE(t.session.phase(), ScannerSession::Phase::Polling);
    t.session.shutdown();
}

void TestLinkOwner::silentSerialScannerIsSaid()
{
    FakeSession t;
    QVERIFY(t.loadAndPoll());
    // Nothing comes back: said on the status line, polling goes on.
    QTRY_COMPARE_WITH_TIMEOUT(t.parts.display.statusLine(), ScannerSession::noReplyMessage(), PollLoop::kQuietMillis + 2000);
    QCOMPARE(t.session.phase(), ScannerSession::Phase::Polling);
    t.port.clearWritten();
    QTRY_VERIFY(!t.port.commands().isEmpty());
    // The first reply puts it back.
    t.port.inject("MD01\r");
    QTRY_COMPARE(t.parts.display.statusLine(), QStringLiteral("COMM PORT #2 OPENED at 9600,N,8,1"));
    t.session.shutdown();
}

void TestLinkOwner::lossWhileResuming()
{
    // The device fails a write of the resume's own typing: the resume ends
    // there and the session waits for the device.
    for (const int writes : {0, 2}) {
        FakeSession t;
        QVERIFY(t.loadAndPoll());
        t.port.inject("MD01\r");
        QTRY_COMPARE(t.session.state().mode, ScannerMode::Manual);
        t.session.suspend();
        t.port.failWriteAfter(writes);
        t.session.resumeWithChannel(QStringLiteral("123"));
        QTRY_COMPARE(t.session.phase(), ScannerSession::Phase::Waiting);
        QTest::qWait(300); // the typing's pauses would have run out
        QCOMPARE(t.session.phase(), ScannerSession::Phase::Waiting);
        QVERIFY(!t.port.isOpen());
        t.session.shutdown();
    }
}

void TestLinkOwner::portSetupHoldsTheRetries()
{
    // The device will not open, so the session retries it; while the user
    // answers the Port Setup question (the event loop running meanwhile),
    // the old device is not tried.
    FakeSession t;
    t.port.failOpenWith(QStringLiteral("No such device"));
    t.session.load();
    QTRY_COMPARE(t.session.phase(), ScannerSession::Phase::Waiting);
    int opensWhileAsked = -1;
    t.session.setPrompt([&](const QString &, const QString &, const QString &) -> std::optional<QString> {
        const int before = t.port.openCount();
        t.port.failOpenWith(QString()); // the old device is back meanwhile
        QTest::qWait(ScannerSession::kRetryMillis + 300);
        opensWhileAsked = t.port.openCount() - before;
        return QStringLiteral("3");
    });
    t.session.askComPort();
    QCOMPARE(opensWhileAsked, 0);
    QCOMPARE(t.session.phase(), ScannerSession::Phase::Polling);
    QCOMPARE(t.parts.display.statusLine(), QStringLiteral("COMM PORT #3 OPENED at 9600,N,8,1"));
    t.session.shutdown();
}

QTEST_MAIN(TestLinkOwner)
#include "tst_linkowner.moc"
