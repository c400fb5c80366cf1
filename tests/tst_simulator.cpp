// The simulated scanner: reply shapes, front-panel keys, faults, line timing
// and the pseudo-terminal it runs on.

#include "SessionRig.h"
#include "SimCommPort.h"
#include "link/ReplyBuffer.h"
#include "link/SerialCommPort.h"
#include "scanner/CallTracker.h"
#include "scanner/DemoTour.h"
#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A clock the test moves by hand.
struct ManualClock
{
    qint64 now = 0;
    std::function<qint64()> fn()
    {
        return [this] { return now; };
    }
};

QString one(ScannerEngine &engine, const QString &command)
{
    const QStringList replies = engine.handle(command);
    return replies.isEmpty() ? QString() : replies.last();
}

void keys(ScannerEngine &engine, const QStringList &commands)
{
    for (const QString &c : commands)
        QCOMPARE(one(engine, c), QStringLiteral("OK"));
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT
private slots:
    void replyShapes();
    void keysSelectAndStore();
    void modesAndTalkgroups();
    void squelchFollowsSchedule();
    void faults();
    void planFiles();
    void linkPacingAndSplits();
    void runsOnPseudoTerminal();
    void demoTourShowsChannelsAndTalkgroups();
};

void TestSimulator::replyShapes()
{
    ScannerEngine engine;
    engine.setChannel(53, {1544150, true, true, false, true});
    engine.setMode(ScannerEngine::Manual);
    engine.setCurrentChannel(53);
    const QString c = one(engine, QStringLiteral("MA"));
    QCOMPARE(c.mid(0, 1), QStringLiteral("C"));
    QCOMPARE(c.mid(1, 3), QStringLiteral("053"));
    QCOMPARE(c.mid(6, 8), QStringLiteral("01544150"));
    QCOMPARE(c.at(16), QLatin1Char('N')); // trunked, position 17
    QCOMPARE(c.at(19), QLatin1Char('N')); // delay, 20
    QCOMPARE(c.at(22), QLatin1Char('F')); // lockout, 23
    QCOMPARE(c.at(28), QLatin1Char('N')); // priority, 29

    engine.setChannel(1000, {12960000, false, false, true, false});
    QCOMPARE(one(engine, QStringLiteral("MA1000")).left(14), QStringLiteral("C000 F12960000"));
    QCOMPARE(engine.mode(), int(ScannerEngine::Manual));
    QCOMPARE(one(engine, QStringLiteral("MD")), QStringLiteral("MD01"));
    QCOMPARE(one(engine, QStringLiteral("MA001")).left(4), QStringLiteral("C001"));
    QCOMPARE(one(engine, QStringLiteral("MA0")), QStringLiteral("NG"));
    QCOMPARE(one(engine, QStringLiteral("XYZ")), QStringLiteral("NG"));
    QCOMPARE(one(engine, QStringLiteral("KEY02")), QStringLiteral("NG"));
    for (const QString &m : {QStringLiteral("MUA"), QStringLiteral("MUN"), QStringLiteral("MUF")})
        QCOMPARE(one(engine, m), QStringLiteral("OK"));

    // Several commands in one write, one reply each, in order.
    const QStringList replies = engine.receive(QByteArray("MD\rSQ\rRM\r"));
    QCOMPARE(replies.size(), 3);
    QVERIFY(replies[0].startsWith(QLatin1String("MD")));
    QVERIFY(replies[1] == QLatin1String("+") || replies[1] == QLatin1String("-"));
    QVERIFY(replies[2].startsWith(QLatin1String("RM ")));
    // A command split over writes is answered once complete.
    QVERIFY(engine.receive(QByteArray("M")).isEmpty());
    QCOMPARE(engine.receive(QByteArray("D\r")).size(), 1);
}

void TestSimulator::keysSelectAndStore()
{
    ScannerEngine engine;
    // Digits then MAN select a channel in manual mode.
    keys(engine, {QStringLiteral("KEY02 1"), QStringLiteral("KEY02 2"), QStringLiteral("KEY02 0"),
                  QStringLiteral("KEY01")});
    QCOMPARE(engine.mode(), int(ScannerEngine::Manual));
    QCOMPARE(engine.currentChannel(), 120);
    // MAN alone in manual mode steps up one channel; 1000 wraps to 1.
    keys(engine, {QStringLiteral("KEY01")});
    QCOMPARE(engine.currentChannel(), 121);
    engine.setCurrentChannel(1000);
    keys(engine, {QStringLiteral("KEY01")});
    QCOMPARE(engine.currentChannel(), 1);
    // A channel number out of range is refused.
    keys(engine, {QStringLiteral("KEY02 2"), QStringLiteral("KEY02 0"), QStringLiteral("KEY02 0"),
                  QStringLiteral("KEY02 1")});
    QCOMPARE(one(engine, QStringLiteral("KEY01")), QStringLiteral("NG"));

    // MA with a number, then the frequency typed in and E: stored.
    QVERIFY(one(engine, QStringLiteral("MA053")).startsWith(QLatin1String("C053")));
    keys(engine, {QStringLiteral("KEY02 1"), QStringLiteral("KEY02 5"), QStringLiteral("KEY02 4"),
                  QStringLiteral("KEY03"), QStringLiteral("KEY02 4"), QStringLiteral("KEY02 1"),
                  QStringLiteral("KEY02 5"), QStringLiteral("KEY02 0"), QStringLiteral("KEY04")});
    QCOMPARE(engine.channel(53).freq, 1544150);
    QCOMPARE(ScannerEngine::frequencyText(engine.channel(53).freq), QStringLiteral("154.4150"));
    // A frequency out of the scanner's range is refused and nothing changes.
    keys(engine, {QStringLiteral("KEY02 1"), QStringLiteral("KEY02 3"), QStringLiteral("KEY02 5"),
                  QStringLiteral("KEY02 0"), QStringLiteral("KEY02 1")});
    QCOMPARE(one(engine, QStringLiteral("KEY04")), QStringLiteral("NG"));
    QCOMPARE(engine.channel(53).freq, 1544150);

    // Clear memory.
    QCOMPARE(one(engine, QStringLiteral("AC")), QStringLiteral("OK"));
    for (int n = 1; n <= ScannerEngine::kChannels; ++n)
        QVERIFY(engine.channel(n).isEmpty());
    QVERIFY(one(engine, QStringLiteral("MA")).mid(6, 8) == QLatin1String("00000000"));
}

void TestSimulator::modesAndTalkgroups()
{
    ManualClock clock;
    ScannerEngine engine;
    engine.setClock(clock.fn());
    engine.setTalkgroups({{'C', QStringLiteral("00123")}, {0, QString()}, {'L', QStringLiteral("12345")}}, 1000);

    keys(engine, {QStringLiteral("KEY09")});
    QCOMPARE(one(engine, QStringLiteral("MD")), QStringLiteral("MD02"));
    keys(engine, {QStringLiteral("KEY13")});
    QCOMPARE(one(engine, QStringLiteral("MD")), QStringLiteral("MD09"));
    // The talkgroup display starts off, and is switched on by IDN.
    QCOMPARE(one(engine, QStringLiteral("ID")), QStringLiteral("IDF"));
    keys(engine, {QStringLiteral("IDN")});
    QCOMPARE(one(engine, QStringLiteral("ID")), QStringLiteral("ID C 00123"));
    clock.now = 1000;
    QCOMPARE(one(engine, QStringLiteral("ID")).at(3), QLatin1Char('E'));
    clock.now = 2500;
    QCOMPARE(one(engine, QStringLiteral("ID")), QStringLiteral("ID L 12345"));
    QCOMPARE(one(engine, QStringLiteral("RM")), QStringLiteral("RM NFM"));
    keys(engine, {QStringLiteral("KEY13")});
    QCOMPARE(one(engine, QStringLiteral("MD")), QStringLiteral("MD11"));
    keys(engine, {QStringLiteral("KEY00")});
    QCOMPARE(one(engine, QStringLiteral("MD")), QStringLiteral("MD00"));
}

void TestSimulator::squelchFollowsSchedule()
{
    ManualClock clock;
    ScannerEngine engine;
    engine.setClock(clock.fn());
    engine.setSquelchTiming(200, 100); // closed for 100 ms, then open for 200
    engine.setMode(ScannerEngine::Scan);
    clock.now = 50;
    QCOMPARE(one(engine, QStringLiteral("SQ")), QStringLiteral("-"));
    clock.now = 150;
    QCOMPARE(one(engine, QStringLiteral("SQ")), QStringLiteral("+"));
    const int first = engine.currentChannel();
    // The next opening lands on the next active channel.
    clock.now = 450;
    QCOMPARE(one(engine, QStringLiteral("SQ")), QStringLiteral("+"));
    const int second = engine.currentChannel();
    QVERIFY(second != first);
    QVERIFY(!engine.channel(second).isEmpty());
    QVERIFY(!engine.channel(second).lockout);

    // In manual mode the scanner stays put; an empty channel never opens.
    engine.setMode(ScannerEngine::Manual);
    engine.setCurrentChannel(7); // empty in the built-in plan
    QVERIFY(engine.channel(7).isEmpty());
    clock.now = 750;
    QCOMPARE(one(engine, QStringLiteral("SQ")), QStringLiteral("-"));
    QCOMPARE(engine.currentChannel(), 7);

    engine.setCurrentChannel(8);
    engine.forceSquelch(1);
    QCOMPARE(one(engine, QStringLiteral("SQ")), QStringLiteral("+"));
    engine.forceSquelch(0);
    QCOMPARE(one(engine, QStringLiteral("SQ")), QStringLiteral("-"));
}

void TestSimulator::faults()
{
    ScannerEngine engine;
    engine.setGarbageEvery(2);
    QCOMPARE(engine.handle(QStringLiteral("MD")).size(), 1);
    const QStringList second = engine.handle(QStringLiteral("MD"));
    QCOMPARE(second.size(), 2);
    QVERIFY(!second.first().isEmpty());
    QVERIFY(!second.first().contains(QLatin1Char('\r')));
    QVERIFY(second.last().startsWith(QLatin1String("MD")));

    ScannerEngine quiet;
    quiet.setSilentAfter(2);
    QCOMPARE(quiet.handle(QStringLiteral("MD")).size(), 1);
    QCOMPARE(quiet.handle(QStringLiteral("MD")).size(), 1);
    QVERIFY(quiet.handle(QStringLiteral("MD")).isEmpty());
    QCOMPARE(quiet.commandLog().size(), 3);

    // Bytes that never make a command are forgotten, not kept for ever.
    ScannerEngine flooded;
    QVERIFY(flooded.receive(QByteArray(10000, 'x')).isEmpty());
    QCOMPARE(flooded.receive(QByteArray("\rMD\r")).last(), QStringLiteral("MD00"));
}

void TestSimulator::planFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.txt"));
    ScannerEngine engine;
    engine.setChannel(1000, {12960000, true, false, true, true});
    engine.setChannel(2, {});
    QString error;
    QVERIFY2(engine.savePlan(path, &error), qPrintable(error));

    ScannerEngine copy;
    copy.handle(QStringLiteral("AC"));
    QVERIFY2(copy.loadPlan(path, &error), qPrintable(error));
    for (int n = 1; n <= ScannerEngine::kChannels; ++n)
        QVERIFY2(copy.channel(n) == engine.channel(n), qPrintable(QString::number(n)));

    QFile bad(dir.filePath(QStringLiteral("bad.txt")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("# comment\n5 154.4150 D\n1001 154.0\n");
    bad.close();
    QVERIFY(!copy.loadPlan(bad.fileName(), &error));
    QVERIFY(error.contains(QLatin1String(":3:")));
    QCOMPARE(copy.channel(5), engine.channel(5)); // a failed load changes nothing
}

void TestSimulator::linkPacingAndSplits()
{
    ScannerEngine engine;
    SimLink link(&engine);
    link.setOptions({9600, 20, true});
    QList<QByteArray> chunks;
    connect(&link, &SimLink::transmit, this, [&chunks](const QByteArray &b) { chunks.append(b); });

    QElapsedTimer timer;
    timer.start();
    link.receive(QByteArray("MD\r"));
    QTRY_COMPARE(chunks.size(), 2);
    // Three bytes in and five out at 960 bytes/s, plus the 20 ms latency.
    QVERIFY(timer.elapsed() >= 20 + 3 + 5 - 1);
    QCOMPARE(chunks.join(), QByteArray("MD00\r"));
    QCOMPARE(link.bytesReceived(), 3);
    QCOMPARE(link.bytesSent(), 5);
}

void TestSimulator::runsOnPseudoTerminal()
{
    QTemporaryDir dir;
    ScannerEngine engine;
    SimLink link(&engine);
    PtyHost host(&link);
    QString error;
    const QString linkPath = dir.filePath(QStringLiteral("vks"));
    QVERIFY2(host.open(linkPath, &error), qPrintable(error));
    QVERIFY(QFileInfo(linkPath).isSymLink());

    SerialCommPort port;
    port.setDeviceResolver([&linkPath](int) { return linkPath; });
    port.setSettings(QStringLiteral("19200,N,8,1"));
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    ReplyBuffer buffer;
    connect(&port, &CommPort::received, this, [&] { buffer.append(port.input()); });
    port.send(QStringLiteral("MD"));
    port.send(QStringLiteral("KEY13"));
    QString line;
    QTRY_VERIFY(buffer.pending().count(QLatin1Char('\r')) >= 2);
    QVERIFY(buffer.takeLine(&line));
    QCOMPARE(line, QStringLiteral("MD00"));
    QVERIFY(buffer.takeLine(&line));
    QCOMPARE(line, QStringLiteral("OK"));
    QCOMPARE(engine.commandLog(), QStringList({QStringLiteral("MD"), QStringLiteral("KEY13")}));

    // The program closes and reopens its side; the terminal keeps working.
    port.close();
    QVERIFY(port.open());
    port.send(QStringLiteral("MD"));
    QTRY_VERIFY(buffer.pending().contains(QLatin1String("MD09\r")));

    host.close();
    QVERIFY(!QFileInfo::exists(linkPath));
}

QTEST_GUILESS_MAIN(TestSimulator)
// The demo's tour through the program's poll loop: conventional calls, then
// talkgroups coming and going, then conventional calls again, each mode
// change learnt from the key's acknowledgement and the mode reply alone.
void TestSimulator::demoTourShowsChannelsAndTalkgroups()
{
    TempSettings store;
    store->setValue("Config/Com_Port", "1");
    store->setValue("Config/Com_Speed", "9600");
    SimCommPort port;
    port.engine().setSquelchTiming(150, 100);
    port.engine().setTalkgroups({{'C', QStringLiteral("00123")}, {0, {}}, {'L', QStringLiteral("04711")}, {0, {}}}, 300);
    SessionParts parts(&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db")));
    parts.log.setFlushDelay(5);
    ScriptedPrompt none;
    parts.session.setPrompt(none.fn());
    CallTracker calls(&parts.session);
    QStringList kinds; // of the calls in turn, a run of one kind once
    connect(&calls, &CallTracker::callStarted, this, [&kinds](const CallInfo &call) {
        const QString kind = call.talkgroup.isEmpty() ? QStringLiteral("CH") : QStringLiteral("TG");
        if (kinds.isEmpty() || kinds.last() != kind)
            kinds << kind;
    });
    QVERIFY(port.open());
    parts.session.startPolling();
    DemoTour tour(&parts.session, &parts.keypad, 700, 1500);
    tour.start();
    QTRY_VERIFY_WITH_TIMEOUT(kinds.join(QLatin1Char(' ')).contains(QLatin1String("CH TG CH")), 15000);
    QTRY_VERIFY(parts.log.rowsWritten() >= 2); // both talkgroups are in the activity log
    // Every key of the tour was followed by the loop asking for the mode.
    const QStringList log = port.engine().commandLog();
    int keys = 0;
    for (qsizetype i = 0; i < log.size(); ++i) {
        if (log[i] != QLatin1String("KEY13") && log[i] != QLatin1String("KEY00"))
            continue;
        ++keys;
        const qsizetype asked = log.indexOf(QStringLiteral("MD"), i);
        QVERIFY2(asked > i && asked <= i + 3, qPrintable(log.mid(i, 5).join(QLatin1Char(','))));
    }
    QVERIFY(keys >= 2);

    // A mode the user chose is left alone.
    parts.keypad.press(QStringLiteral("btnMAN"));
    QTRY_COMPARE(parts.session.state().mode, ScannerMode::Manual);
    const int pressed = tour.keysPressed();
    QTest::qWait(2000);
    QCOMPARE(tour.keysPressed(), pressed);
    QCOMPARE(parts.session.state().mode, ScannerMode::Manual);
    parts.session.shutdown();
}

#include "tst_simulator.moc"
