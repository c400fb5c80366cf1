// The grid editors keeping the user's work: the tab and the grid agree,
// FREQUENCY and sFREQ hold one frequency, closing asks about changes not yet
// written, rows are written by identity, every way out of a cell takes what
// was typed, and tables written elsewhere are read again.

#include "EditorRig.h"
#include "data/DataChanges.h"
#include "data/EditorModels.h"
#include "data/ImportPlan.h"
#include "ui/ScannerBankEditor.h"
#include "ui/TalkGroupsEditor.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>

namespace {

// Opens the grid's own editor on a cell and types into it, replacing what it shows.
QLineEdit *typeInto(QTableView *grid, const QModelIndex &index, const QString &text)
{
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
    void rowsByIdentity();
    void rowChangedUnderneath();
    void leavingACellTakesIt();
    void tablesWrittenElsewhere();
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

void TestBankEditor::rowsByIdentity()
{
    Db t;
    t.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL, FREQUENCY, sFREQ, COMPANY_NAME) VALUES "
                          "(7, 155.0, '155.0000', 'Twin'), (7, 155.0, '155.0000', 'Twin'), (8, 0, '000.000', 'Other')"));
    t.exec(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY) VALUES ('4711', 'Twin'), ('4711', 'Twin')"));
    {
        ScannerBankEditor editor(t.path, t.message());
        QVERIFY(editor.load());
        BankTableModel *m = editor.model();
        const int notes = m->fieldIndex(QStringLiteral("NOTES"));
        // One of two identical rows edited: only that one changes.
        QVERIFY(m->setData(m->index(0, notes), QStringLiteral("one")));
        QVERIFY(editor.update());
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'one'")), 1);
        // The other deleted: only that one goes.
        editor.first();
        editor.next();
        QCOMPARE(m->data(m->index(1, notes)).toString(), QString());
        editor.remove();
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL = 7")), 1);
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'one'")), 1);

        // A Delete that fails keeps the other rows' pending edits.
        t.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON BANK01 BEGIN SELECT RAISE(ABORT, 'kept by test'); END"));
        QVERIFY(m->setData(m->index(0, notes), QStringLiteral("pending")));
        editor.last();
        editor.remove();
        QVERIFY2(t.messages.last().contains(QLatin1String("kept by test")), qPrintable(t.messages.last()));
        QCOMPARE(m->rowCount(), 2);
        QVERIFY(m->isDirty());
        QCOMPARE(m->data(m->index(0, notes)).toString(), QStringLiteral("pending"));
        QVERIFY(editor.update());
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'pending'")), 1);
    }
    // (A column of the user's own that hides the name "rowid" changes nothing.)
    t.exec(QStringLiteral("ALTER TABLE TALKGROUPS ADD COLUMN rowid TEXT"));
    TalkGroupsEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    TalkgroupTableModel *m = editor.model();
    const int city = m->fieldIndex(QStringLiteral("CITY"));
    QVERIFY(m->setData(m->index(1, city), QStringLiteral("Shelbyville")));
    QVERIFY(editor.submitRow());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE CITY = 'Shelbyville'")), 1);
    editor.cursor().moveFirst();
    editor.deleteRow();
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE CITY = 'Shelbyville'")), 1);
}

void TestBankEditor::rowChangedUnderneath()
{
    Db t;
    t.fillBank1();
    ScannerBankEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    BankTableModel *m = editor.model();
    const int notes = m->fieldIndex(QStringLiteral("NOTES"));
    const int company = m->fieldIndex(QStringLiteral("COMPANY_NAME"));
    // Another program writes channel 2 after the grid loaded it.
    t.exec(QStringLiteral("UPDATE BANK01 SET NOTES = 'theirs' WHERE CHANNEL = 2"));
    editor.edit();
    QVERIFY(m->setData(m->index(1, company), QStringLiteral("mine")));
    QVERIFY(m->setData(m->index(0, notes), QStringLiteral("other row")));
    QVERIFY(!editor.update());
    QVERIFY2(t.messages.last().contains(QLatin1String("CHANNEL 2")) && t.messages.last().contains(QLatin1String("changed elsewhere")),
             qPrintable(t.messages.last()));
    QVERIFY(editor.editMode());
    // Nothing written; the row shows what is stored; the other edit waits.
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE COMPANY_NAME = 'mine' OR NOTES = 'other row'")), 0);
    QCOMPARE(m->data(m->index(1, notes)).toString(), QStringLiteral("theirs"));
    QCOMPARE(m->data(m->index(1, company)).toString(), QStringLiteral("B"));
    QVERIFY(m->isDirty(0) && !m->isDirty(1));
    QVERIFY(editor.update());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'other row'")), 1);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'theirs'")), 1);

    // A row deleted elsewhere: Delete says so, and the row leaves the grid.
    t.exec(QStringLiteral("DELETE FROM BANK01 WHERE CHANNEL = 3"));
    editor.last();
    editor.remove();
    QVERIFY2(t.messages.last().contains(QLatin1String("CHANNEL 3")), qPrintable(t.messages.last()));
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01")), 2);
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

void TestBankEditor::tablesWrittenElsewhere()
{
    Db t;
    t.fillBank1();
    PendingAnswer answer = PendingAnswer::Cancel;
    int asked = 0;
    ScannerBankEditor editor(t.path, t.message());
    editor.setPendingEditsQuestion([&](const QString &, const QString &) {
        ++asked;
        return answer;
    });
    QVERIFY(editor.load());
    BankTableModel *m = editor.model();
    const int notes = m->fieldIndex(QStringLiteral("NOTES"));

    // Nothing pending: the rows are read again without a question.
    t.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL) VALUES (4)"));
    DataChanges::announce({QStringLiteral("BANK02")});
    QTest::qWait(20);
    QCOMPARE(m->rowCount(), 3); // another table: nothing to do
    DataChanges::announce({QStringLiteral("BANK01")});
    QTRY_COMPARE(m->rowCount(), 4);
    QCOMPARE(asked, 0);

    // Pending edits: asked first. Cancel keeps them (and the rows as loaded).
    QVERIFY(m->setData(m->index(0, notes), QStringLiteral("typed")));
    t.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL) VALUES (5)"));
    DataChanges::announce({QStringLiteral("BANK01")});
    QTRY_COMPARE(asked, 1);
    QCOMPARE(m->rowCount(), 4);
    QVERIFY(m->isDirty());
    // Refresh asks too; Discard drops them and reads the rows as stored.
    answer = PendingAnswer::Discard;
    editor.refresh();
    QCOMPARE(asked, 2);
    QCOMPARE(m->rowCount(), 5);
    QVERIFY(!m->isDirty());
    // Save writes them, then reads the rows.
    answer = PendingAnswer::Save;
    QVERIFY(m->setData(m->index(0, notes), QStringLiteral("saved")));
    t.exec(QStringLiteral("INSERT INTO BANK01 (CHANNEL) VALUES (6)"));
    DataChanges::announce({QStringLiteral("BANK01")});
    QTRY_COMPARE(asked, 3);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'saved'")), 1);
    QCOMPARE(m->rowCount(), 6);

    // The editor's own writes are announced, as its own.
    QSignalSpy spy(DataChanges::instance(), &DataChanges::changed);
    QVERIFY(m->setData(m->index(1, notes), QStringLiteral("mine")));
    QVERIFY(editor.update());
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().at(0).toStringList(), QStringList{QStringLiteral("BANK01")});
    QTest::qWait(20);
    QCOMPARE(asked, 3);

    // An import says what it wrote.
    ImportPlan plan;
    plan.addGroup(QStringLiteral("Bank 1"));
    plan.add(QStringLiteral("Bank 1"), ImportPlan::Row{2, QStringLiteral("BANK01"), QStringLiteral("CHANNEL"), 9,
                                                       {QStringLiteral("NOTES")}, {QStringLiteral("imported")}, false});
    QString error;
    QVERIFY2(plan.apply(t.db, &error), qPrintable(error));
    QTRY_COMPARE(m->rowCount(), 7);
    QCOMPARE(asked, 3);
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
