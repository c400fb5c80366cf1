// The menu bar, help, the about box, and opening the editors from the faceplate.

#include "PlateRig.h"
#include "app/AppInfo.h"
#include "editors/ScannerBankEditor.h"
#include "editors/TalkGroupsEditor.h"
#include "faceplate/FacePlateWindow.h"
#include "shell/AboutDialog.h"
#include "shell/Help.h"
#include "shell/MainMenu.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
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
};

void TestShell::menuBar()
{
    PlateRig rig;
    FacePlateWindow window(&rig.plate);
    const QList<QAction *> top = window.menuBar()->actions();
    QStringList captions;
    for (QAction *a : top)
        captions << a->text();
    QCOMPARE(captions, QStringList({"&File", "&Port Setup", "&View", "&Scanning", "&Database", "&WIPEOUT", "&HELP!"}));

    struct Expect
    {
        const char *menu, *name, *caption;
        QKeySequence shortcut;
    };
    const Expect expected[] = {
        {"File", "File_Exit", "Exit", QKeySequence(QStringLiteral("Ctrl+X"))},
        {"COM_Options", "mnuCom_Port", "Com Port", QKeySequence(QStringLiteral("Ctrl+P"))},
        {"COM_Options", "mnuCom_Speed", "Port Speed", QKeySequence(QStringLiteral("Ctrl+S"))},
        {"mnuView", "mnuAuxDisp", "Aux Display", QKeySequence(QStringLiteral("Ctrl+A"))},
        {"SCAN_FUNCTIONS", "Manual", "Manual Mode", {}},
        {"SCAN_FUNCTIONS", "ScanMode", "Scan Mode", {}},
        {"SCAN_FUNCTIONS", "Search", "Search Mode", {}},
        {"DATABASE_FUNCTIONS", "Backup", "Backup Scanner Memory to Database", QKeySequence(QStringLiteral("Ctrl+B"))},
        {"DATABASE_FUNCTIONS", "Restore", "Restore Database to Scanner Memory", QKeySequence(QStringLiteral("Ctrl+R"))},
        {"DATABASE_FUNCTIONS", "EditBanks", "Edit Channel Banks", QKeySequence(QStringLiteral("Ctrl+C"))},
        {"DATABASE_FUNCTIONS", "EditTalkGroups", "Edit Talkgroups", QKeySequence(QStringLiteral("Ctrl+T"))},
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
    QCOMPARE(MainMenu::entries().size(), qsizetype(std::size(expected)));

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
    PlateRig rig;
    QStringList texts, titles;
    QList<MessageKind> kinds;
    rig.plate.setMessage([&](MessageKind kind, const QString &title, const QString &text) {
        kinds << kind;
        titles << title;
        texts << text;
        return true;
    });
    FacePlateWindow window(&rig.plate);
    window.findChild<QAction *>(QStringLiteral("mnuGettingStarted"))->trigger();
    window.findChild<QAction *>(QStringLiteral("mnuTroubleShoot"))->trigger();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts.at(0), texts.at(1));
    QCOMPARE(titles, QStringList(2, QStringLiteral("Orvendal Help")));
    QCOMPARE(kinds.first(), MessageKind::Information);
    const QStringList lines = texts.first().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QStringLiteral("Please see the enclosed Orvendal.Doc file"));
    QCOMPARE(lines.at(1), QStringLiteral("It should be located in the directory:"));
    QCOMPARE(lines.at(2), QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
    QVERIFY(!lines.at(2).endsWith(QDir::separator()));
    QCOMPARE(Help::text(), texts.first());
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
    PlateRig rig;
    FacePlateWindow window(&rig.plate);
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
    PlateRig rig;
    FacePlateWindow window(&rig.plate);
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

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
