// The scanner session: the display and its self-test, settings and port at
// start-up, the hand-over of the link (resume) and shutdown.

#include "SessionRig.h"
#include "link/SerialCommPort.h"
#include "scanner/SelfTest.h"
#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

// A session on a fake port with stored settings, self-test shortened.
struct Rig
{
    TempSettings store;
    FakeCommPort port;
    ScriptedPrompt prompt;
    SessionParts parts{&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db"))};
    ScannerSession &session = parts.session;
    DisplayModel &display = parts.display;

    explicit Rig(const QString &comPort = QStringLiteral("2"), const QString &speed = QStringLiteral("9600"))
    {
        if (!comPort.isEmpty())
            store->setValue("Config/Com_Port", comPort);
        if (!speed.isEmpty())
            store->setValue("Config/Com_Speed", speed);
        session.setPrompt(prompt.fn());
        session.setSelfTestPause(10);
    }
    bool loadAndWait()
    {
        session.load();
        return QTest::qWaitFor([this] { return session.phase() == ScannerSession::Phase::Polling; }, 5000);
    }
    // The scanner, while polled, reports a mode.
    bool reports(ScannerMode mode)
    {
        port.inject(QStringLiteral("MD%1\r").arg(int(mode), 2, 10, QLatin1Char('0')).toLatin1());
        return QTest::qWaitFor([this, mode] { return session.state().mode == mode; }, 5000);
    }
};

// Key commands written (the poll loop's queries left out).
QStringList keys(const FakeCommPort &port)
{
    return port.commands().filter(QRegularExpression(QStringLiteral("^KEY")));
}

bool allFieldsEmpty(const DisplayModel &display, DisplayModel::Field except = DisplayModel::FieldCount)
{
    for (int f = 0; f < DisplayModel::FieldCount; ++f) {
        if (f != except && !display.text(DisplayModel::Field(f)).isEmpty())
            return false;
    }
    return true;
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT
private slots:
    void selfTestScreens();
    void loadOpensPortAndRunsSelfTest();
    void firstStartAsksBeforePlacing();
    void portThatWillNotOpen();
    void firstStartCanBeCancelled();
    void settingsThatCannotBeSaved();
    void resumeRestoresMode();
    void resumeReopensPortWithSettings();
    void handBackStartsWithAnEmptyBuffer();
    void portMenus();
    void startsAgainstSimulatorOnPty();
};

void TestSession::selfTestScreens()
{
    const QList<SelfTest::Step> steps = SelfTest::schedule();
    QCOMPARE(steps.size(), 11);
    int total = 0;
    for (const SelfTest::Step &s : steps)
        total += s.millis;
    QCOMPARE(total, 3100);
    QCOMPARE(steps.first().screen, SelfTest::Screen::Blank);
    QCOMPARE(steps.first().millis, 100);
    QCOMPARE(steps.at(1).millis, 500);
    QCOMPARE(steps.last().screen, SelfTest::Screen::Blank);

    DisplayModel display;
    SelfTest::show(&display, SelfTest::Screen::Blank);
    QVERIFY(allFieldsEmpty(display));
    SelfTest::show(&display, SelfTest::Screen::AllSegments);
    QCOMPARE(display.text(DisplayModel::MUTE), QStringLiteral("MUTE ON"));
    QCOMPARE(display.text(DisplayModel::ModMode), QString());
    QCOMPARE(display.text(DisplayModel::SHIFT), QString());
    QCOMPARE(display.text(DisplayModel::ACTIVEBANK), DisplayModel::kEnDashRow);
    QCOMPARE(display.text(DisplayModel::SRCHDN), QStringLiteral("\u2193"));
    SelfTest::show(&display, SelfTest::Screen::Blank);
    SelfTest::show(&display, SelfTest::Screen::Trunk);
    QCOMPARE(display.text(DisplayModel::TRUNKTYPE), QStringLiteral("M  TRUNK"));
    QCOMPARE(display.text(DisplayModel::FREQ), QStringLiteral("     ----- "));
    QCOMPARE(display.text(DisplayModel::SCAN), QString());
    SelfTest::show(&display, SelfTest::Screen::Search);
    QCOMPARE(display.text(DisplayModel::FREQ), QStringLiteral(" 1300.000"));
    SelfTest::show(&display, SelfTest::Screen::Service);
    QCOMPARE(display.text(DisplayModel::ACTIVEBANK), QStringLiteral("_    _        _     _  _"));
    QCOMPARE(display.text(DisplayModel::FREQ), QStringLiteral(" SERVICE"));
}

void TestSession::loadOpensPortAndRunsSelfTest()
{
    Rig rig(QStringLiteral("3"), QStringLiteral("4800"));
    rig.store->setValue("Config/Com_Device_3", "/dev/scanner");
    QSignalSpy polling(&rig.session, &ScannerSession::pollingStarted);
    QByteArray writtenBeforePolling = "-";
    connect(&rig.session, &ScannerSession::pollingStarted, this, [&] { writtenBeforePolling = rig.port.written(); });
    QVERIFY(rig.loadAndWait());
    QVERIFY(rig.prompt.asked.isEmpty());
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.port.openedDevice(), QStringLiteral("/dev/scanner"));
    QCOMPARE(rig.port.appliedSettings(), QStringLiteral("4800,N,8,1"));
    QCOMPARE(rig.display.statusLine(), QStringLiteral("COMM PORT #3 OPENED at 4800,N,8,1"));
    // After the self-test and before any reply, the display is empty but
    // for the mute word the poll loop shows as it starts.
    QVERIFY(allFieldsEmpty(rig.display, DisplayModel::MUTE));
    QCOMPARE(rig.display.text(DisplayModel::MUTE), QStringLiteral("MUTE AUTO"));
    QCOMPARE(polling.size(), 1);
    // Nothing is sent to the scanner before polling starts; then "MD" and "MUA".
    QVERIFY(writtenBeforePolling.isEmpty());
    QCOMPARE(rig.port.commands().mid(0, 2), QStringList({QStringLiteral("MD"), QStringLiteral("MUA")}));
}

void TestSession::firstStartAsksBeforePlacing()
{
    Rig rig{QString(), QString()};
    rig.prompt.answers = {QStringLiteral("1"), QStringLiteral("19200")};
    bool placed = false;
    int promptsBeforePlacing = -1;
    rig.session.setPlaceWindows([&] {
        placed = true;
        promptsBeforePlacing = rig.prompt.asked.size();
    });
    QVERIFY(rig.loadAndWait());
    QVERIFY(placed);
    QCOMPARE(promptsBeforePlacing, 2);
    QCOMPARE(rig.store->value("Config/Com_Port").toString(), QStringLiteral("1"));
    QCOMPARE(rig.store->value("Config/Com_Speed").toString(), QStringLiteral("19200"));
    QCOMPARE(rig.display.statusLine(), QStringLiteral("COMM PORT #1 OPENED at 19200,N,8,1"));
}

void TestSession::portThatWillNotOpen()
{
    Rig rig;
    rig.port.failOpenWith(QStringLiteral("No such file or directory"));
    rig.session.load();
    // No polling on a port that is not open: the session waits for it.
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Waiting);
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!rig.session.pollLoop());
    QCOMPARE(rig.display.statusLine(),
             QStringLiteral("COMM PORT #2 could not be opened: No such file or directory - retrying"));
    QVERIFY(!rig.display.statusLine().contains(QLatin1String("OPENED")));

    // Resume tries again and says so the same way; nothing is written.
    rig.session.resumeWithChannel(QStringLiteral("12"));
    QCOMPARE(rig.session.phase(), ScannerSession::Phase::Waiting);
    QVERIFY(rig.display.statusLine().startsWith(QLatin1String("COMM PORT #2 could not be opened")));
    QVERIFY(rig.port.written().isEmpty());

    // Once the device can be opened, the next try finds it.
    rig.port.failOpenWith(QString());
    QTRY_COMPARE_WITH_TIMEOUT(rig.session.phase(), ScannerSession::Phase::Polling, ScannerSession::kRetryMillis + 2000);
    QCOMPARE(rig.display.statusLine(), QStringLiteral("COMM PORT #2 OPENED at 9600,N,8,1again..."));
}

void TestSession::firstStartCanBeCancelled()
{
    // Cancel at the port question, then (another run) at the speed question.
    for (const QStringList &answers : {QStringList{ScriptedPrompt::kCancel}, QStringList{QStringLiteral("3"), ScriptedPrompt::kCancel}}) {
        Rig rig{QString(), QString()};
        rig.prompt.answers = answers;
        rig.session.load();
        QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Waiting);
        QVERIFY(!rig.port.isOpen());
        QCOMPARE(rig.port.openCount(), 0);
        QCOMPARE(rig.display.statusLine(), LinkSettings::notSetUpMessage());
        QVERIFY(rig.store->allKeys().isEmpty()); // nothing stored
        // Nothing is retried without a port; the keys write nothing.
        QTest::qWait(ScannerSession::kRetryMillis + 200);
        QCOMPARE(rig.port.openCount(), 0);
        rig.parts.keypad.press(QStringLiteral("btnSCAN"));
        QVERIFY(rig.port.written().isEmpty());

        // Port Setup asks again, and then the port is used.
        rig.prompt.answers = {QStringLiteral("2"), QStringLiteral("9600")};
        rig.session.askComPort();
        QVERIFY(rig.port.isOpen());
        QCOMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
        QCOMPARE(rig.store->value("Config/Com_Port").toString(), QStringLiteral("2"));
        QCOMPARE(rig.store->value("Config/Com_Speed").toString(), QStringLiteral("9600"));
    }
}

void TestSession::settingsThatCannotBeSaved()
{
    // A settings file whose folder cannot be made: a file stands in its way.
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("config")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSettings store(dir.filePath(QStringLiteral("config/OVKS4410/OVKS4410.conf")), QSettings::IniFormat);
    FakeCommPort port;
    SessionParts parts(&port, &store, dir.filePath(QStringLiteral("Data/Orvendal.db")));
    ScriptedPrompt prompt{{QStringLiteral("1"), QStringLiteral("19200")}};
    QStringList warnings;
    parts.session.setPrompt(prompt.fn());
    parts.session.setMessage([&warnings](MessageKind, const QString &, const QString &text) {
        warnings << text;
        return true;
    });
    parts.session.setSelfTestPause(1);
    parts.session.load();
    QTRY_COMPARE(parts.session.phase(), ScannerSession::Phase::Polling);
    // Said once, naming the file; the values hold for this run.
    QCOMPARE(warnings.size(), 1);
    QVERIFY(warnings.first().contains(store.fileName()));
    QVERIFY(port.isOpen());
    QCOMPARE(parts.session.link().settingsString(), QStringLiteral("19200,N,8,1"));
    prompt.answers = {QStringLiteral("4800")};
    parts.session.askComSpeed();
    QCOMPARE(warnings.size(), 1);
}

void TestSession::resumeRestoresMode()
{
    Rig rig;
    QVERIFY(rig.loadAndWait());

    QVERIFY(rig.reports(ScannerMode::Manual));
    rig.session.suspend();
    QCOMPARE(rig.session.phase(), ScannerSession::Phase::Suspended);
    rig.port.clearWritten();
    QElapsedTimer timer;
    timer.start();
    rig.session.resumeWithChannel(QStringLiteral("123"));
    QCOMPARE(rig.session.phase(), ScannerSession::Phase::Resuming);
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QVERIFY(timer.elapsed() >= 3 * 50 - 5); // a pause after each digit
    QCOMPARE(keys(rig.port),
             QStringList({QStringLiteral("KEY01"), QStringLiteral("KEY02 1"), QStringLiteral("KEY02 2"),
                          QStringLiteral("KEY02 3"), QStringLiteral("KEY01")}));

    QVERIFY(rig.reports(ScannerMode::Scan));
    rig.port.clearWritten();
    rig.session.resume();
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QCOMPARE(keys(rig.port), QStringList({QStringLiteral("KEY00")}));

    // An empty saved channel in manual mode: MAN twice.
    QVERIFY(rig.reports(ScannerMode::Manual));
    rig.port.clearWritten();
    rig.session.resumeWithChannel(QString());
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QCOMPARE(keys(rig.port), QStringList({QStringLiteral("KEY01"), QStringLiteral("KEY01")}));

    // Other modes are left alone.
    QVERIFY(rig.reports(ScannerMode::TrunkSearch));
    rig.port.clearWritten();
    rig.session.resume();
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QVERIFY(keys(rig.port).isEmpty());

    // Suspending in the middle of a resume stops it: no more keys, no polling.
    QVERIFY(rig.reports(ScannerMode::Manual));
    rig.port.clearWritten();
    rig.session.resumeWithChannel(QStringLiteral("999"));
    rig.session.suspend();
    QTest::qWait(250);
    QCOMPARE(rig.session.phase(), ScannerSession::Phase::Suspended);
    QCOMPARE(keys(rig.port), QStringList({QStringLiteral("KEY01"), QStringLiteral("KEY02 9")}));
}

void TestSession::resumeReopensPortWithSettings()
{
    Rig rig;
    QVERIFY(rig.loadAndWait());
    rig.session.suspend();
    rig.port.close();
    rig.prompt.answers = {QStringLiteral("2400")};
    rig.session.askComSpeed(); // takes effect at the next resume
    QCOMPARE(rig.port.appliedSettings(), QStringLiteral("9600,N,8,1"));
    rig.session.resume();
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.port.appliedSettings(), QStringLiteral("2400,N,8,1"));
    QCOMPARE(rig.display.statusLine(), QStringLiteral("COMM PORT #2 OPENED at 2400,N,8,1again..."));
    QVERIFY(rig.display.statusLine().endsWith(QLatin1String("1again...")));
}

void TestSession::handBackStartsWithAnEmptyBuffer()
{
    Rig rig;
    QVERIFY(rig.loadAndWait());
    QVERIFY(rig.reports(ScannerMode::Manual));
    // Half a channel reply is on hand when a transfer takes the link.
    rig.port.inject("C053 F0154");
    QTRY_COMPARE(rig.session.pollLoop()->buffer().pending(), QStringLiteral("C053 F0154"));
    const LinkLoan saved = rig.session.lendLink();
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!rig.session.pollLoop());

    // Meanwhile the scanner went back to scanning. A fresh run shows just
    // what it says now.
    rig.session.returnLink(saved);
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QVERIFY(rig.session.pollLoop()->buffer().isEmpty());
    QVERIFY(rig.reports(ScannerMode::Scan));
    QCOMPARE(rig.display.text(DisplayModel::FREQ), QStringLiteral(" SCAN  "));
    rig.port.inject("C053 F01544150 TF DF LF AF PF\r");
    QTRY_COMPARE(rig.display.text(DisplayModel::FREQ), QStringLiteral("154.4150"));
    QCOMPARE(rig.display.text(DisplayModel::CHAN), QStringLiteral("053"));
    QCOMPARE(rig.session.state().mode, ScannerMode::Scan);
}

void TestSession::portMenus()
{
    Rig rig;
    rig.store->setValue("Config/Com_Device_4", "/dev/other");
    QVERIFY(rig.loadAndWait());
    const QString opened = rig.display.statusLine();

    // A new speed is stored; the port and the status line stay as they are.
    rig.prompt.answers = {QStringLiteral("fast"), QStringLiteral("2400")};
    rig.session.askComSpeed();
    QCOMPARE(rig.store->value("Config/Com_Speed").toString(), QStringLiteral("2400"));
    QCOMPARE(rig.display.statusLine(), opened);
    QCOMPARE(rig.port.appliedSettings(), QStringLiteral("9600,N,8,1"));

    // A new port: closed, asked, stored and reopened at once.
    QStringList statusTexts;
    connect(&rig.display, &DisplayModel::statusLineChanged, this,
            [&statusTexts](const QString &s) { statusTexts << s; });
    rig.prompt.answers = {QStringLiteral("9"), QStringLiteral("43")};
    rig.session.askComPort();
    QCOMPARE(statusTexts.first(), QStringLiteral("COMM PORT #2 CLOSED at 2400,N,8,1"));
    QCOMPARE(rig.store->value("Config/Com_Port").toString(), QStringLiteral("4"));
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.port.openedDevice(), QStringLiteral("/dev/other"));
    QCOMPARE(rig.display.statusLine(), QStringLiteral("COMM PORT #4 OPENED at 2400,N,8,1"));
}

void TestSession::startsAgainstSimulatorOnPty()
{
    QTemporaryDir dir;
    ScannerEngine engine;
    SimLink link(&engine);
    PtyHost host(&link);
    QString error;
    QVERIFY2(host.open(dir.filePath(QStringLiteral("vks")), &error), qPrintable(error));

    TempSettings store;
    store->setValue("Config/Com_Port", "1");
    store->setValue("Config/Com_Speed", "19200");
    store->setValue("Config/Com_Device_1", host.portName());
    SerialCommPort port;
    SessionParts parts(&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db")));
    ScannerSession &session = parts.session;
    session.setSelfTestPause(10);
    session.load();
    QTRY_COMPARE(session.phase(), ScannerSession::Phase::Polling);
    QVERIFY2(port.isOpen(), qPrintable(parts.display.statusLine()));
    QCOMPARE(parts.display.statusLine(), QStringLiteral("COMM PORT #1 OPENED at 19200,N,8,1"));

    // The scanner answers the poll loop: its mode shows.
    QTRY_COMPARE(parts.display.text(DisplayModel::FREQ), QStringLiteral(" SCAN  "));
    QCOMPARE(session.state().modeName(), QStringLiteral("SCAN"));
    QCOMPARE(port.commEvent(), CommPort::kReceived);
    QCOMPARE(engine.commandLog().mid(0, 2), QStringList({QStringLiteral("MD"), QStringLiteral("MUA")}));

    session.shutdown();
    QVERIFY(!port.isOpen());
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
