// A device that goes away: noticed once, the session waits quietly and
// resumes when it comes back; a transfer under way ends with word of where.

#include "SessionRig.h"
#include "SimOnPty.h"
#include "link/SerialCommPort.h"
#include "scanner/PollLoop.h"
#include "transfer/BankBackup.h"
#include "transfer/BankRestore.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A session on the real serial control, pointed at the simulator's path.
struct PtySession
{
    SimOnPty sim;
    TempSettings store;
    SerialCommPort port;
    SessionParts parts{&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db"))};
    ScannerSession &session = parts.session;

    PtySession()
    {
        store->setValue("Config/Com_Port", "1");
        store->setValue("Config/Com_Speed", "19200");
        store->setValue("Config/Com_Device_1", sim.path);
        session.setSelfTestPause(1);
    }
};

QString bankRows(ChannelDatabase &db, int bank)
{
    QSqlQuery q(db.database());
    q.exec(QStringLiteral("SELECT CHANNEL, sFREQ, NOTES FROM %1 ORDER BY rowid").arg(ChannelDatabase::bankTableName(bank)));
    QStringList rows;
    while (q.next())
        rows << QStringLiteral("%1|%2|%3").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
    return rows.join(QLatin1Char(';'));
}

// The port on its own, set up for the simulator's path.
void pointAt(SerialCommPort &port, const SimOnPty &sim)
{
    port.setCommPort(1);
    port.setSettings(QStringLiteral("19200,N,8,1"));
    port.setDeviceResolver([path = sim.path](int) { return path; });
}

} // namespace

class TestLinkLoss : public QObject
{
    Q_OBJECT
private slots:
    void lostDeviceIsRetriedQuietly();
    void lossEndsABackup();
    void lossEndsARestore();
    void pollingReadsOnTheTurn();
    void switchingToPolledKeepsWhatArrived();
    void hungUpTerminalIsNoticedWithoutWriting();
    void deviceThatTakesNothingIsLost();
};

void TestLinkLoss::pollingReadsOnTheTurn()
{
    PtySession t;
    t.sim.engine.forceSquelch(0);
    QVERIFY(t.sim.up());
    t.port.setCommPort(1);
    t.port.setSettings(QStringLiteral("19200,N,8,1"));
    QVERIFY(t.port.open());
    QVERIFY(t.port.isPolled()); // the session reads its port itself
    QSignalSpy received(&t.port, &CommPort::received);
    t.session.startPolling();
    PollLoop *loop = t.session.pollLoop();
    loop->stop(); // turned by hand

    // The run's start sent "MD" and "MUA"; both answers arrive between turns
    // without waking anyone, and are taken one per turn.
    QTest::qWait(200);
    QCOMPARE(received.size(), 0);
    loop->turn();
    QCOMPARE(loop->reply(), QStringLiteral("MD00"));
    loop->turn();
    QVERIFY2(loop->reply().startsWith(QLatin1Char('O')), qPrintable(loop->reply()));
    QCOMPARE(received.size(), 0);
    // The acknowledgement made the turn ask "MD": its answer, arriving
    // between turns, is handled on the next one.
    QCOMPARE(loop->lastQuery(), QStringLiteral("MD"));
    QTest::qWait(100);
    loop->turn();
    QCOMPARE(loop->reply(), QStringLiteral("MD00"));
    QCOMPARE(received.size(), 0);
    t.session.shutdown();
}

void TestLinkLoss::switchingToPolledKeepsWhatArrived()
{
    SimOnPty sim;
    QVERIFY(sim.up());
    SerialCommPort port;
    pointAt(port, sim);
    QVERIFY(port.open());
    QSignalSpy received(&port, &CommPort::received);

    // An answer the port took in on its own before it was polled comes out
    // of the first poll, ahead of what arrives after.
    port.send(QStringLiteral("MD"));
    QVERIFY(received.wait(2000));
    port.setPolled(true);
    port.send(QStringLiteral("MD"));
    QTest::qWait(100);
    const int signalled = received.size();
    QByteArray in;
    for (int i = 0; i < 2; ++i) {
        port.poll();
        in += port.input();
    }
    QCOMPARE(in, QByteArray("MD00\rMD00\r"));
    // Nothing waiting: a poll hands out nothing and the port stays open.
    port.poll();
    QVERIFY(port.input().isEmpty());
    QVERIFY(port.isOpen());
    QCOMPARE(received.size(), signalled);
}

void TestLinkLoss::hungUpTerminalIsNoticedWithoutWriting()
{
    SimOnPty sim;
    QVERIFY(sim.up());
    SerialCommPort port;
    pointAt(port, sim);
    port.setPolled(true);
    QVERIFY(port.open());
    QSignalSpy lost(&port, &CommPort::lost);

    // A pulled USB adapter hangs its terminal up: reads then come back empty
    // rather than failing. Nothing is written here, as on a turn with no query.
    const int fd = ::open(QFile::encodeName(sim.path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    const bool hungUp = ::ioctl(fd, TIOCVHANGUP) == 0;
    ::close(fd);
    if (!hungUp)
        QSKIP("hanging a terminal up needs CAP_SYS_ADMIN");
    for (int i = 0; i < 2 * SerialCommPort::kHangUpCheckEvery && lost.isEmpty(); ++i) {
        port.poll();
        QVERIFY(port.input().isEmpty());
    }
    QCOMPARE(lost.size(), 1);
    QVERIFY(!port.isOpen());
}

void TestLinkLoss::lostDeviceIsRetriedQuietly()
{
    PtySession t;
    QVERIFY(t.sim.up());
    t.session.load();
    QTRY_COMPARE(t.session.phase(), ScannerSession::Phase::Polling);
    QTRY_COMPARE(t.parts.display.text(DisplayModel::FREQ), QStringLiteral(" SCAN  "));

    WarningCounter warnings;
    QSignalSpy lost(&t.port, &CommPort::lost);
    t.sim.down();
    QTRY_COMPARE(t.session.phase(), ScannerSession::Phase::Waiting);
    QVERIFY(!t.port.isOpen());
    QVERIFY(!t.session.pollLoop());
    const QString status = t.parts.display.statusLine();
    QVERIFY2(status.startsWith(QLatin1String("COMM PORT #1 LOST: ")) && status.endsWith(QLatin1String(" - retrying")),
             qPrintable(status));

    // Gone for a while, over a retry: one loss, one warning, nothing polled.
    QTest::qWait(ScannerSession::kRetryMillis + 500);
    QCOMPARE(lost.size(), 1);
    QCOMPARE(warnings.count(), 1);
    QCOMPARE(t.parts.display.statusLine(), status);
    QCOMPARE(t.session.phase(), ScannerSession::Phase::Waiting);

    // Back on the same path: resumed within a retry, polling afresh.
    t.sim.engine.clearCommandLog();
    QVERIFY(t.sim.up());
    QTRY_COMPARE_WITH_TIMEOUT(t.session.phase(), ScannerSession::Phase::Polling, 3000);
    QCOMPARE(t.parts.display.statusLine(), QStringLiteral("COMM PORT #1 OPENED at 19200,N,8,1again..."));
    QTRY_VERIFY(t.sim.engine.commandLog().contains(QStringLiteral("MUA")));
    t.parts.display.setText(DisplayModel::FREQ, QString());
    QTRY_COMPARE(t.parts.display.text(DisplayModel::FREQ), QStringLiteral(" SCAN  "));
    t.session.shutdown();
}

void TestLinkLoss::lossEndsABackup()
{
    SimOnPty sim;
    QVERIFY(sim.up());
    QTemporaryDir dir;
    ChannelDatabase db(dir.filePath(QStringLiteral("Orvendal.db")), QStringLiteral("loss-backup"));
    QString error;
    QVERIFY(db.open(&error));
    QVERIFY(QSqlQuery(db.database()).exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, sFREQ, NOTES) VALUES (51, '1.0000', 'mine')")));
    const QString before = bankRows(db, 2);

    SerialCommPort port;
    port.setDeviceResolver([&sim](int) { return sim.path; });
    LinkSettings link;
    link.comPort = 1;
    link.comSpeed = QStringLiteral("19200");
    BankBackup backup(&port, &db, link, {1, 2});
    // The cable is pulled in the middle of bank 2.
    connect(&backup, &BankTransfer::progress, this, [&sim](int, int channel) {
        if (channel == 60)
            sim.down();
    });
    QSignalSpy finished(&backup, &BankTransfer::finished);
    backup.start();
    QVERIFY(finished.wait(20000));
    const BankTransfer::Result r = backup.result();
    QCOMPARE(r.outcome, BankTransfer::Outcome::Failed);
    QVERIFY2(r.reason.contains(QLatin1String("lost at bank 2, channel 6")), qPrintable(r.reason));
    QCOMPARE(r.banksDone, QList<int>({1}));
    QCOMPARE(r.bankInProgress, 2);
    QCOMPARE(bankRows(db, 2), before); // the bank under way is as it was
    QVERIFY(!port.isOpen());
}

void TestLinkLoss::lossEndsARestore()
{
    SimOnPty sim;
    QVERIFY(sim.up());
    QTemporaryDir dir;
    ChannelDatabase db(dir.filePath(QStringLiteral("Orvendal.db")), QStringLiteral("loss-restore"));
    QString error;
    QVERIFY(db.open(&error));
    QSqlQuery q(db.database());
    for (int c = 1; c <= 50; ++c)
        QVERIFY(q.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, sFREQ) VALUES (%1, '154.%2')").arg(c).arg(c, 4, 10, QLatin1Char('0'))));

    SerialCommPort port;
    port.setDeviceResolver([&sim](int) { return sim.path; });
    LinkSettings link;
    link.comPort = 1;
    link.comSpeed = QStringLiteral("19200");
    BankRestore restore(&port, &db, link, {1});
    connect(&restore, &BankTransfer::progress, this, [&sim](int, int channel) {
        if (channel == 4)
            sim.down();
    });
    QSignalSpy finished(&restore, &BankTransfer::finished);
    restore.start();
    QVERIFY(finished.wait(20000));
    const BankTransfer::Result r = restore.result();
    QCOMPARE(r.outcome, BankTransfer::Outcome::Failed);
    QVERIFY2(r.reason.contains(QLatin1String("lost at bank 1, channel 4")), qPrintable(r.reason));
    QVERIFY(r.banksDone.isEmpty());
    QCOMPARE(r.bankInProgress, 1);
    QCOMPARE(r.lastChannel, 3);
    // Nothing goes on after the end.
    const int done = restore.channelsDone();
    QTest::qWait(500);
    QCOMPARE(restore.channelsDone(), done);
}

void TestLinkLoss::deviceThatTakesNothingIsLost()
{
    // A terminal whose other side never reads: what waits to be written is
    // bounded, and past the bound the device counts as lost.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString slave = QString::fromLocal8Bit(::ptsname(master));
    SerialCommPort port;
    port.setDeviceResolver([slave](int) { return slave; });
    port.setSettings(QStringLiteral("19200,N,8,1"));
    QVERIFY(port.open());
    QSignalSpy lost(&port, &CommPort::lost);
    const QByteArray block(1024, 'x');
    for (int i = 0; i < 1024 && lost.isEmpty(); ++i)
        port.write(block);
    QCOMPARE(lost.size(), 1);
    QVERIFY2(lost.first().first().toString().contains(QLatin1String("takes nothing")), qPrintable(lost.first().first().toString()));
    QVERIFY(!port.isOpen());
    ::close(master);
}

QTEST_GUILESS_MAIN(TestLinkLoss)
#include "tst_linkloss.moc"
