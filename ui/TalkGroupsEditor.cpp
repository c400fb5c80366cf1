#include "ui/TalkGroupsEditor.h"

#include "data/EditorModels.h"
#include "ui/Twips.h"
#include "data/ChannelDatabase.h"

#include <QAction>
#include <QHeaderView>
#include <QSqlError>
#include <QSqlRecord>
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

    QWidget *statusBox = makeStatusBox();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table, 1);
    layout->addWidget(statusBox);

    m_cursor.setMoved([this] { syncGridToCursor(); });
}

TalkGroupsEditor::~TalkGroupsEditor()
{
    grid()->setModel(nullptr);
    delete m_model;
}

bool TalkGroupsEditor::load()
{
    if (!openDatabase())
        return false;
    m_model = new TalkgroupTableModel(this, database()->database());
    m_model->setEditStrategy(QSqlTableModel::OnRowChange);
    m_model->setTable(QStringLiteral("TALKGROUPS"));
    m_model->setSort(m_model->fieldIndex(QStringLiteral("ID")), Qt::AscendingOrder);
    if (m_model->fieldIndex(QStringLiteral("ID")) < 0 || !m_model->select()) {
        const QString why = m_model->lastError().text();
        warn(tr("The talkgroup table could not be opened:\n%1").arg(why.isEmpty() ? tr("no such table") : why));
        return false;
    }
    grid()->setModel(m_model);
    while (m_model->canFetchMore())
        m_model->fetchMore();

    // The columns in the editor's order, each at its width.
    QHeaderView *header = grid()->horizontalHeader();
    const qreal dpi = logicalDpiX();
    for (int i = 0; i < columns().size(); ++i) {
        const int logical = m_model->fieldIndex(columns().at(i));
        header->moveSection(header->visualIndex(logical), i);
        grid()->setColumnWidth(logical, Twips::toPixels(kColumnTwips[i], dpi));
    }
    // A row is written once the user leaves it.
    connect(grid()->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current, const QModelIndex &previous) {
                if (previous.isValid() && current.row() != previous.row() && m_model->isDirty())
                    QMetaObject::invokeMethod(this, [this] { submitRow(); }, Qt::QueuedConnection);
            });
    followGrid();
    m_cursor.reset(m_model->rowCount());
    return true;
}

void TalkGroupsEditor::reload(int row)
{
    while (m_model->canFetchMore())
        m_model->fetchMore();
    m_cursor.reset(m_model->rowCount(), qBound(0, row, qMax(0, m_model->rowCount() - 1)));
}

bool TalkGroupsEditor::submitRow()
{
    if (!m_model || !m_model->isDirty())
        return true;
    const int row = m_cursor.row();
    if (m_model->submitAll()) {
        reload(row);
        return true;
    }
    const QString why = m_model->lastError().text();
    m_model->revertAll();
    reload(row);
    warn(tr("The talkgroup was not saved: %1").arg(why));
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
    if (m_model->submitAll()) {
        reload(m_cursor.row());
        return true;
    }
    // Kept as typed, for the user to put right.
    warn(tr("The talkgroup was not saved: %1").arg(m_model->lastError().text()));
    return false;
}

void TalkGroupsEditor::discardPendingEdits()
{
    m_model->revertAll();
}

void TalkGroupsEditor::addRow()
{
    if (!m_model || !submitRow())
        return;
    appendRow(m_model, QStringLiteral("ID"));
}

void TalkGroupsEditor::deleteRow()
{
    const int row = m_cursor.row();
    if (!m_model || row < 0)
        return;
    m_model->removeRow(row);
    if (!m_model->submitAll()) {
        const QString why = m_model->lastError().text();
        m_model->revertAll();
        warn(tr("The talkgroup was not deleted: %1").arg(why));
    }
    reload(row);
}
