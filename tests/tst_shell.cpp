// The faceplate window and the shell around it: its parts, keys and menus,
// help, the about box, the splash, and opening the editors.
#include "WindowRig.h"
#include "scanner/AuxDisplayModel.h"
#include "ui/AuxDisplayWindow.h"
#include "data/AppInfo.h"
#include "data/EditorModels.h"
#include "ui/ScannerBankEditor.h"
#include "ui/TalkGroupsEditor.h"
#include "scanner/DisplayWords.h"
#include "ui/FacePlateWindow.h"
#include "ui/AboutDialog.h"
#include "ui/Help.h"
#include "ui/MainMenu.h"
#include "ui/SerialDeviceDialog.h"
#include "ui/SplashWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QTreeWidget>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestShell : public QObject
{
    Q_OBJECT
private slots:
    void menuBar();
    void helpEntries();
    void aboutBox();
    void editorsFromTheFaceplate();
    void keysThroughTheWindow();
    void serialDeviceChooser();
    void windowParts();
    void closingClosesPort();
    void exitAsksAboutPendingEdits();
    void splash();
};

void TestShell::menuBar()
{
    WindowRig rig;
    FacePlateWindow &window = rig.window;
    const QList<QAction *> top = window.menuBar()->actions();
    QStringList captions;
    for (QAction *a : top)
        captions << a->text();
    QCOMPARE(captions, QStringList({"&File", "&Port Setup", "&View", "&Options", "&Scanning", "&Database", "&WIPEOUT", "&HELP!"}));

    struct Expect { const char *menu, *name, *caption; QKeySequence shortcut; };
    const Expect expected[] = {
        {"File", "File_Exit", "Exit", QKeySequence(QStringLiteral("Ctrl+X"))},
        {"COM_Options", "mnuCom_Port", "Com Port", QKeySequence(QStringLiteral("Ctrl+P"))},
        {"COM_Options", "mnuCom_Speed", "Port Speed", QKeySequence(QStringLiteral("Ctrl+S"))},
        {"COM_Options", "mnuSerialDevice", "Serial Device...", {}},
        {"mnuView", "mnuAuxDisp", "Aux Display", QKeySequence(QStringLiteral("Ctrl+A"))},
        {"mnuView", "mnuTalkgroupActivity", "Talkgroup Activity", {}},
        {"mnuView", "mnuActivityStatistics", "Activity Statistics", {}},
        {"mnuView", "mnuSerialMonitor", "Serial Monitor", {}},
        {"mnuOptions", "mnuRemoteAccess", "Remote Access...", {}},
        {"SCAN_FUNCTIONS", "Manual", "Manual Mode", {}},
        {"SCAN_FUNCTIONS", "ScanMode", "Scan Mode", {}},
        {"SCAN_FUNCTIONS", "Search", "Search Mode", {}},
        {"DATABASE_FUNCTIONS", "Backup", "Backup Scanner Memory to Database", QKeySequence(QStringLiteral("Ctrl+B"))},
        {"DATABASE_FUNCTIONS", "Restore", "Restore Database to Scanner Memory", QKeySequence(QStringLiteral("Ctrl+R"))},
        {"DATABASE_FUNCTIONS", "EditBanks", "Edit Channel Banks", QKeySequence(QStringLiteral("Ctrl+C"))},
        {"DATABASE_FUNCTIONS", "EditTalkGroups", "Edit Talkgroups", QKeySequence(QStringLiteral("Ctrl+T"))},
        {"DATABASE_FUNCTIONS", "ExportBanksCsv", "Export Banks to CSV...", {}},
        {"DATABASE_FUNCTIONS", "ImportBanksCsv", "Import Banks from CSV...", {}},
        {"DATABASE_FUNCTIONS", "ExportTalkgroupsCsv", "Export Talkgroups to CSV...", {}},
        {"DATABASE_FUNCTIONS", "ImportTalkgroupsCsv", "Import Talkgroups from CSV...", {}},
        {"WIPEOUT", "ClearMemory", "Delete All Scanner Memory (BEWARE!)", {}},
        {"mnuHelp", "mnuGettingStarted", "Getting Started", {}},
        {"mnuHelp", "mnuTroubleShoot", "Troubleshooting Ideas", {}},
        {"mnuHelp", "About", "About", {}},
    };
    for (const Expect &e : expected) {
        QMenu *menu = window.menu(QLatin1String(e.menu));
        QVERIFY2(menu, e.menu);
        QAction *action = menu->findChild<QAction *>(QLatin1String(e.name));
        QVERIFY2(action && menu->actions().contains(action), e.name);
        QCOMPARE(action->text(), QLatin1String(e.caption));
        QCOMPARE(action->shortcut(), e.shortcut);
    }
    for (const MainMenu::Entry &e : MainMenu::entries()) { // anything beyond these is one of our own options
        const auto known = std::find_if(std::begin(expected), std::end(expected), [&](const Expect &x) { return qstrcmp(x.name, e.name) == 0; });
        QVERIFY2(known != std::end(expected) || qstrcmp(e.menu, "mnuOptions") == 0, e.name);
    }

    // The Scanning entries do nothing.
    rig.port.clearWritten();
    const QString status = rig.display().statusLine();
    for (const char *name : {"Manual", "ScanMode", "Search"})
        window.findChild<QAction *>(QLatin1String(name))->trigger();
    QVERIFY(rig.port.written().isEmpty());
    QCOMPARE(rig.display().statusLine(), status);
}

void TestShell::helpEntries()
{
    WindowRig rig;
    QStringList texts, titles;
    QList<MessageKind> kinds;
    rig.window.setMessage([&](MessageKind kind, const QString &title, const QString &text) {
        kinds << kind;
        titles << title;
        texts << text;
        return true;
    });
    FacePlateWindow &window = rig.window;
    window.findChild<QAction *>(QStringLiteral("mnuGettingStarted"))->trigger();
    window.findChild<QAction *>(QStringLiteral("mnuTroubleShoot"))->trigger();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts.at(0), texts.at(1));
    QCOMPARE(titles, QStringList(2, QStringLiteral("Orvendal Help")));
    QCOMPARE(kinds.first(), MessageKind::Information);
    const QStringList lines = texts.first().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.at(0), QStringLiteral("Please see the enclosed Orvendal.Doc file"));
    QCOMPARE(lines.at(1), QStringLiteral("It should be located in the directory:"));
    QCOMPARE(lines.at(2), QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
    QVERIFY(!lines.at(2).endsWith(QDir::separator()));
    QCOMPARE(lines.at(4), QStringLiteral("The channel database in use is:"));
    QCOMPARE(lines.at(5), QDir::toNativeSeparators(rig.databasePath()));
    QCOMPARE(Help::text(rig.databasePath()), texts.first());
}

void TestShell::aboutBox()
{
    QCOMPARE(AboutDialog::versionText(), QStringLiteral("Version 1.15.24\u00df  -  Nov. 29, 2000"));
    QCOMPARE(AppInfo::version(), QStringLiteral("1.15.24"));
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Escape}) {
        AboutDialog about;
        QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(about.versionLabelText(), AboutDialog::versionText());
        QVERIFY(about.isModal());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, k);
        QVERIFY(!about.isVisible());
    }
    // From the menu: a new modal box each time, closed by OK.
    WindowRig rig;
    FacePlateWindow &window = rig.window;
    int shown = 0;
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(50, this, [&shown] {
            auto *about = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
            if (about) {
                ++shown;
                QTest::keyClick(about, Qt::Key_Enter);
            }
        });
        window.findChild<QAction *>(QStringLiteral("About"))->trigger();
        QVERIFY(!window.findChild<AboutDialog *>());
    }
    QCOMPARE(shown, 2);
}

void TestShell::editorsFromTheFaceplate()
{
    WindowRig rig;
    FacePlateWindow &window = rig.window;
    window.show();
    window.move(40, 30);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
    QTRY_VERIFY(window.bankEditor() && window.bankEditor()->isVisible());
    QVERIFY(rig.port.written().isEmpty()); // the shortcut is not a key for the scanner
    ScannerBankEditor *bank = window.bankEditor();
    window.openBankEditor(); // the same window again
    QCOMPARE(window.bankEditor(), bank);

    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
    QTRY_VERIFY(window.talkgroupEditor() && window.talkgroupEditor()->isVisible());
    QCOMPARE(window.talkgroupEditor()->pos(), window.pos());

    // A closed editor is gone; the menu makes a new one.
    bank->close();
    QTRY_VERIFY(!window.bankEditor());
    window.openBankEditor();
    QVERIFY(window.bankEditor());
    QCOMPARE(window.bankEditor()->windowTitle(), QStringLiteral("BANK01"));
}

void TestShell::keysThroughTheWindow()
{
    WindowRig rig;
    FacePlateWindow &window = rig.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();

    QTest::keyClick(&window, Qt::Key_5, Qt::KeypadModifier);
    QTest::keyClick(&window, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(&window, Qt::Key_Minus, Qt::KeypadModifier);
    QVERIFY(QTest::qWaitFor([&rig] { return !rig.parts.keyboard.isBusy(); }, 5000));
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
    QVERIFY(rig.aux().isVisible());
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("mnuAuxDisp"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));

    // Closing the aux display discards what it showed.
    rig.aux().setLine(1, QStringLiteral("FREQ: 154.4150"));
    window.auxWindow()->close();
    QVERIFY(!rig.aux().isVisible());
    QCOMPARE(rig.aux().line(1), AuxDisplayModel::initialText(1));
}

void TestShell::windowParts()
{
    WindowRig rig;
    FacePlateWindow &window = rig.window;
    QCOMPARE(window.objectName(), QStringLiteral("frmFacePlate1"));
    // The caption alone: no program name added to it.
    QCOMPARE(window.windowTitle(), QStringLiteral("VKS-4410 Valkes Communications"));
    for (int f = 0; f < DisplayModel::FieldCount; ++f) {
        const QString name = DisplayModel::objectNameOf(DisplayModel::Field(f));
        auto *edit = window.findChild<QLineEdit *>(name);
        QVERIFY2(edit, qPrintable(name));
        QVERIFY(edit->isReadOnly());
        QCOMPARE(edit->accessibleName(), DisplayWords::fieldName(DisplayModel::Field(f))); // its meaning, not its name
        QCOMPARE(edit->focusPolicy(), Qt::NoFocus);
        QCOMPARE(edit->text(), DisplayModel::designText(DisplayModel::Field(f)));
    }
    QCOMPARE(window.field(DisplayModel::FREQ)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(window.field(DisplayModel::ACTIVEBANK)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(window.field(DisplayModel::CHAN)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    QLineEdit *status = window.findChild<QLineEdit *>(QStringLiteral("StatusLine"));
    QVERIFY(status);
    QCOMPARE(status->accessibleName(), QStringLiteral("Status line"));
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
    rig.display().setText(DisplayModel::FREQ, QStringLiteral(" 1300.000"));
    QTRY_COMPARE(window.field(DisplayModel::FREQ)->text(), QStringLiteral(" 1300.000"));
    rig.display().setStatusLine(QStringLiteral("hello"));
    QCOMPARE(status->text(), QStringLiteral("hello"));

    auto *exit = window.findChild<QAction *>(QStringLiteral("File_Exit"));
    QVERIFY(exit);
    QCOMPARE(exit->text(), QStringLiteral("Exit"));
    QCOMPARE(exit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
    QCOMPARE(window.menu(QStringLiteral("COM_Options"))->title(), QStringLiteral("&Port Setup"));
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("mnuCom_Port"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("mnuCom_Speed"))->text(), QStringLiteral("Port Speed"));
}

void TestShell::closingClosesPort()
{
    WindowRig rig;
    FacePlateWindow &window = rig.window;
    rig.session.suspend();
    rig.session.setSelfTestPause(10);
    rig.session.setPlaceWindows([&window] { window.placeWindows(); });
    rig.session.load();
    QTRY_COMPARE(rig.session.phase(), ScannerSession::Phase::Polling);
    QVERIFY(window.isVisible());
    QCOMPARE(window.pos(), QPoint(0, 0));
    QVERIFY(rig.port.isOpen());
    window.close();
    QVERIFY(!rig.port.isOpen());
    QCOMPARE(rig.session.phase(), ScannerSession::Phase::Ended);
}

void TestShell::exitAsksAboutPendingEdits()
{
    WindowRig rig;
    FacePlateWindow &window = rig.window;
    PendingAnswer answer = PendingAnswer::Cancel;
    int asked = 0;
    window.setPendingEditsQuestion([&](const QString &, const QString &) {
        ++asked;
        return answer;
    });
    window.show();
    window.openBankEditor();
    QPointer<ScannerBankEditor> editor = window.bankEditor();
    QVERIFY(editor);
    BankTableModel *m = editor->model();
    editor->add();
    QVERIFY(m->setData(m->index(m->rowCount() - 1, m->fieldIndex(QStringLiteral("CHANNEL"))), 7));

    // File, Exit and the faceplate's close box: Cancel keeps everything open.
    window.findChild<QAction *>(QStringLiteral("File_Exit"))->trigger();
    QCOMPARE(asked, 1);
    QVERIFY(editor && editor->isVisible() && editor->model()->isDirty());
    QVERIFY(rig.session.phase() != ScannerSession::Phase::Ended);
    QVERIFY(!window.close());
    QCOMPARE(asked, 2);
    QVERIFY(window.isVisible() && editor);

    // Discard: the program ends without the edit.
    answer = PendingAnswer::Discard;
    QVERIFY(window.close());
    QCOMPARE(asked, 3);
    QCOMPARE(rig.session.phase(), ScannerSession::Phase::Ended);
    QTRY_VERIFY(!editor);
}

void TestShell::splash()
{
    auto *splash = new SplashWindow;
    QCOMPARE(splash->objectName(), QStringLiteral("frmSplash"));
    QCOMPARE(splash->versionLabelText(), QStringLiteral("Version 1.15.24\u00df  -  Jan 11, 2001"));
    QPointer<SplashWindow> guard(splash);
    splash->show();
    QTest::keyClick(splash, Qt::Key_Space);
    QTRY_VERIFY(guard.isNull()); // closed and released at once
}

void TestShell::serialDeviceChooser()
{
    WindowRig rig;
    rig.session.suspend();
    rig.window.setDeviceLister([] {
        SerialDevice usb{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("USB-Serial Controller"),
                         QStringLiteral("Prolific"), QStringLiteral("A1B2"), QStringLiteral("067b:2303"),
                         QStringLiteral("/dev/serial/by-id/usb-Prolific_A1B2-if00-port0")};
        SerialDevice plain{QStringLiteral("/dev/ttyS0"), {}, {}, {}, {}, {}};
        return QList<SerialDevice>{plain, usb};
    });
    const int opensBefore = rig.port.openCount();

    // Picking the adapter stores its stable name for the current port, and
    // the port is opened on it at once, through the resume.
    QTimer::singleShot(0, this, [] {
        auto *dialog = qobject_cast<SerialDeviceDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->list()->topLevelItemCount(), 2);
        QCOMPARE(dialog->list()->topLevelItem(1)->text(4), QStringLiteral("067b:2303"));
        dialog->list()->setCurrentItem(dialog->list()->topLevelItem(1));
        QCOMPARE(dialog->device(), QStringLiteral("/dev/serial/by-id/usb-Prolific_A1B2-if00-port0"));
        dialog->overlapBox()->setChecked(true);
        dialog->buttons()->button(QDialogButtonBox::Ok)->click();
    });
    rig.window.findChild<QAction *>(QStringLiteral("mnuSerialDevice"))->trigger();
    QCOMPARE(rig.store->value("Config/Com_Device_1").toString(), QStringLiteral("/dev/serial/by-id/usb-Prolific_A1B2-if00-port0"));
    QCOMPARE(rig.store->value("Config/Overlap_Transfers").toBool(), true);
    QCOMPARE(rig.port.openCount(), opensBefore + 1);
    QCOMPARE(rig.port.openedDevice(), QStringLiteral("/dev/serial/by-id/usb-Prolific_A1B2-if00-port0"));
    QVERIFY(rig.display().statusLine().endsWith(QLatin1String("again...")));

    // A network address typed in must be well formed before OK is offered.
    QTimer::singleShot(0, this, [] {
        auto *dialog = qobject_cast<SerialDeviceDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QPushButton *ok = dialog->buttons()->button(QDialogButtonBox::Ok);
        dialog->deviceEdit()->setText(QStringLiteral("socket://attic-pc"));
        QVERIFY(!ok->isEnabled());
        dialog->deviceEdit()->setText(QStringLiteral("socket://attic-pc:3001"));
        QVERIFY(ok->isEnabled());
        dialog->buttons()->button(QDialogButtonBox::Cancel)->click();
    });
    rig.window.chooseSerialDevice();
    QCOMPARE(rig.store->value("Config/Com_Device_1").toString(), QStringLiteral("/dev/serial/by-id/usb-Prolific_A1B2-if00-port0"));
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
