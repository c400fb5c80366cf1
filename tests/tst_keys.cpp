// The front-panel keys and the PC keyboard on the faceplate.

#include "PlateRig.h"
#include "faceplate/AuxDisplayModel.h"
#include "faceplate/AuxDisplayWindow.h"
#include "faceplate/FacePlateWindow.h"
#include "faceplate/Keyboard.h"
#include "faceplate/Keypad.h"

#include <QAction>
#include <QPushButton>
#include <QTest>

namespace {

// Runs the key's handlers to the end (each echo holds for a moment).
void settle(FacePlate &plate)
{
    QVERIFY(QTest::qWaitFor([&plate] { return !plate.keyboard()->isBusy(); }, 5000));
}

Keyboard::Codes keypad(int code, int charCode = -1)
{
    return {code, 0, charCode};
}

} // namespace

class TestKeys : public QObject
{
    Q_OBJECT
private slots:
    void buttonsWriteTheirKeys();
    void closedPortWritesNothing();
    void muteCycle();
    void keyboardTable();
    void channelDown();
    void keyEcho();
    void keysThroughTheWindow();
};

void TestKeys::buttonsWriteTheirKeys()
{
    PlateRig rig;
    Keypad keys(&rig.plate);
    keys.press(QStringLiteral("btnNUM7"));
    QCOMPARE(rig.port.written(), QByteArray("KEY02 7\r"));
    QCOMPARE(rig.port.written().size(), 8);

    const QStringList expected = {"KEY00", "KEY01", "KEY02 0", "KEY02 1", "KEY02 2", "KEY02 3", "KEY02 4", "KEY02 5",
                                  "KEY02 6", "KEY02 7", "KEY02 8", "KEY02 9", "KEY03", "KEY04", "KEY05", "KEY06",
                                  "KEY07", "KEY08", "KEY09", "KEY10", "KEY11", "KEY12", "KEY13", "KEY14", "MUN"};
    rig.port.clearWritten();
    for (const QString &name : Keypad::buttonNames())
        keys.press(name);
    QCOMPARE(rig.port.commands(), expected);

    // Shift toggles its indicator.
    QCOMPARE(rig.plate.ShiftOn, true);
    QCOMPARE(rig.text(DisplayModel::SHIFT), QStringLiteral("SFT"));
    keys.press(QStringLiteral("btnSHFT"));
    QCOMPARE(rig.plate.ShiftOn, false);
    QCOMPARE(rig.text(DisplayModel::SHIFT), QString());
}

void TestKeys::closedPortWritesNothing()
{
    PlateRig rig(false);
    Keypad keys(&rig.plate);
    for (const QString &name : {QStringLiteral("btnNUM5"), QStringLiteral("btnSCAN"), QStringLiteral("btnMUTE")})
        keys.press(name);
    keys.press(QStringLiteral("btnSHFT"));
    QVERIFY(rig.port.written().isEmpty());
    QCOMPARE(rig.text(DisplayModel::SHIFT), QStringLiteral("SFT"));
    keys.press(QStringLiteral("btnSHFT"));
    QCOMPARE(rig.text(DisplayModel::SHIFT), QString());

    // The keyboard likewise, but for manual mode's channel-down, which may
    // write and must neither fail nor block.
    rig.plate.keyboard()->key(keypad(101));
    rig.plate.keyboard()->key(keypad(107));
    rig.plate.CurrentMode = 1;
    rig.plate.ManualChannel = 5;
    rig.plate.keyboard()->key(keypad(109));
    settle(rig.plate);
    QVERIFY(rig.port.written().isEmpty());
    QCOMPARE(rig.plate.ManualChannel, 4);
}

void TestKeys::muteCycle()
{
    PlateRig rig;
    Keypad keys(&rig.plate);
    QCOMPARE(rig.plate.MuteState, 1);
    keys.press(QStringLiteral("btnMUTE"));
    QCOMPARE(rig.text(DisplayModel::MUTE), QStringLiteral("MUTE ON"));
    QCOMPARE(rig.port.commands(), QStringList({QStringLiteral("MUN")}));
    keys.press(QStringLiteral("btnMUTE"));
    QCOMPARE(rig.text(DisplayModel::MUTE), QStringLiteral("MUTE OFF"));
    QCOMPARE(rig.port.commands().size(), 1); // nothing written here...
    QCOMPARE(rig.plate.NextQuery, QStringLiteral("MUF"));
    // ...the poll loop sends it at the end of its turn, whatever the reply asked for.
    QCOMPARE(rig.turnWith({}), QStringLiteral("MUF"));
    QCOMPARE(rig.turnWith({}), QStringLiteral("SQ"));
    rig.port.clearWritten();
    keys.press(QStringLiteral("btnMUTE"));
    QCOMPARE(rig.text(DisplayModel::MUTE), QStringLiteral("MUTE AUTO"));
    QCOMPARE(rig.port.commands(), QStringList({QStringLiteral("MUA")}));

    rig.plate.MuteState = 7; // any other value returns to automatic through the loop
    keys.press(QStringLiteral("btnMUTE"));
    QCOMPARE(rig.plate.NextQuery, QStringLiteral("MUA"));
    QCOMPARE(rig.plate.MuteState, 1);
}

void TestKeys::keyboardTable()
{
    PlateRig rig;
    Keyboard *kb = rig.plate.keyboard();
    kb->key(keypad(101, '5'));     // keypad 5
    kb->key(keypad(110, '.'));     // keypad decimal point
    kb->key(keypad(106, '*'));     // keypad *
    kb->key(keypad(13, 13));       // Enter: both handlers act
    kb->key({67, 0, 'c'});         // the letter c is character 99
    kb->key({53, 0, '5'});         // the main keyboard's 5 does nothing
    kb->key(keypad(107, '+'));     // keypad +
    kb->key(keypad(111, '/'));     // keypad /
    rig.plate.CurrentMode = 0;
    kb->key(keypad(109, '-'));     // keypad - outside manual mode
    settle(rig.plate);
    QCOMPARE(rig.port.commands(),
             QStringList({"KEY02 5", "KEY03", "KEY00", "KEY04", "KEY04", "KEY02 3", "KEY01", "MA", "KEY01", "MA",
                          "KEY01", "MA"}));
}

void TestKeys::channelDown()
{
    PlateRig rig;
    rig.plate.CurrentMode = 1;
    rig.plate.ManualChannel = 1;
    rig.plate.keyboard()->keyDown(109, 0);
    settle(rig.plate);
    QCOMPARE(rig.plate.ManualChannel, 1000);
    QCOMPARE(rig.port.commands(), QStringList({"KEY02 1", "KEY02 0", "KEY02 0", "KEY02 0", "KEY01", "MA"}));

    rig.port.clearWritten();
    rig.plate.ManualChannel = 120;
    rig.plate.keyboard()->keyPress('m'); // the letter m is character 109
    settle(rig.plate);
    QCOMPARE(rig.plate.ManualChannel, 119);
    QCOMPARE(rig.port.commands(), QStringList({"KEY02 1", "KEY02 1", "KEY02 9", "KEY01", "MA"}));
}

void TestKeys::keyEcho()
{
    PlateRig rig;
    AuxDisplayModel *aux = rig.plate.aux();
    rig.plate.keyboard()->key({101, 3, '5'});
    // The key-down echo shows at once; the key is acted on after the pause.
    QCOMPARE(aux->line(2), QStringLiteral("3"));
    QCOMPARE(aux->line(4), QStringLiteral("101"));
    QVERIFY(rig.port.written().isEmpty());
    settle(rig.plate);
    QCOMPARE(aux->line(1), QStringLiteral("KeyPress"));
    QCOMPARE(aux->line(3), QStringLiteral("53"));
    QCOMPARE(aux->line(4), QString());
    QCOMPARE(rig.port.commands(), QStringList({"KEY02 5"}));
}

void TestKeys::keysThroughTheWindow()
{
    PlateRig rig;
    FacePlateWindow window(&rig.plate);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();

    QTest::keyClick(&window, Qt::Key_5, Qt::KeypadModifier);
    QTest::keyClick(&window, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(&window, Qt::Key_Minus, Qt::KeypadModifier);
    settle(rig.plate);
    QCOMPARE(rig.port.commands(), QStringList({"KEY02 5", "KEY04", "KEY04", "KEY01", "MA"}));

    // Clicking a button presses its key; the button takes no focus.
    rig.port.clearWritten();
    QTest::mouseClick(window.button(QStringLiteral("btnSCAN")), Qt::LeftButton);
    QCOMPARE(rig.port.commands(), QStringList({"KEY00"}));
    QVERIFY(!window.button(QStringLiteral("btnSCAN"))->hasFocus());

    // The aux display's menu entry shows it and comes back to the faceplate.
    QVERIFY(!window.auxWindow()->isVisible());
    window.findChild<QAction *>(QStringLiteral("mnuAuxDisp"))->trigger();
    QVERIFY(window.auxWindow()->isVisible());
    QVERIFY(rig.plate.aux()->isVisible());
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("mnuAuxDisp"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));

    // Closing the aux display discards what it showed.
    rig.plate.aux()->setLine(1, QStringLiteral("FREQ: 154.4150"));
    window.auxWindow()->close();
    QVERIFY(!rig.plate.aux()->isVisible());
    QCOMPARE(rig.plate.aux()->line(1), AuxDisplayModel::initialText(1));
}

QTEST_MAIN(TestKeys)
#include "tst_keys.moc"
