// The talkgroup editor.

#include "EditorRig.h"
#include "data/EditorModels.h"
#include "ui/TalkGroupsEditor.h"

#include <QLabel>
#include <QTest>

class TestTalkgroupEditor : public QObject
{
    Q_OBJECT
private slots:
    void talkgroupEditor();
    void talkgroupNewRows();
};

void TestTalkgroupEditor::talkgroupEditor()
{
    Db t;
    t.exec(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC, NOTES, DATE, TIME) VALUES "
                          "('4711', 'Springfield', 'Fire', 'n1', '2026-12-08', '14:05:09'), "
                          "('123', 'Shelbyville', 'Police', 'n2', '2026-12-07', '09:00:00')"));
    auto *editor = new TalkGroupsEditor(t.path, t.message());
    QPointer<TalkGroupsEditor> guard(editor);
    editor->setBeep([&t] { ++t.beeps; });
    QVERIFY(editor->load());
    QCOMPARE(editor->objectName(), QStringLiteral("TalkGroups"));
    QCOMPARE(editor->windowTitle(), QStringLiteral("TALKGROUPS"));
    QCOMPARE(visibleColumns(editor->grid()), TalkGroupsEditor::columns());
    QCOMPARE(editor->model()->data(editor->model()->index(0, 0)).toString(), QStringLiteral("123")); // by ID
    QCOMPARE(editor->grid()->columnWidth(editor->model()->fieldIndex(QStringLiteral("ID"))), qRound(765 * editor->logicalDpiX() / 1440.0));
    editor->show();

    // The keys move through the rows; Escape does not close this window.
    key(editor->grid(), Qt::Key_Down);
    QCOMPARE(editor->cursor().absolutePosition(), 2);
    key(editor->grid(), Qt::Key_Down);
    QCOMPARE(t.beeps, 1);
    QCOMPARE(editor->cursor().absolutePosition(), 2);
    key(editor->grid(), Qt::Key_Escape);
    QVERIFY(guard && editor->isVisible());

    // A change is written when the row is left.
    const int city = editor->model()->fieldIndex(QStringLiteral("CITY"));
    QVERIFY(editor->model()->setData(editor->model()->index(1, city), QStringLiteral("Capital City")));
    key(editor->grid(), Qt::Key_Up, Qt::ControlModifier);
    QTRY_COMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE CITY = 'Capital City'")), 1);
    delete editor;

    // An empty log: an empty grid; no beeps.
    Db empty;
    TalkGroupsEditor none(empty.path, empty.message());
    none.setBeep([&empty] { ++empty.beeps; });
    QVERIFY(none.load());
    QCOMPARE(none.model()->rowCount(), 0);
    key(none.grid(), Qt::Key_Down);
    key(none.grid(), Qt::Key_Up);
    QCOMPARE(empty.beeps, 0);
}

void TestTalkgroupEditor::talkgroupNewRows()
{
    Db t;
    TalkGroupsEditor editor(t.path, t.message());
    QVERIFY(editor.load());
    editor.addRow();
    QCOMPARE(editor.model()->rowCount(), 1);
    const QModelIndex id = editor.model()->index(0, editor.model()->fieldIndex(QStringLiteral("ID")));
    const QModelIndex city = id.siblingAtColumn(editor.model()->fieldIndex(QStringLiteral("CITY")));
    QVERIFY(editor.model()->setData(city, QStringLiteral("Ogdenville")));
    // Nothing typed for the ID: refused with a message, nothing stored, the
    // row kept as typed for the user to put right.
    QVERIFY(!editor.submitRow());
    QCOMPARE(t.messages.size(), 1);
    QVERIFY(t.messages.first().contains(QLatin1String("needs an ID")));
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 0);
    QCOMPARE(editor.model()->rowCount(), 1);
    QCOMPARE(city.data().toString(), QStringLiteral("Ogdenville"));
    // An empty ID cannot be typed either.
    QVERIFY(!editor.model()->setData(id, QStringLiteral(" ")));
    QVERIFY(editor.model()->setData(id, QStringLiteral("O'Hara")));
    QVERIFY(editor.submitRow());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE ID = 'O''Hara' AND CITY = 'Ogdenville'")), 1);

    // A locked file: the typed values stay and the user is told why.
    QVERIFY(editor.model()->setData(editor.model()->index(0, city.column()), QStringLiteral("Capital City")));
    t.exec(QStringLiteral("BEGIN IMMEDIATE"));
    QVERIFY(!editor.submitRow());
    QVERIFY2(t.messages.last().contains(QLatin1String("locked")), qPrintable(t.messages.last()));
    QCOMPARE(editor.model()->index(0, city.column()).data().toString(), QStringLiteral("Capital City"));
    t.exec(QStringLiteral("ROLLBACK"));
    QVERIFY(editor.submitRow());
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS WHERE CITY = 'Capital City'")), 1);
    editor.deleteRow();
    QCOMPARE(t.count(QStringLiteral("SELECT count(*) FROM TALKGROUPS")), 0);
}

QTEST_MAIN(TestTalkgroupEditor)
#include "tst_talkgroupeditor.moc"
