#include "ui/TalkGroupsEditor.h"

#include "data/EditorModels.h"
#include "ui/EditorClipboard.h"
#include "ui/EditorHistory.h"
#include "ui/Twips.h"
#include "data/ChannelDatabase.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const int kColumnTwips[] = {765, 2325, 2280, 2325, 840, 1065};

} // namespace

const QStringList &TalkGroupsEditor::columns()
{
    static const QStringList list = {QStringLiteral("ID"),           QStringLiteral("CITY"),
                                     QStringLiteral("NOTES"),        QStringLiteral("SERVICE_DESC"),
                                     QStringLiteral("TIME"),         QStringLiteral("DATE")};
    return list;
}

TalkGroupsEditor::TalkGroupsEditor(const QString &databasePath, MessageFn message, QWidget *parent)
    : GridEditor({"TalkGroups", "TALKGROUPS", 10305, 5490, "orvendal-talkgroup-editor"}, databasePath,
                 std::move(message), parent)
{

    QTableView *table = grid();
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *add = new QAction(tr("Add a talkgroup"), table);
    add->setObjectName(QStringLiteral("actAddTalkgroup"));
    add->setShortcut(QKeySequence(Qt::Key_Insert));
    add->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(add, &QAction::triggered, this, &TalkGroupsEditor::addRow);
    auto *remove = new QAction(tr("Delete this talkgroup"), table);
    remove->setObjectName(QStringLiteral("actDeleteTalkgroup"));
    connect(remove, &QAction::triggered, this, &TalkGroupsEditor::deleteRow);
    table->addAction(add);
    table->addAction(remove);
    QAction *sort = editMenu()->addAction(tr("Sort by ID"));
    sort->setObjectName(QStringLiteral("actSortById"));
    connect(sort, &QAction::triggered, this, &GridEditor::sortByStoredOrder);

    QWidget *statusBox = makeStatusBox();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(menuBar());
    layout->addWidget(table, 1);
    layout->addWidget(statusBox);

    m_cursor.setMoved([this] { syncGridToCursor(); });
}

TalkGroupsEditor::~TalkGroupsEditor()
{
    setShownModel(nullptr);
    delete m_model;
}

bool TalkGroupsEditor::pasteLines(const QList<QStringList> &lines, const QList<int> &columns)
{
    // From the current row down as the grid shows them, with new rows past the last.
    const int first = qMax(0, grid()->currentIndex().row());
    QList<EditorClipboard::Line> checked;
    const QStringList refused = EditorClipboard::check(
        m_model, lines, columns, [first](int line) { return tr("row %1").arg(first + line + 1); }, &checked);
    if (!refused.isEmpty()) {
        warn(EditorClipboard::refusedText(refused));
        return false;
    }
    QList<int> rows;
    for (int line = 0; line < checked.size(); ++line)
        rows << modelRow(first + line);
    m_model->beginChange(tr("Paste"));
    for (int line = 0; line < checked.size(); ++line) {
        if (rows.at(line) < 0) {
            rows[line] = m_model->rowCount();
            m_model->insertRows(rows.at(line), 1);
        }
        EditorClipboard::write(m_model, rows.at(line), checked.at(line));
    }
    m_model->endChange();
    placeCursor(rows.first());
    return true;
}

RowTableModel *TalkGroupsEditor::shownModel() const
{
    return m_model;
}

bool TalkGroupsEditor::load()
{
    if (!openDatabase())
        return false;
    m_model = new TalkgroupTableModel(this, database()->database());
    m_model->setTable(QStringLiteral("TALKGROUPS"), QStringLiteral("ID"));
    if (!m_model->select()) {
        warn(tr("The talkgroup table could not be opened:\n%1").arg(m_model->lastError()));
        return false;
    }
    setShownModel(m_model);
    watchModel(m_model);
    history()->setReveal([this](RowTableModel *, int row) {
        if (row >= 0)
            placeCursor(row);
    });

    // The columns in the editor's order, each at its width.
    QHeaderView *header = grid()->horizontalHeader();
    const qreal dpi = logicalDpiX();
    for (int i = 0; i < columns().size(); ++i) {
        const int logical = m_model->fieldIndex(columns().at(i));
        if (logical < 0)
            continue;
        header->moveSection(header->visualIndex(logical), i);
        grid()->setColumnWidth(logical, Twips::toPixels(kColumnTwips[i], dpi));
    }
    // A row is written once the user leaves it.
    connect(grid()->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current, const QModelIndex &previous) {
                if (previous.isValid() && current.row() != previous.row() && m_model->isDirty())
                    QMetaObject::invokeMethod(this, [this] { submitRow(); }, Qt::QueuedConnection);
            });
    m_cursor.reset(m_model->rowCount());
    return true;
}

void TalkGroupsEditor::placeCursor(int row)
{
    m_cursor.reset(m_model->rowCount(), qBound(0, row, qMax(0, m_model->rowCount() - 1)));
}

void TalkGroupsEditor::reloadTable()
{
    if (!m_model)
        return;
    const int row = m_cursor.row();
    if (!m_model->select())
        warn(tr("The talkgroup table could not be read again:\n%1").arg(m_model->lastError()));
    placeCursor(row);
}

bool TalkGroupsEditor::submitRow()
{
    if (!m_model || !m_model->isDirty())
        return true;
    const int row = m_cursor.row();
    if (m_model->submitAll(overwriteQuestion())) {
        announceWritten();
        placeCursor(row);
        return true;
    }
    // What was typed stays, and the cursor goes back to it, for the user to
    // put right or try again.
    int unsaved = 0;
    while (unsaved < m_model->rowCount() && !m_model->isDirty(unsaved))
        ++unsaved;
    placeCursor(unsaved < m_model->rowCount() ? unsaved : row);
    warn(tr("The talkgroup was not saved: %1").arg(m_model->lastError()));
    markTitle();
    return false;
}

bool TalkGroupsEditor::hasPendingEdits() const
{
    return m_model && m_model->isDirty();
}

QString TalkGroupsEditor::pendingEditsText() const
{
    return tr("The talkgroup being edited has changes that are not saved yet.\nSave them before the window closes?");
}

bool TalkGroupsEditor::savePendingEdits()
{
    return submitRow();
}

void TalkGroupsEditor::discardPendingEdits()
{
    m_model->revertAll();
    placeCursor(m_cursor.row());
}

void TalkGroupsEditor::addRow()
{
    commitOpenCell();
    if (!m_model || !submitRow())
        return;
    appendRow(m_model, QStringLiteral("ID"));
}

void TalkGroupsEditor::deleteRow()
{
    commitOpenCell();
    const int row = m_cursor.row();
    if (!m_model || row < 0)
        return;
    // The row is left at once, so it is deleted from the table at once.
    m_model->removeRows(row, 1);
    placeCursor(row);
    submitRow();
}
