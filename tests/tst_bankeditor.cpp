// The channel bank editor keeping the user's work: the tab and the grid
// agree, FREQUENCY and sFREQ hold one frequency, closing asks about changes
// not yet written, every way out of a cell takes what was typed, and a very
// long text does not stall the grid.

#include "EditorRig.h"
#include "data/EditorModels.h"
#include "ui/ScannerBankEditor.h"
#include "ui/TalkGroupsEditor.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>

namespace {

// Opens the grid's own editor on a cell and types into it, replacing what it shows.
QLineEdit *typeInto(QTableView *grid, const QModelIndex &cell, const QString &text)
{
    const QModelIndex index = gridIndex(grid, cell);
    grid->setCurrentIndex(index);
    grid->edit(index);
    auto *line = qobject_cast<QLineEdit *>(grid->indexWidget(index));
    if (line && !text.isNull()) {
        line->selectAll();
        QTest::keyClicks(line, text);
    }
    return line;
}

} // namespace

class TestBankEditor : public QObject
{
    Q_OBJECT
private slots:
    void tabAndGridAgree();
    void oneFrequency();
    void closingAsksAboutPendingEdits();
    void leavingACellTakesIt();
    void longValues();
};

void TestBankEditor::tabAndGridAgree()
{
    Db t;
    t.fillBank1();
    t.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL) VALUES (51)"));
    t.exec(QStringLiteral("INSERT INTO BANK03 (CHANNEL) VALUES (101)"));
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    editor.show();
    QTabBar *tabs = editor.tabs();
    const auto typeNote = [&](const QString &note) {
        BankTableModel *m = editor.model();
        QVERIFY(m->setData(m->index(0, m->fieldIndex(QStringLiteral("NOTES"))), note));
        QVERIFY(editor.update());
    };

    // The mouse wheel over the tabs: the grid follows, and what is typed
    // lands in the bank the tab shows.
    QWheelEvent down(QPointF(5, 5), tabs->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(tabs, &down);
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(editor.tableName(), QStringLiteral("BANK02"));
    typeNote(QStringLiteral("wheel"));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK02 WHERE NOTES = 'wheel'")), 1);

    // The arrow keys on the tabs.
    tabs->setFocus();
    key(tabs, Qt::Key_Right);
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(editor.tableName(), QStringLiteral("BANK03"));
    typeNote(QStringLiteral("keys"));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK03 WHERE NOTES = 'keys'")), 1);

    // From code.
    tabs->setCurrentIndex(0);
    QCOMPARE(editor.tableName(), QStringLiteral("BANK01"));
    QCOMPARE(editor.windowTitle(), QStringLiteral("Bank01"));

    // A switch whose Update fails leaves the tab on the bank still shown,
    // with the edit pending.
    t.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON BANK01 BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    BankTableModel *m = editor.model();
    QVERIFY(m->setData(m->index(0, m->fieldIndex(QStringLiteral("NOTES"))), QStringLiteral("pending")));
    key(tabs, Qt::Key_Right);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(editor.tableName(), QStringLiteral("BANK01"));
    QVERIFY(editor.model()->isDirty());
    QCOMPARE(editor.model()->data(m->index(0, m->fieldIndex(QStringLiteral("NOTES")))).toString(), QStringLiteral("pending"));
}


void TestBankEditor::oneFrequency()
{
    Db t;
    t.fillBank1();
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    BankTableModel *m = editor.model();
    const int freq = m->fieldIndex(QStringLiteral("FREQUENCY"));
    const int sFreq = m->fieldIndex(QStringLiteral("sFREQ"));
    QVERIFY(editor.grid()->isColumnHidden(sFreq)); // the first view shows FREQUENCY only

    // Editing FREQUENCY sets sFREQ as the scanner writes it...
    QVERIFY(m->setData(m->index(0, freq), QStringLiteral("460.125")));
    QCOMPARE(m->data(m->index(0, sFreq)).toString(), QStringLiteral("460.1250"));
    // ...and a value the rule refuses changes neither.
    QVERIFY(!m->setData(m->index(0, freq), QStringLiteral("1350")));
    QCOMPARE(m->data(m->index(0, freq)).toDouble(), 460.125);
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL = 1 AND FREQUENCY = 460.125 "
                                    "AND sFREQ = '460.1250'")),
             1);

    // A row added in the first view gets both.
    editor.add();
    const int row = m->rowCount() - 1;
    QVERIFY(m->setData(m->index(row, m->fieldIndex(QStringLiteral("CHANNEL"))), 4));
    QVERIFY(m->setData(m->index(row, freq), QStringLiteral("1296")));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL = 4 AND sFREQ = '1296.0000'")), 1);

    // With every column shown, editing sFREQ sets FREQUENCY.
    editor.selectBank(2);
    editor.selectBank(1);
    m = editor.model();
    const int shown = m->fieldIndex(QStringLiteral("sFREQ"));
    QVERIFY(!editor.grid()->isColumnHidden(shown));
    QVERIFY(m->setData(m->index(1, shown), QStringLiteral("851.6875")));
    QCOMPARE(m->data(m->index(1, m->fieldIndex(QStringLiteral("FREQUENCY")))).toDouble(), 851.6875);
}


void TestBankEditor::closingAsksAboutPendingEdits()
{
    Db t;
    t.fillBank1();
    t.exec(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY) VALUES ('4711', 'Unknown')"));
    PendingAnswer answer = PendingAnswer::Cancel;
    QStringList asked;
    const PendingEditsFn ask = [&](const QString &, const QString &text) {
        asked << text;
        return answer;
    };
    const QString notes = QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'typed'");
    for (const PendingAnswer a : {PendingAnswer::Cancel, PendingAnswer::Discard, PendingAnswer::Save}) {
        ScannerBankEditor editor(t.path, t.message());
        editor.setAttribute(Qt::WA_DeleteOnClose, false);
        editor.setPendingEditsQuestion(ask);
        QVERIFY(editor.load());
        editor.show();
        // Nothing pending: no question.
        QVERIFY(editor.close());
        QVERIFY(asked.isEmpty());
        editor.show();
        BankTableModel *m = editor.model();
        QVERIFY(m->setData(m->index(0, m->fieldIndex(QStringLiteral("NOTES"))), QStringLiteral("typed")));
        answer = a;
        key(&editor, Qt::Key_Escape); // Escape closes this editor
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.first().contains(QLatin1String("Bank 1")));
        asked.clear();
        QCOMPARE(editor.isVisible(), a == PendingAnswer::Cancel);
        QCOMPARE(m->isDirty(), a == PendingAnswer::Cancel);
        QCOMPARE(t.count(notes), a == PendingAnswer::Save ? 1 : 0);
        if (a == PendingAnswer::Cancel)
            QCOMPARE(m->data(m->index(0, m->fieldIndex(QStringLiteral("NOTES")))).toString(), QStringLiteral("typed"));
    }

    // A Save that cannot write keeps the window open with the edit.
    {
        t.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON TALKGROUPS BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        TalkGroupsEditor editor(t.path, t.message());
        editor.setAttribute(Qt::WA_DeleteOnClose, false);
        editor.setPendingEditsQuestion(ask);
        QVERIFY(editor.load());
        editor.show();
        TalkgroupTableModel *m = editor.model();
        QVERIFY(m->setData(m->index(0, m->fieldIndex(QStringLiteral("CITY"))), QStringLiteral("Springfield")));
        answer = PendingAnswer::Save;
        QVERIFY(!editor.close());
        QVERIFY(editor.isVisible());
        QVERIFY(t.messages.last().contains(QLatin1String("refused")));
        QCOMPARE(m->data(m->index(0, m->fieldIndex(QStringLiteral("CITY")))).toString(), QStringLiteral("Springfield"));
        t.exec(QStringLiteral("DROP TRIGGER refuse"));
        QVERIFY(editor.close());
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE CITY = 'Springfield'")), 1);
    }
}

void TestBankEditor::leavingACellTakesIt()
{
    Db t;
    t.fillBank1();
    t.exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL) VALUES (51)"));
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    BankTableModel *m = editor.model();
    const int freq = m->fieldIndex(QStringLiteral("FREQUENCY"));
    const int sFreq = m->fieldIndex(QStringLiteral("sFREQ"));
    const int notes = m->fieldIndex(QStringLiteral("NOTES"));

    // A frequency cell opened and left as it was: nothing changes.
    QLineEdit *line = typeInto(editor.grid(), m->index(2, freq), QString());
    QVERIFY(line);
    QCOMPARE(line->text(), QStringLiteral("154.4150"));
    QPointer<QLineEdit> open(line);
    key(line, Qt::Key_Return); // taken once the key is handled
    QTRY_VERIFY(!open);
    QVERIFY(!m->isDirty());

    // 460.125 typed into the grid's own editor keeps its last decimal.
    line = typeInto(editor.grid(), m->index(0, freq), QStringLiteral("460.125"));
    key(line, Qt::Key_Return);
    QTRY_COMPARE(m->data(m->index(0, freq)).toString(), QStringLiteral("460.1250"));
    QCOMPARE(m->data(m->index(0, sFreq)).toString(), QStringLiteral("460.1250"));

    // Alt+U with a cell still open writes what it holds.
    editor.edit();
    line = typeInto(editor.grid(), m->index(1, notes), QStringLiteral("by Alt+U"));
    QVERIFY(line);
    key(line, Qt::Key_U, Qt::AltModifier);
    QTRY_VERIFY(!editor.editMode());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'by Alt+U'")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE FREQUENCY = 460.125 AND sFREQ = '460.1250'")), 1);

    // A click on another tab with a cell still open writes it to the bank it was typed in.
    typeInto(editor.grid(), m->index(2, notes), QStringLiteral("before the switch"));
    QTest::mouseClick(editor.tabs(), Qt::LeftButton, {}, editor.tabs()->tabRect(1).center());
    QCOMPARE(editor.tableName(), QStringLiteral("BANK02"));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'before the switch'")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK02 WHERE NOTES IS NOT NULL")), 0);

    // A value the column cannot take is refused with the reason shown.
    line = typeInto(editor.grid(), editor.model()->index(0, 0), QStringLiteral("abc"));
    key(line, Qt::Key_Return);
    QTRY_VERIFY2(editor.status()->text().contains(QLatin1String("CHANNEL")), qPrintable(editor.status()->text()));
    QVERIFY(!editor.model()->isDirty());
}

void TestBankEditor::longValues()
{
    Db t;
    t.fillBank1();
    const QString huge(10 * 1024 * 1024, QLatin1Char('x'));
    {
        QSqlQuery q(t.db.database());
        q.prepare(QStringLiteral("UPDATE BANK01 SET NOTES = ? WHERE CHANNEL = 2"));
        q.addBindValue(huge);
        QVERIFY(q.exec());
    }
    QElapsedTimer timer;
    timer.start();
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    qInfo("bank editor with a 10 MB cell open and drawn in %lld ms", timer.elapsed());
    BankTableModel *m = editor.model();
    const QModelIndex notes = m->index(1, m->fieldIndex(QStringLiteral("NOTES")));
    // Shown cut, with a mark; the whole value is what gets edited.
    const QString shown = notes.data().toString();
    QCOMPARE(shown.size(), RowTableModel::kShownChars + 1);
    QVERIFY(shown.endsWith(RowTableModel::kCutMark));
    QCOMPARE(notes.data(Qt::EditRole).toString().size(), huge.size());

    // Another cell of the row is written without touching the long one.
    QVERIFY(m->setData(notes.siblingAtColumn(m->fieldIndex(QStringLiteral("CITY"))), QStringLiteral("Ogdenville")));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT length(NOTES) FROM BANK01 WHERE CITY = 'Ogdenville'")), int(huge.size()));

    // Opening a long cell asks for the whole value in a box of its own.
    const QString longer = QString(5000, QLatin1Char('y'));
    const QModelIndex company = m->index(0, m->fieldIndex(QStringLiteral("COMPANY_NAME")));
    QVERIFY(m->setData(company, longer));
    QVERIFY(company.data().toString().endsWith(RowTableModel::kCutMark));
    QVERIFY(!typeInto(editor.grid(), company, QString()));
    QDialog *box = nullptr;
    QTRY_VERIFY((box = editor.findChild<QDialog *>(QStringLiteral("WholeValueDialog"))));
    auto *text = box->findChild<QPlainTextEdit *>();
    QCOMPARE(text->toPlainText(), longer);
    text->setPlainText(QStringLiteral("short again"));
    box->accept();
    QCOMPARE(company.data().toString(), QStringLiteral("short again"));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE COMPANY_NAME = 'short again'")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT length(NOTES) FROM BANK01 WHERE CHANNEL = 2")), int(huge.size()));
}

QTEST_MAIN(TestBankEditor)
#include "tst_bankeditor.moc"
