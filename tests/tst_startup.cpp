// Start-up of the faceplate: the display and its self-test, settings and port,
// the hand-over of the port (resume), the window's parts and shutdown.

#include "FakeCommPort.h"
#include "TestSupport.h"
#include "faceplate/DisplayModel.h"
#include "faceplate/FacePlate.h"
#include "faceplate/FacePlateWindow.h"
#include "faceplate/SelfTest.h"
#include "link/SerialCommPort.h"
#include "shell/SplashWindow.h"
#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"

#include <QAction>
#include <QRegularExpression>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// A faceplate on a fake port with stored settings, self-test shortened.
struct Rig
{
    TempSettings store;
    FakeCommPort port;
    ScriptedPrompt prompt;
    FacePlate plate{&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db"))};

    explicit Rig(const QString &comPort = QStringLiteral("2"), const QString &speed = QStringLiteral("9600"))
    {
        if (!comPort.isEmpty())
            store->setValue("Config/Com_Port", comPort);
        if (!speed.isEmpty())
            store->setValue("Config/Com_Speed", speed);
        plate.setPrompt(prompt.fn());
        plate.setSelfTestPause(10);
    }
    bool loadAndWait()
    {
        plate.load();
        return QTest::qWaitFor([this] { return plate.state() == FacePlate::State::Polling; }, 5000);
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

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void selfTestScreens();
    void loadOpensPortAndRunsSelfTest();
    void firstStartAsksBeforePlacing();
    void portThatWillNotOpen();
    void resumeRestoresMode();
    void resumeReopensPortWithSettings();
    void portMenus();
    void windowParts();
    void closingClosesPort();
    void splash();
    void startsAgainstSimulatorOnPty();
};

void TestStartup::selfTestScreens()
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

void TestStartup::loadOpensPortAndRunsSelfTest()
{
    Rig rig(QStringLiteral("3"), QStringLiteral("4800"));
    rig.store->setValue("Config/Com_Device_3", "/dev/scanner");
    QSignalSpy polling(&rig.plate, &FacePlate::pollingStarted);
    QByteArray writtenBeforePolling = "-";
    connect(&rig.plate, &FacePlate::pollingStarted, this, [&] { writtenBeforePolling = rig.port.written(); });
    QVERIFY(rig.loadAndWait());
    QVERIFY(rig.prompt.asked.isEmpty());
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.port.openedDevice(), QStringLiteral("/dev/scanner"));
    QCOMPARE(rig.port.appliedSettings(), QStringLiteral("4800,N,8,1"));
    QCOMPARE(rig.plate.display()->statusLine(), QStringLiteral("COMM PORT #3 OPENED at 4800,N,8,1"));
    // After the self-test and before any reply, the display is empty but
    // for the mute word the poll loop shows as it starts.
    QVERIFY(allFieldsEmpty(*rig.plate.display(), DisplayModel::MUTE));
    QCOMPARE(rig.plate.display()->text(DisplayModel::MUTE), QStringLiteral("MUTE AUTO"));
    QCOMPARE(polling.size(), 1);
    // Nothing is sent to the scanner before polling starts; then "MD" and "MUA".
    QVERIFY(writtenBeforePolling.isEmpty());
    QCOMPARE(rig.port.commands().mid(0, 2), QStringList({QStringLiteral("MD"), QStringLiteral("MUA")}));
}

void TestStartup::firstStartAsksBeforePlacing()
{
    Rig rig{QString(), QString()};
    rig.prompt.answers = {QStringLiteral("1"), QStringLiteral("19200")};
    bool placed = false;
    int promptsBeforePlacing = -1;
    rig.plate.setPlaceWindows([&] {
        placed = true;
        promptsBeforePlacing = rig.prompt.asked.size();
    });
    QVERIFY(rig.loadAndWait());
    QVERIFY(placed);
    QCOMPARE(promptsBeforePlacing, 2);
    QCOMPARE(rig.store->value("Config/Com_Port").toString(), QStringLiteral("1"));
    QCOMPARE(rig.store->value("Config/Com_Speed").toString(), QStringLiteral("19200"));
    QCOMPARE(rig.plate.display()->statusLine(), QStringLiteral("COMM PORT #1 OPENED at 19200,N,8,1"));
}

void TestStartup::portThatWillNotOpen()
{
    Rig rig;
    rig.port.failOpenWith(QStringLiteral("No such file or directory"));
    QVERIFY(rig.loadAndWait());
    QVERIFY(!rig.port.isOpen());
    QCOMPARE(rig.plate.display()->statusLine(),
             QStringLiteral("COMM PORT #2 could not be opened: No such file or directory"));
    QVERIFY(!rig.plate.display()->statusLine().contains(QLatin1String("OPENED")));

    // Resume tries again and says so the same way; nothing is written.
    rig.plate.CurrentMode = 1;
    rig.plate.SavedChannel = QStringLiteral("12");
    rig.plate.resume();
    QTRY_COMPARE(rig.plate.state(), FacePlate::State::Polling);
    QVERIFY(rig.plate.display()->statusLine().startsWith(QLatin1String("COMM PORT #2 could not be opened")));
    QVERIFY(rig.port.written().isEmpty());
}

void TestStartup::resumeRestoresMode()
{
    Rig rig;
    QVERIFY(rig.loadAndWait());

    rig.plate.suspend();
    QCOMPARE(rig.plate.state(), FacePlate::State::Suspended);
    rig.plate.CurrentMode = 1;
    rig.plate.SavedChannel = QStringLiteral("123");
    QElapsedTimer timer;
    timer.start();
    rig.plate.resume();
    QCOMPARE(rig.plate.state(), FacePlate::State::Resuming);
    QTRY_COMPARE(rig.plate.state(), FacePlate::State::Polling);
    QVERIFY(timer.elapsed() >= 3 * 50 - 5); // a pause after each digit
    QCOMPARE(keys(rig.port),
             QStringList({QStringLiteral("KEY01"), QStringLiteral("KEY02 1"), QStringLiteral("KEY02 2"),
                          QStringLiteral("KEY02 3"), QStringLiteral("KEY01")}));

    rig.port.clearWritten();
    rig.plate.CurrentMode = 0;
    rig.plate.resume();
    QTRY_COMPARE(rig.plate.state(), FacePlate::State::Polling);
    QCOMPARE(keys(rig.port), QStringList({QStringLiteral("KEY00")}));

    // An empty saved channel in manual mode: MAN twice.
    rig.port.clearWritten();
    rig.plate.CurrentMode = 1;
    rig.plate.SavedChannel.clear();
    rig.plate.resume();
    QTRY_COMPARE(rig.plate.state(), FacePlate::State::Polling);
    QCOMPARE(keys(rig.port), QStringList({QStringLiteral("KEY01"), QStringLiteral("KEY01")}));

    // Other modes are left alone.
    rig.port.clearWritten();
    rig.plate.CurrentMode = 9;
    rig.plate.resume();
    QTRY_COMPARE(rig.plate.state(), FacePlate::State::Polling);
    QVERIFY(keys(rig.port).isEmpty());

    // Suspending in the middle of a resume stops it: no more keys, no polling.
    rig.port.clearWritten();
    rig.plate.CurrentMode = 1;
    rig.plate.SavedChannel = QStringLiteral("999");
    rig.plate.resume();
    rig.plate.suspend();
    QTest::qWait(250);
    QCOMPARE(rig.plate.state(), FacePlate::State::Suspended);
    QCOMPARE(keys(rig.port), QStringList({QStringLiteral("KEY01"), QStringLiteral("KEY02 9")}));
}

void TestStartup::resumeReopensPortWithSettings()
{
    Rig rig;
    QVERIFY(rig.loadAndWait());
    rig.plate.suspend();
    rig.port.close();
    rig.plate.link().comSpeed = QStringLiteral("2400");
    rig.plate.resume();
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.port.appliedSettings(), QStringLiteral("2400,N,8,1"));
    QCOMPARE(rig.plate.display()->statusLine(), QStringLiteral("COMM PORT #2 OPENED at 2400,N,8,1again..."));
    QVERIFY(rig.plate.display()->statusLine().endsWith(QLatin1String("1again...")));
}

void TestStartup::portMenus()
{
    Rig rig;
    rig.store->setValue("Config/Com_Device_4", "/dev/other");
    QVERIFY(rig.loadAndWait());
    const QString opened = rig.plate.display()->statusLine();

    // A new speed is stored; the port and the status line stay as they are.
    rig.prompt.answers = {QStringLiteral("fast"), QStringLiteral("2400")};
    rig.plate.mnuComSpeed();
    QCOMPARE(rig.store->value("Config/Com_Speed").toString(), QStringLiteral("2400"));
    QCOMPARE(rig.plate.display()->statusLine(), opened);
    QCOMPARE(rig.port.appliedSettings(), QStringLiteral("9600,N,8,1"));

    // A new port: closed, asked, stored and reopened at once.
    QStringList statusTexts;
    connect(rig.plate.display(), &DisplayModel::statusLineChanged, this,
            [&statusTexts](const QString &s) { statusTexts << s; });
    rig.prompt.answers = {QStringLiteral("9"), QStringLiteral("43")};
    rig.plate.mnuComPort();
    QCOMPARE(statusTexts.first(), QStringLiteral("COMM PORT #2 CLOSED at 2400,N,8,1"));
    QCOMPARE(rig.store->value("Config/Com_Port").toString(), QStringLiteral("4"));
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.port.openedDevice(), QStringLiteral("/dev/other"));
    QCOMPARE(rig.plate.display()->statusLine(), QStringLiteral("COMM PORT #4 OPENED at 2400,N,8,1"));
}

void TestStartup::windowParts()
{
    Rig rig;
    FacePlateWindow window(&rig.plate);
    QCOMPARE(window.objectName(), QStringLiteral("frmFacePlate1"));
    QVERIFY(window.windowTitle().startsWith(QLatin1String("VKS-4410 ")));
    for (int f = 0; f < DisplayModel::FieldCount; ++f) {
        const QString name = DisplayModel::objectNameOf(DisplayModel::Field(f));
        auto *edit = window.findChild<QLineEdit *>(name);
        QVERIFY2(edit, qPrintable(name));
        QVERIFY(edit->isReadOnly());
        QCOMPARE(edit->accessibleName(), name);
        QCOMPARE(edit->focusPolicy(), Qt::NoFocus);
        QCOMPARE(edit->text(), DisplayModel::designText(DisplayModel::Field(f)));
    }
    QCOMPARE(window.field(DisplayModel::FREQ)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(window.field(DisplayModel::ACTIVEBANK)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(window.field(DisplayModel::CHAN)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    QLineEdit *status = window.findChild<QLineEdit *>(QStringLiteral("StatusLine"));
    QVERIFY(status);
    QCOMPARE(status->accessibleName(), QStringLiteral("StatusLine"));
    QCOMPARE(status->text(), DisplayModel::kStatusDesignText);
    for (const char *legend : {"labelREMOTE", "labelPRI", "labelALERT", "labelLO", "labelCLR", "label11", "label20",
                               "Text17", "Text18", "Text19", "Text20", "Text21", "Text22"})
        QVERIFY2(window.findChild<QLineEdit *>(QLatin1String(legend)), legend);
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("labelLO"))->toolTip(), QStringLiteral("LOCK OUT"));

    const QStringList buttons = {"btnMUTE", "btnSHFT", "btnDLY", "btnSKIP", "btnDATA", "btnMAN", "btnSVC",
                                 "btnSRCH", "btnSCAN", "btnTRUNK", "btnSPD", "btnLIMIT", "btnHOLD", "btnNUM0",
                                 "btnNUM1", "btnNUM2", "btnNUM3", "btnNUM4", "btnNUM5", "btnNUM6", "btnNUM7",
                                 "btnNUM8", "btnNUM9", "btnNUMDEC", "btnNUME"};
    QCOMPARE(window.buttons().size(), buttons.size());
    for (const QString &name : buttons) {
        QPushButton *b = window.button(name);
        QVERIFY2(b, qPrintable(name));
        QCOMPARE(b->accessibleName(), b->text());
    }
    QCOMPARE(window.button(QStringLiteral("btnNUMDEC"))->text(), QStringLiteral("\u2022"));
    QCOMPARE(window.button(QStringLiteral("btnSKIP"))->toolTip(), QStringLiteral("SKIP/LOCK OUT"));

    // The model drives the widgets.
    rig.plate.display()->setText(DisplayModel::FREQ, QStringLiteral(" 1300.000"));
    QTRY_COMPARE(window.field(DisplayModel::FREQ)->text(), QStringLiteral(" 1300.000"));
    rig.plate.display()->setStatusLine(QStringLiteral("hello"));
    QCOMPARE(status->text(), QStringLiteral("hello"));

    auto *exit = window.findChild<QAction *>(QStringLiteral("File_Exit"));
    QVERIFY(exit);
    QCOMPARE(exit->text(), QStringLiteral("Exit"));
    QCOMPARE(exit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
    QCOMPARE(window.menu(QStringLiteral("COM_Options"))->title(), QStringLiteral("&Port Setup"));
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("mnuCom_Port"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("mnuCom_Speed"))->text(), QStringLiteral("Port Speed"));
}

void TestStartup::closingClosesPort()
{
    Rig rig;
    FacePlateWindow window(&rig.plate);
    window.load();
    QTRY_COMPARE(rig.plate.state(), FacePlate::State::Polling);
    QVERIFY(window.isVisible());
    QCOMPARE(window.pos(), QPoint(0, 0));
    QVERIFY(rig.port.isOpen());
    window.close();
    QVERIFY(!rig.port.isOpen());
    QCOMPARE(rig.plate.state(), FacePlate::State::Ended);
}

void TestStartup::splash()
{
    auto *splash = new SplashWindow;
    QCOMPARE(splash->objectName(), QStringLiteral("frmSplash"));
    QCOMPARE(splash->versionLabelText(), QStringLiteral("Version 1.15.24\u00df  -  Jan 11, 2001"));
    QPointer<SplashWindow> guard(splash);
    splash->show();
    QTest::keyClick(splash, Qt::Key_Space);
    QTRY_VERIFY(guard.isNull()); // closed and released at once
}

void TestStartup::startsAgainstSimulatorOnPty()
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
    FacePlate plate(&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db")));
    plate.setSelfTestPause(10);
    plate.load();
    QTRY_COMPARE(plate.state(), FacePlate::State::Polling);
    QVERIFY2(port.isOpen(), qPrintable(plate.display()->statusLine()));
    QCOMPARE(plate.display()->statusLine(), QStringLiteral("COMM PORT #1 OPENED at 19200,N,8,1"));

    // The scanner answers the poll loop: its mode shows.
    QTRY_COMPARE(plate.display()->text(DisplayModel::FREQ), QStringLiteral(" SCAN  "));
    QCOMPARE(plate.ModeName, QStringLiteral("SCAN"));
    QCOMPARE(port.commEvent(), CommPort::comEvReceive);
    QCOMPARE(engine.commandLog().mid(0, 2), QStringList({QStringLiteral("MD"), QStringLiteral("MUA")}));

    plate.shutdown();
    QVERIFY(!port.isOpen());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
