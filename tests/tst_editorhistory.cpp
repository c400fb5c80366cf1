// The editors as a spreadsheet: an undo history that gives the table back
// exactly, tab-separated cells to and from the clipboard, checked before
// anything is written, and blocks of channels moved across banks.

#include "EditorRig.h"
#include "data/BankTables.h"
#include "data/DataChanges.h"
#include "data/EditorModels.h"
#include "data/TabText.h"
#include "ui/EditorHistory.h"
#include "ui/ScannerBankEditor.h"
#include "ui/TalkGroupsEditor.h"

#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QTabBar>
#include <QUndoStack>

namespace {

// Every row of a table, each value with its type, in the table's order.
QString dump(Db &t, const QString &table, const QString &order = QStringLiteral("CHANNEL"))
{
    QSqlQuery q(t.db.database());
    q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2, rowid").arg(table, order));
    QString out;
    while (q.next()) {
        for (int c = 0; c < q.record().count(); ++c)
            out += q.value(c).isNull() ? QStringLiteral("NULL|") : q.value(c).typeName() + (':' + q.value(c).toString()) + '|';
        out += '\n';
    }
    return out;
}

void fill(Db &t)
{
    t.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, FREQUENCY, sFREQ, TRUNKED, COMPANY_NAME, NOTES) VALUES "
                          "(1, 151.0, '151.0000', 0, 'A', 'n1'), (2, 152.0, '152.0000', 1, 'B', NULL), "
                          "(3, 153.0, '153.0000', 0, 'C', 'n3'), (50, 160.0, '160.0000', 0, 'Last', NULL)"));
    t.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, FREQUENCY, sFREQ, COMPANY_NAME) VALUES (52, 162.5, '162.5000', 'Z')"));
}

// Answers every question with OK or Cancel, and keeps what was said.
MessageFn answering(QStringList *said, const bool *ok)
{
    return [said, ok](MessageKind kind, const QString &, const QString &text) {
        *said << text;
        return kind == MessageKind::OkCancel ? *ok : true;
    };
}

void currentCell(ScannerBankEditor &editor, int row, const QString &column)
{
    editor.grid()->setCurrentIndex(gridIndex(editor.grid(), editor.model()->index(row, editor.model()->fieldIndex(column))));
}

} // namespace

class TestEditorHistory : public QObject
{
    Q_OBJECT
private slots:
    void tabText();
    void undoGivesBackTheTable();
    void pasteChecksEveryCell();
    void moveAcrossBanks();
    void historyAcrossSaves();
    void findAndSort();
    void talkgroupHistory();
};

void TestEditorHistory::tabText()
{
    // As a spreadsheet writes a block: quoted cells hold tabs, line breaks and quotes.
    const QString sheet = QStringLiteral("a\t\"b\tc\"\r\n\"line1\nline2\"\t\"say \"\"hi\"\"\"\r\n\t\n");
    const QList<QStringList> rows = TabText::read(sheet);
    QCOMPARE(rows, (QList<QStringList>{{"a", "b\tc"}, {"line1\nline2", "say \"hi\""}, {"", ""}}));
    QCOMPARE(TabText::read(TabText::write(rows)), rows);
    QCOMPARE(TabText::read(QStringLiteral("x")), (QList<QStringList>{{"x"}}));
}

void TestEditorHistory::undoGivesBackTheTable()
{
    Db t;
    fill(t);
    const QString original = dump(t, QStringLiteral("BANK01")) + dump(t, QStringLiteral("BANK02"));
    QStringList said;
    bool ok = true;
    ScannerBankEditor editor(t.path, answering(&said, &ok));
    QVERIFY(editor.load());
    editor.show();
    BankTableModel *m = editor.model();
    QUndoStack *stack = editor.history()->stack();

    QVERIFY(m->setData(m->index(0, m->fieldIndex(QStringLiteral("NOTES"))), QStringLiteral("edited")));
    QCOMPARE(editor.windowTitle(), QStringLiteral("BANK01*"));
    currentCell(editor, 1, QStringLiteral("FREQUENCY"));
    editor.cursor().moveTo(1);
    QVERIFY(editor.paste(QStringLiteral("155.5\t1\n156.25\t0\n")));
    editor.cursor().moveTo(2);
    editor.remove();
    QVERIFY(editor.moveRows({0}, 51)); // into bank 2
    QVERIFY(editor.paste(QStringLiteral("157\n"))); // FREQUENCY of channel 1, emptied by the move
    QCOMPARE(stack->count(), 5);
    QVERIFY(editor.update());
    const QString changed = dump(t, QStringLiteral("BANK01")) + dump(t, QStringLiteral("BANK02"));
    QVERIFY(changed != original);
    QCOMPARE(editor.windowTitle(), QStringLiteral("BANK01"));

    // The keys: Ctrl+Z, and Ctrl+Y or Ctrl+Shift+Z to redo.
    editor.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    key(editor.grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(stack->index(), 4);
    QVERIFY(editor.windowTitle().endsWith(QLatin1Char('*')));
    key(editor.grid(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(stack->index(), 5);
    key(editor.grid(), Qt::Key_Z, Qt::ControlModifier);
    key(editor.grid(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(stack->index(), 5);
    QVERIFY(editor.update());
    QCOMPARE(dump(t, QStringLiteral("BANK01")) + dump(t, QStringLiteral("BANK02")), changed);

    // Back step by step, written, then forward again: the table as it was each time.
    while (stack->canUndo())
        stack->undo();
    QVERIFY(editor.windowTitle().endsWith(QLatin1Char('*')));
    QVERIFY(editor.update());
    QCOMPARE(dump(t, QStringLiteral("BANK01")) + dump(t, QStringLiteral("BANK02")), original);
    while (stack->canRedo())
        stack->redo();
    QVERIFY(editor.update());
    QCOMPARE(dump(t, QStringLiteral("BANK01")) + dump(t, QStringLiteral("BANK02")), changed);

    // An import into the bank shown is a step too; Discard drops what the
    // history left pending.
    editor.selectBank(1);
    const QString imported = dump(t, QStringLiteral("BANK01"));
    t.exec(QStringLiteral("UPDATE BANK01 SET NOTES = 'imported' WHERE CHANNEL = 2"));
    DataChanges::announce({QStringLiteral("BANK01")});
    QTRY_COMPARE(editor.model()->data(editor.model()->index(BankTables::rowOfChannel(editor.model(), 2),
                                                            m->fieldIndex(QStringLiteral("NOTES")))).toString(),
                 QStringLiteral("imported"));
    stack->undo();
    QVERIFY(editor.update());
    QCOMPARE(dump(t, QStringLiteral("BANK01")), imported);
}

void TestEditorHistory::pasteChecksEveryCell()
{
    Db t;
    fill(t);
    const QString original = dump(t, QStringLiteral("BANK01"));
    QStringList said;
    bool ok = false;
    ScannerBankEditor editor(t.path, answering(&said, &ok));
    QVERIFY(editor.load());
    currentCell(editor, 0, QStringLiteral("FREQUENCY"));
    // Two bad cells among good ones: both named, nothing written.
    QVERIFY(!editor.paste(QStringLiteral("151.5\t1\tWest\n9999999\tmaybe\tEast\n152.5\t0\tNorth\n")));
    QCOMPARE(said.size(), 1);
    QVERIFY2(said.first().contains(QLatin1String("line 2 (channel 2), FREQUENCY: \"9999999\""))
                 && said.first().contains(QLatin1String("line 2 (channel 2), TRUNKED: \"maybe\"")),
             qPrintable(said.first()));
    QVERIFY(!editor.tables()->isDirty());
    QCOMPARE(editor.history()->stack()->count(), 0);

    // More lines than the bank holds from channel 49: asked; Cancel stops at channel 50.
    said.clear();
    QVERIFY(editor.paste(QStringLiteral("149\n150\n151\n152\n")));
    QCOMPARE(said.size(), 0); // from channel 1: fits
    editor.cursor().moveLast(); // channel 50
    currentCell(editor, editor.cursor().row(), QStringLiteral("FREQUENCY"));
    QVERIFY(editor.paste(QStringLiteral("170\n171\n")));
    QCOMPARE(said.size(), 1);
    QVERIFY2(said.first().contains(QLatin1String("bank 1 ends at channel 50")), qPrintable(said.first()));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL = 50 AND sFREQ = '170.0000'")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL = 4 AND sFREQ = '152.0000'")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK02 WHERE CHANNEL = 51")), 0);
    QVERIFY(original != dump(t, QStringLiteral("BANK01")));

    // The talkgroup editor checks with its rules too; quoted cells keep their tabs.
    TalkGroupsEditor groups(t.path, t.message());
    QVERIFY(groups.load());
    QVERIFY(!groups.paste(QStringLiteral("100\tTown\tnotes\tFire\t25:99\n")));
    QVERIFY2(t.messages.last().contains(QLatin1String("TIME: \"25:99\"")), qPrintable(t.messages.last()));
    QVERIFY(groups.paste(QStringLiteral("100\t\"Town\twith tab\"\n200\tCity\n")));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE ID = '100' AND CITY = 'Town\twith tab'")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 2);
}

void TestEditorHistory::moveAcrossBanks()
{
    Db t;
    fill(t);
    QStringList said;
    bool ok = true;
    ScannerBankEditor editor(t.path, answering(&said, &ok));
    QVERIFY(editor.load());
    // Channels 2 and 3 to 50 and 51: channel 50 holds data, 51 is in bank 2.
    // Asked both; Cancel to both moves nothing.
    ok = false;
    QVERIFY(!editor.moveRows({1, 2}, 50));
    QCOMPARE(said.size(), 2);
    QVERIFY(!editor.tables()->isDirty());
    said.clear();
    ok = true;
    QVERIFY(editor.moveRows({1, 2}, 50));
    QCOMPARE(said.size(), 2);
    QVERIFY2(said.at(1).contains(QLatin1String("50")), qPrintable(said.at(1)));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL = 50 AND COMPANY_NAME = 'B' AND TRUNKED = 1")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK02 WHERE CHANNEL = 51 AND COMPANY_NAME = 'C' AND NOTES = 'n3'")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL IN (2, 3) AND FREQUENCY = 0 AND sFREQ = '000.000' AND COMPANY_NAME IS NULL")), 2);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE COMPANY_NAME = 'Last'")), 0);
}

void TestEditorHistory::historyAcrossSaves()
{
    Db t;
    fill(t);
    const QString original = dump(t, QStringLiteral("BANK01"));
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    QUndoStack *stack = editor.history()->stack();
    BankTableModel *m = editor.model();
    // A row added and typed, a row deleted: each written at once.
    editor.add();
    const int added = m->rowCount() - 1;
    QVERIFY(m->setData(m->index(added, 0), QStringLiteral("4")));
    QVERIFY(m->setData(m->index(added, m->fieldIndex(QStringLiteral("NOTES"))), QStringLiteral("new")));
    QVERIFY(editor.update());
    editor.first();
    editor.remove();
    QVERIFY(editor.update());
    const QString changed = dump(t, QStringLiteral("BANK01"));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01")), 4);
    QCOMPARE(stack->count(), 4);
    // Undone after they were written: the deleted row comes back, the added one goes.
    while (stack->canUndo())
        stack->undo();
    QCOMPARE(m->rowCount(), 4);
    QVERIFY(editor.update());
    QCOMPARE(dump(t, QStringLiteral("BANK01")), original);
    while (stack->canRedo())
        stack->redo();
    QVERIFY(editor.update());
    QCOMPARE(dump(t, QStringLiteral("BANK01")), changed);
}

void TestEditorHistory::findAndSort()
{
    Db t;
    fill(t);
    t.exec(QStringLiteral("INSERT INTO BANK07 (CHANNEL, FREQUENCY, sFREQ, COMPANY_NAME) VALUES "
                          "(301, 0, '000.000', NULL), (310, 155.0, '155.0000', 'Harbor Patrol')"));
    t.exec(QStringLiteral("INSERT INTO BANK15 (CHANNEL, FREQUENCY, sFREQ, NOTES) VALUES (720, 460.125, '460.1250', 'x')"));
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    editor.show();

    // Any text column, then by frequency; the bank, its tab, the row and the cell.
    QVERIFY(editor.find({QStringLiteral("harbor"), QString()}));
    QCOMPARE(editor.currentBank(), 7);
    QCOMPARE(editor.tabs()->currentIndex(), 6);
    QCOMPARE(editor.cursor().row(), 1);
    const QModelIndex found = editor.grid()->currentIndex();
    QCOMPARE(found.row(), 1);
    QCOMPARE(found.data().toString(), QStringLiteral("Harbor Patrol"));
    QVERIFY(editor.find({QStringLiteral("460.125"), QStringLiteral("FREQUENCY")}));
    QCOMPARE(editor.currentBank(), 15);
    QCOMPARE(editor.model()->value(editor.cursor().row(), 0).toInt(), 720);
    // Round past bank 20 to bank 1; nothing found stays put.
    QVERIFY(editor.find({QStringLiteral("Last"), QStringLiteral("COMPANY_NAME")}));
    QCOMPARE(editor.currentBank(), 1);
    QCOMPARE(editor.cursor().row(), 3);
    QVERIFY(!editor.find({QStringLiteral("nowhere"), QString()}));
    QCOMPARE(editor.currentBank(), 1);
    // A bank open but not shown, written elsewhere: found as it is now.
    t.exec(QStringLiteral("UPDATE BANK07 SET COMPANY_NAME = 'Harbour Master' WHERE CHANNEL = 310"));
    DataChanges::announce({QStringLiteral("BANK07")});
    QVERIFY(editor.find({QStringLiteral("harbour"), QString()}));
    QCOMPARE(editor.currentBank(), 7);
    editor.selectBank(1);

    // A header click sorts the grid only; edits there land on the right row.
    const QString stored = dump(t, QStringLiteral("BANK01"));
    BankTableModel *m = editor.model();
    const int company = m->fieldIndex(QStringLiteral("COMPANY_NAME"));
    editor.grid()->sortByColumn(company, Qt::DescendingOrder);
    QCOMPARE(editor.grid()->model()->index(0, company).data().toString(), QStringLiteral("Last"));
    QCOMPARE(m->value(0, company).toString(), QStringLiteral("A"));
    QVERIFY(editor.grid()->model()->setData(editor.grid()->model()->index(0, company), QStringLiteral("Final")));
    editor.grid()->selectionModel()->select(editor.grid()->model()->index(0, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    editor.copy();
    QVERIFY2(QApplication::clipboard()->text().startsWith(QLatin1String("50\t")), qPrintable(QApplication::clipboard()->text()));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL = 50 AND COMPANY_NAME = 'Final'")), 1);
    QCOMPARE(m->value(0, 0).toInt(), 1);
    QCOMPARE(editor.grid()->model()->index(0, company).data().toString(), QStringLiteral("Final")); // still sorted
    QString expected = stored;
    expected.replace(QLatin1String("QString:Last|"), QLatin1String("QString:Final|"));
    QCOMPARE(dump(t, QStringLiteral("BANK01")), expected);
    // A row copied where sFREQ is hidden pastes whole where it shows.
    editor.selectBank(2);
    QVERIFY(!editor.grid()->isColumnHidden(m->fieldIndex(QStringLiteral("sFREQ"))));
    editor.grid()->selectionModel()->select(editor.grid()->model()->index(0, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QVERIFY(editor.paste(QApplication::clipboard()->text()));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK02 WHERE CHANNEL = 52 AND sFREQ = '160.0000' "
                                    "AND COMPANY_NAME = 'Final'")),
             1);
    editor.selectBank(1);
    editor.sortByStoredOrder();
    QCOMPARE(editor.grid()->model()->index(0, company).data().toString(), QStringLiteral("A"));
}

void TestEditorHistory::talkgroupHistory()
{
    Db t;
    t.exec(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, NOTES) VALUES ('100', 'Town', 'a	b'), ('200', 'City', NULL)"));
    const QString stored = dump(t, QStringLiteral("TALKGROUPS"), QStringLiteral("ID"));
    int asked = 0;
    auto *editor = new TalkGroupsEditor(t.path, t.message());
    QPointer<TalkGroupsEditor> guard(editor);
    editor->setPendingEditsQuestion([&asked](const QString &, const QString &) {
        ++asked;
        return PendingAnswer::Discard;
    });
    QVERIFY(editor->load());
    editor->show();
    QUndoStack *stack = editor->history()->stack();

    // A whole row cut: copied in the order shown, and deleted at once (the
    // row is left); undone, it is back and written again.
    editor->grid()->selectionModel()->select(editor->grid()->model()->index(0, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    editor->cut();
    QVERIFY2(QApplication::clipboard()->text().startsWith(QLatin1String("100\tTown\t\"a\tb\"\t")),
             qPrintable(QApplication::clipboard()->text()));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 1);
    stack->undo();
    QCOMPARE(editor->windowTitle(), QStringLiteral("TALKGROUPS*"));
    QVERIFY(editor->submitRow());
    QCOMPARE(dump(t, QStringLiteral("TALKGROUPS"), QStringLiteral("ID")), stored);
    QCOMPARE(editor->windowTitle(), QStringLiteral("TALKGROUPS"));

    // An undo not yet written is dropped by a Discard at close.
    TalkgroupTableModel *m = editor->model();
    QVERIFY(m->setData(m->index(0, m->fieldIndex(QStringLiteral("CITY"))), QStringLiteral("Changed")));
    QVERIFY(editor->submitRow());
    stack->undo();
    QVERIFY(m->isDirty());
    editor->close();
    QCOMPARE(asked, 1);
    QTRY_VERIFY(!guard);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE ID = '100' AND CITY = 'Changed'")), 1);
}

QTEST_MAIN(TestEditorHistory)
#include "tst_editorhistory.moc"
