// The front-panel keys and the PC keyboard on the faceplate.

#include "SessionRig.h"

#include <QTest>

namespace {

// Runs the key's handlers to the end (each echo holds for a moment).
void settle(Keyboard &keyboard)
{
    QVERIFY(QTest::qWaitFor([&keyboard] { return !keyboard.isBusy(); }, 5000));
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
};

void TestKeys::buttonsWriteTheirKeys()
{
    SessionRig rig;
    Keypad &keys = rig.parts.keypad;
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
    QCOMPARE(rig.state().shiftOn, true);
    QCOMPARE(rig.text(DisplayModel::SHIFT), QStringLiteral("SFT"));
    keys.press(QStringLiteral("btnSHFT"));
    QCOMPARE(rig.state().shiftOn, false);
    QCOMPARE(rig.text(DisplayModel::SHIFT), QString());
}

void TestKeys::closedPortWritesNothing()
{
    SessionRig rig(false);
    Keypad &keys = rig.parts.keypad;
    for (const QString &name : {QStringLiteral("btnNUM5"), QStringLiteral("btnSCAN"), QStringLiteral("btnMUTE")})
        keys.press(name);
    keys.press(QStringLiteral("btnSHFT"));
    QVERIFY(rig.port.written().isEmpty());
    QCOMPARE(rig.text(DisplayModel::SHIFT), QStringLiteral("SFT"));
    keys.press(QStringLiteral("btnSHFT"));
    QCOMPARE(rig.text(DisplayModel::SHIFT), QString());

    // The keyboard likewise, but for manual mode's channel-down, which may
    // write and must neither fail nor block.
    rig.parts.keyboard.key(keypad(101));
    rig.parts.keyboard.key(keypad(107));
    rig.port.open();
    rig.enterManual(5);
    rig.port.close();
    rig.parts.keyboard.key(keypad(109));
    settle(rig.parts.keyboard);
    QVERIFY(rig.port.written().isEmpty());
    QCOMPARE(rig.state().manualChannel, 4);
}

void TestKeys::muteCycle()
{
    SessionRig rig;
    Keypad &keys = rig.parts.keypad;
    QCOMPARE(rig.state().mute, MuteSetting::Auto);
    keys.press(QStringLiteral("btnMUTE"));
    QCOMPARE(rig.text(DisplayModel::MUTE), QStringLiteral("MUTE ON"));
    QCOMPARE(rig.port.commands(), QStringList({QStringLiteral("MUN")}));
    keys.press(QStringLiteral("btnMUTE"));
    QCOMPARE(rig.text(DisplayModel::MUTE), QStringLiteral("MUTE OFF"));
    QCOMPARE(rig.port.commands().size(), 1); // nothing written here...
    QCOMPARE(rig.state().keyQuery, QStringLiteral("MUF"));
    // ...the poll loop sends it at the end of its turn, whatever the reply asked for.
    QCOMPARE(rig.turnWith({}), QStringLiteral("MUF"));
    QCOMPARE(rig.turnWith({}), QStringLiteral("SQ"));
    rig.port.clearWritten();
    keys.press(QStringLiteral("btnMUTE"));
    QCOMPARE(rig.text(DisplayModel::MUTE), QStringLiteral("MUTE AUTO"));
    QCOMPARE(rig.port.commands(), QStringList({QStringLiteral("MUA")}));
    QCOMPARE(rig.state().mute, MuteSetting::Auto);
}

void TestKeys::keyboardTable()
{
    SessionRig rig;
    Keyboard *kb = &rig.parts.keyboard;
    QCOMPARE(rig.state().mode, ScannerMode::Scan);
    kb->key(keypad(101, '5'));     // keypad 5
    kb->key(keypad(110, '.'));     // keypad decimal point
    kb->key(keypad(106, '*'));     // keypad *
    kb->key(keypad(13, 13));       // Enter: both handlers act
    kb->key({67, 0, 'c'});         // the letter c is character 99
    kb->key({53, 0, '5'});         // the main keyboard's 5 does nothing
    kb->key(keypad(107, '+'));     // keypad +
    kb->key(keypad(111, '/'));     // keypad /
    kb->key(keypad(109, '-'));     // keypad - outside manual mode
    settle(rig.parts.keyboard);
    QCOMPARE(rig.port.commands(),
             QStringList({"KEY02 5", "KEY03", "KEY00", "KEY04", "KEY04", "KEY02 3", "KEY01", "MA", "KEY01", "MA",
                          "KEY01", "MA"}));
}

void TestKeys::channelDown()
{
    SessionRig rig;
    rig.enterManual(1);
    rig.parts.keyboard.keyDown(109, 0);
    settle(rig.parts.keyboard);
    QCOMPARE(rig.state().manualChannel, 1000);
    QCOMPARE(rig.port.commands(), QStringList({"KEY02 1", "KEY02 0", "KEY02 0", "KEY02 0", "KEY01", "MA"}));

    rig.port.clearWritten();
    rig.enterManual(120);
    rig.parts.keyboard.keyPress('m'); // the letter m is character 109
    settle(rig.parts.keyboard);
    QCOMPARE(rig.state().manualChannel, 119);
    QCOMPARE(rig.port.commands(), QStringList({"KEY02 1", "KEY02 1", "KEY02 9", "KEY01", "MA"}));
}

void TestKeys::keyEcho()
{
    SessionRig rig;
    AuxDisplayModel *aux = &rig.aux();
    rig.parts.keyboard.key({101, 3, '5'});
    // The key-down echo shows at once; the key is acted on after the pause.
    QCOMPARE(aux->line(2), QStringLiteral("3"));
    QCOMPARE(aux->line(4), QStringLiteral("101"));
    QVERIFY(rig.port.written().isEmpty());
    settle(rig.parts.keyboard);
    QCOMPARE(aux->line(1), QStringLiteral("KeyPress"));
    QCOMPARE(aux->line(3), QStringLiteral("53"));
    QCOMPARE(aux->line(4), QString());
    QCOMPARE(rig.port.commands(), QStringList({"KEY02 5"}));
}

QTEST_GUILESS_MAIN(TestKeys)
#include "tst_keys.moc"
