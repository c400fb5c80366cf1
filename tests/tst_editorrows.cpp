// The grid editors and the rows they show: each row written and deleted as
// that one row, never over a change made elsewhere, and tables written
// elsewhere read again.

#include "EditorRig.h"
#include "data/DataChanges.h"
#include "data/EditorModels.h"
#include "data/ImportPlan.h"
#include "ui/ScannerBankEditor.h"
#include "ui/TalkGroupsEditor.h"

#include <QSignalSpy>
#include <QTest>

class TestEditorRows : public QObject
{
    Q_OBJECT
private slots:
    void rowsByIdentity();
    void rowChangedUnderneath();
    void tablesWrittenElsewhere();
};

void TestEditorRows::rowsByIdentity()
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
        QVERIFY(editor.update());
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL = 7")), 1);
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE NOTES = 'one'")), 1);

        // A delete that fails keeps the delete and the other rows' edits pending.
        t.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON BANK01 BEGIN SELECT RAISE(ABORT, 'kept by test'); END"));
        QVERIFY(m->setData(m->index(0, notes), QStringLiteral("pending")));
        editor.last();
        editor.remove();
        QVERIFY(!editor.update());
        QVERIFY2(t.messages.last().contains(QLatin1String("kept by test")), qPrintable(t.messages.last()));
        QCOMPARE(m->rowCount(), 1);
        QVERIFY(m->isDirty());
        QCOMPARE(m->data(m->index(0, notes)).toString(), QStringLiteral("pending"));
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01")), 2);
        t.exec(QStringLiteral("DROP TRIGGER refuse"));
        QVERIFY(editor.update());
        QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01")), 1);
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

void TestEditorRows::rowChangedUnderneath()
{
    Db t;
    t.fillBank1();
    // Asked whether to write over a row changed elsewhere: Cancel first.
    bool overwrite = false;
    ScannerBankEditor editor(t.path, [&t, &overwrite](MessageKind kind, const QString &, const QString &text) {
        t.messages << text;
        return kind != MessageKind::OkCancel || overwrite;
    });
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

    // A row deleted elsewhere: Update says so, and the row leaves the grid.
    t.exec(QStringLiteral("DELETE FROM BANK01 WHERE CHANNEL = 3"));
    editor.last();
    editor.remove();
    QVERIFY(!editor.update());
    QVERIFY2(t.messages.last().contains(QLatin1String("CHANNEL 3")), qPrintable(t.messages.last()));
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01")), 2);

    // OK writes the change over it; what was written elsewhere in other columns stays.
    overwrite = true;
    t.exec(QStringLiteral("UPDATE BANK01 SET NOTES = 'theirs again' WHERE CHANNEL = 1"));
    QVERIFY(m->setData(m->index(0, company), QStringLiteral("mine at last")));
    QVERIFY(editor.update());
    QVERIFY2(t.messages.last().contains(QLatin1String("CHANNEL 1")), qPrintable(t.messages.last()));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM BANK01 WHERE CHANNEL = 1 AND COMPANY_NAME = 'mine at last' "
                                    "AND NOTES = 'theirs again'")),
             1);
}

void TestEditorRows::tablesWrittenElsewhere()
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

QTEST_MAIN(TestEditorRows)
#include "tst_editorrows.moc"
