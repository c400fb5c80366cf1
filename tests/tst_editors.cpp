// The channel bank editor.

#include "EditorRig.h"
#include "data/Frequency.h"
#include "data/EditorModels.h"
#include "data/RecordCursor.h"
#include "ui/EditorNavigation.h"
#include "ui/ScannerBankEditor.h"
#include "ui/TalkGroupsEditor.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>
#include <QApplication>


class TestEditors : public QObject
{
    Q_OBJECT
private slots:
    void cursorAndNavigation();
    void bankEditorLoads();
    void bankEditorNavigates();
    void bankEditorEditCycle();
    void updateRefusedStaysInEditMode();
    void deleteRows();
    void tabSwitch();
    void emptyBank();
    void validation();
    void missingTable();
};

void TestEditors::cursorAndNavigation()
{
    RecordCursor cursor;
    int beeps = 0;
    const EditorNavigation::Beep beep = [&beeps] { ++beeps; };
    cursor.reset(0);
    QCOMPARE(cursor.absolutePosition(), RecordCursor::kUnknown);
    EditorNavigation::next(cursor, beep);
    EditorNavigation::previous(cursor, beep);
    QCOMPARE(beeps, 0);
    QCOMPARE(cursor.absolutePosition(), RecordCursor::kUnknown);

    QList<int> seen;
    cursor.setMoved([&] { seen << cursor.absolutePosition(); });
    cursor.reset(3, 2);
    seen.clear();
    EditorNavigation::next(cursor, beep);
    QCOMPARE(beeps, 1);
    QCOMPARE(seen, QList<int>({RecordCursor::kEof, 3})); // past the end, then back on the last
    seen.clear();
    cursor.moveFirst();
    EditorNavigation::previous(cursor, beep);
    QCOMPARE(beeps, 2);
    QCOMPARE(seen, QList<int>({1, RecordCursor::kBof, 1}));
}

void TestEditors::bankEditorLoads()
{
    Db t;
    t.fillBank1();
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    QCOMPARE(editor.objectName(), QStringLiteral("ScannerBank"));
    QCOMPARE(editor.windowTitle(), QStringLiteral("BANK01"));
    QCOMPARE(editor.gridCaption(), QString());
    QCOMPARE(editor.tableName(), QStringLiteral("BANK01"));
    QCOMPARE(visibleColumns(editor.grid()),
             QStringList({"CHANNEL", "FREQUENCY", "TRUNKED", "DELAY", "LOCKOUT", "PRIORITY", "CALLSIGN",
                          "COMPANY_NAME", "RS", "CITY", "COUNTY", "STATE", "LATITUDE", "LONGITUDE", "NOTES"}));
    QCOMPARE(editor.model()->data(editor.model()->index(0, 0)).toInt(), 1); // ordered by channel
    QCOMPARE(editor.status()->text(), QStringLiteral("Record: 1"));
    QCOMPARE(editor.tabs()->count(), 20);
    QCOMPARE(editor.tabs()->tabText(19), QStringLiteral("Bank 20"));
    QCOMPARE(editor.tabs()->tabData(8).toString(), QStringLiteral("Bank09"));
    for (const char *name : {"cmdAdd", "cmdEdit"})
        QVERIFY(!editor.button(QLatin1String(name))->isHidden());
    for (const char *name : {"cmdUpdate", "cmdCancel", "cmdDelete", "cmdRefresh", "cmdClose", "cmdFirst", "cmdNext"})
        QVERIFY(editor.button(QLatin1String(name))->isHidden());
    QCOMPARE(editor.button(QStringLiteral("cmdUpdate"))->geometry(), editor.button(QStringLiteral("cmdAdd"))->geometry());
}

void TestEditors::bankEditorNavigates()
{
    Db t;
    t.fillBank1();
    auto *editor = new ScannerBankEditor(t.path, t.message());
    QPointer<ScannerBankEditor> guard(editor);
    editor->setBeep([&t] { ++t.beeps; });
    QVERIFY(editor->load());
    editor->show();
    QWidget *grid = editor->grid();

    key(grid, Qt::Key_End);
    QCOMPARE(editor->status()->text(), QStringLiteral("Record: 3"));
    key(grid, Qt::Key_Down); // past the end: a beep, back on the last row
    QCOMPARE(t.beeps, 1);
    QCOMPARE(editor->status()->text(), QStringLiteral("Record: 3"));
    QCOMPARE(editor->grid()->currentIndex().row(), 2);
    key(grid, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(editor->status()->text(), QStringLiteral("Record: 1"));
    key(grid, Qt::Key_PageUp); // before the start: a beep, back on the first
    QCOMPARE(t.beeps, 2);
    QCOMPARE(editor->status()->text(), QStringLiteral("Record: 1"));
    key(grid, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(editor->status()->text(), QStringLiteral("Record: 3"));
    key(grid, Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier); // not Ctrl alone: previous
    QCOMPARE(editor->status()->text(), QStringLiteral("Record: 2"));
    key(grid, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(editor->status()->text(), QStringLiteral("Record: 1"));
    key(grid, Qt::Key_Down);
    QCOMPARE(editor->status()->text(), QStringLiteral("Record: 2"));
    key(grid, Qt::Key_Home);
    QCOMPARE(editor->status()->text(), QStringLiteral("Record: 1"));

    // In edit mode the keys are the grid's, Escape included.
    editor->edit();
    key(grid, Qt::Key_End);
    QCOMPARE(editor->status()->text(), QStringLiteral("Edit record"));
    key(grid, Qt::Key_Escape);
    QVERIFY(guard);
    editor->cancel();
    key(grid, Qt::Key_Escape);
    QTRY_VERIFY(guard.isNull()); // closed and released
}

void TestEditors::bankEditorEditCycle()
{
    Db t;
    t.fillBank1();
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    editor.edit();
    QVERIFY(editor.editMode());
    QCOMPARE(editor.status()->text(), QStringLiteral("Edit record"));
    for (const char *name : {"cmdUpdate", "cmdCancel"})
        QVERIFY(!editor.button(QLatin1String(name))->isHidden());
    for (const char *name : {"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdClose"})
        QVERIFY(editor.button(QLatin1String(name))->isHidden());
    QVERIFY(!editor.button(QStringLiteral("cmdNext"))->isEnabled());

    const int company = editor.model()->fieldIndex(QStringLiteral("COMPANY_NAME"));
    QVERIFY(editor.model()->setData(editor.model()->index(1, company), QStringLiteral("Changed")));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE COMPANY_NAME = 'Changed'")), 0); // pending
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE COMPANY_NAME = 'Changed'")), 1);
    QVERIFY(!editor.editMode());
    for (const char *name : {"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdClose"})
        QVERIFY(!editor.button(QLatin1String(name))->isHidden());

    // Cancel drops what was typed and ends on the first row.
    editor.edit();
    editor.last();
    QVERIFY(editor.model()->setData(editor.model()->index(2, company), QStringLiteral("Dropped")));
    editor.cancel();
    QCOMPARE(editor.status()->text(), QStringLiteral("Record: 1"));
    QCOMPARE(editor.model()->data(editor.model()->index(2, company)).toString(), QStringLiteral("C"));

    // Add: a new row at the end, stored by Update.
    editor.add();
    QCOMPARE(editor.model()->rowCount(), 4);
    QCOMPARE(editor.status()->text(), QStringLiteral("Record: 4"));
    QVERIFY(editor.model()->setData(editor.model()->index(3, 0), 4));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01")), 4);

    // Refresh reads the table again.
    t.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL) VALUES (5)"));
    editor.refresh();
    QCOMPARE(editor.model()->rowCount(), 5);
}

void TestEditors::updateRefusedStaysInEditMode()
{
    Db t;
    t.fillBank1();
    t.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON BANK01 BEGIN SELECT RAISE(ABORT, 'locked by test'); END"));
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    editor.edit();
    QVERIFY(editor.model()->setData(editor.model()->index(0, editor.model()->fieldIndex(QStringLiteral("NOTES"))),
                                    QStringLiteral("x")));
    QVERIFY(!editor.update());
    QVERIFY(editor.editMode());
    QVERIFY(!editor.button(QStringLiteral("cmdUpdate"))->isHidden());
    QVERIFY2(editor.status()->text().contains(QLatin1String("locked by test")), qPrintable(editor.status()->text()));
    // The edit is still there to try again.
    QVERIFY(editor.model()->isDirty());

    // A bank switch cannot write it either: the editor stays on the bank.
    editor.selectBank(2);
    QCOMPARE(editor.currentBank(), 1);
    QCOMPARE(editor.tabs()->currentIndex(), 0);
    QVERIFY(editor.model()->isDirty());
}

void TestEditors::deleteRows()
{
    Db t;
    t.fillBank1();
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    editor.last();
    editor.remove();
    QCOMPARE(editor.status()->text(), QStringLiteral("Record: 2")); // the new last row
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01")), 3); // until Update
    QCOMPARE(editor.windowTitle(), QStringLiteral("BANK01*"));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01")), 2);
    QCOMPARE(editor.windowTitle(), QStringLiteral("BANK01"));
    editor.first();
    editor.remove();
    QCOMPARE(editor.status()->text(), QStringLiteral("Record: 1")); // the row after it
    QCOMPARE(editor.model()->data(editor.model()->index(0, 0)).toInt(), 2);
    editor.remove();
    QCOMPARE(editor.model()->rowCount(), 0);
    QCOMPARE(editor.status()->text(), QStringLiteral("Record: -1"));
    editor.remove(); // nothing left: nothing happens
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01")), 0);
}

void TestEditors::tabSwitch()
{
    Db t;
    t.fillBank1();
    t.exec(QStringLiteral("INSERT INTO BANK10 (CHANNEL) VALUES (451)"));
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    // A pending edit is written by the switch.
    editor.edit();
    QVERIFY(editor.model()->setData(editor.model()->index(0, editor.model()->fieldIndex(QStringLiteral("NOTES"))),
                                    QStringLiteral("kept")));
    editor.selectBank(9);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'kept'")), 1);
    QVERIFY(!editor.editMode());
    QVERIFY(!editor.button(QStringLiteral("cmdDelete"))->isHidden());
    QCOMPARE(editor.tableName(), QStringLiteral("BANK09"));
    QCOMPARE(editor.windowTitle(), QStringLiteral("Bank09"));

    editor.selectBank(10);
    QCOMPARE(editor.tableName(), QStringLiteral("BANK10"));
    QCOMPARE(editor.windowTitle(), QStringLiteral("Bank10"));
    QCOMPARE(editor.gridCaption(), QStringLiteral("Bank10"));
    QCOMPARE(editor.tabs()->currentIndex(), 9);
    // After a switch every column of the table shows, sFREQ among them.
    QCOMPARE(visibleColumns(editor.grid()).size(), 16);
    QVERIFY(visibleColumns(editor.grid()).contains(QStringLiteral("sFREQ")));
    QCOMPARE(editor.status()->text(), QStringLiteral("Record: 1"));

    editor.selectBank(5);
    QCOMPARE(editor.tableName(), QStringLiteral("BANK05"));
    QCOMPARE(editor.windowTitle(), QStringLiteral("Bank05"));
}

void TestEditors::emptyBank()
{
    Db t;
    ScannerBankEditor editor(t.path, t.message());
    editor.setBeep([&t] { ++t.beeps; });
    QVERIFY(editor.load());
    QCOMPARE(editor.status()->text(), QStringLiteral("Record: -1"));
    editor.next();
    editor.previous();
    QCOMPARE(t.beeps, 0);
    QCOMPARE(editor.status()->text(), QStringLiteral("Record: -1"));
}

void TestEditors::validation()
{
    QVariant v;
    QVERIFY(!BankTableModel::normalise(QStringLiteral("CHANNEL"), QStringLiteral("abc"), &v));
    QVERIFY(!BankTableModel::normalise(QStringLiteral("CHANNEL"), 1001, &v));
    QVERIFY(BankTableModel::normalise(QStringLiteral("CHANNEL"), QStringLiteral(" 53 "), &v));
    QCOMPARE(v.toInt(), 53);
    // One rule for both frequency columns: above 0, at most 1300 MHz, at
    // most four decimals; nothing or nought is an empty channel.
    for (const char *column : {"FREQUENCY", "sFREQ"}) {
        for (const char *bad : {"-5", "1350.0000", "1300.0001", "154.41505", "abc", "1e3", "154,415", "0x10"})
            QVERIFY2(!BankTableModel::normalise(QLatin1String(column), QLatin1String(bad), &v), bad);
    }
    const struct
    {
        const char *typed;
        double mhz;
        const char *sFreq;
    } good[] = {{"154.415", 154.415, "154.4150"}, {" 1296 ", 1296, "1296.0000"}, {"12.5", 12.5, "012.5000"},
                {"1300", 1300, "1300.0000"}, {"0.0001", 0.0001, "000.0001"}, {"", 0, "000.000"},
                {"000.000", 0, "000.000"}, {"0", 0, "000.000"}};
    for (const auto &g : good) {
        QVariant mhz, sFreq;
        QVERIFY2(BankTableModel::frequencyPair(QLatin1String(g.typed), &mhz, &sFreq), g.typed);
        QCOMPARE(mhz.toDouble(), g.mhz);
        QCOMPARE(sFreq.toString(), QLatin1String(g.sFreq));
    }
    // What a restore types of a row: FREQUENCY, or sFREQ where it is NULL.
    QCOMPARE(Frequency::restoreText(460.125, QStringLiteral("154.4150")), QVariant(QStringLiteral("460.1250")));
    QCOMPARE(Frequency::restoreText(QVariant(), QStringLiteral("154.415")), QVariant(QStringLiteral("154.4150")));
    QCOMPARE(Frequency::restoreText(0, QVariant()), QVariant(QStringLiteral("000.000")));
    QVERIFY(Frequency::restoreText(1350.0, QStringLiteral("154.4150")).isNull());
    QVERIFY(Frequency::restoreText(154.41505, QVariant()).isNull());
    QVERIFY(Frequency::restoreText(QVariant(), QStringLiteral("junk")).isNull());
    QVERIFY(!BankTableModel::normalise(QStringLiteral("TRUNKED"), QStringLiteral("maybe"), &v));
    QVERIFY(BankTableModel::normalise(QStringLiteral("DELAY"), QStringLiteral("true"), &v));
    QCOMPARE(v.toInt(), 1);
    QVERIFY(BankTableModel::normalise(QStringLiteral("NOTES"), QStringLiteral("anything ' at all"), &v));
    QVERIFY(!TalkgroupTableModel::normalise(QStringLiteral("ID"), QStringLiteral("  "), &v));
    QVERIFY(!TalkgroupTableModel::normalise(QStringLiteral("DATE"), QStringLiteral("yesterday"), &v));
    QVERIFY(TalkgroupTableModel::normalise(QStringLiteral("TIME"), QStringLiteral("14:05:09"), &v));

    // The model refuses such a value and keeps what it had.
    Db t;
    t.fillBank1();
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    QVERIFY(!editor.model()->setData(editor.model()->index(0, 0), QStringLiteral("abc")));
    QCOMPARE(editor.model()->data(editor.model()->index(0, 0)).toInt(), 1);
    QVERIFY(!editor.model()->isDirty());
}

void TestEditors::missingTable()
{
    Db t;
    {
        // Tables missing when the editor opens the file are made again.
        t.exec(QStringLiteral("DROP TABLE BANK01"));
        ScannerBankEditor editor(t.path, t.message());
        QVERIFY(editor.load());
        QVERIFY(t.messages.isEmpty());

        // One lost while the editor is open is reported and the editor stays put.
        t.exec(QStringLiteral("DROP TABLE BANK03"));
        editor.selectBank(2);
        QCOMPARE(editor.tableName(), QStringLiteral("BANK02"));
        editor.selectBank(3);
        QCOMPARE(t.messages.size(), 1);
        QCOMPARE(editor.tableName(), QStringLiteral("BANK02"));
        QCOMPARE(editor.tabs()->currentIndex(), 1);
    }
    // Not a database at all.
    QTemporaryDir dir;
    QFile junk(dir.filePath(QStringLiteral("junk.db")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(2048, 'z'));
    junk.close();
    // (An editor of the same kind is open only once at a time.)
    ScannerBankEditor broken(junk.fileName(), t.message());
    QVERIFY(!broken.load());
    TalkGroupsEditor brokenTalkgroups(junk.fileName(), t.message());
    QVERIFY(!brokenTalkgroups.load());
    QCOMPARE(t.messages.size(), 3);
}

QTEST_MAIN(TestEditors)
#include "tst_editors.moc"
