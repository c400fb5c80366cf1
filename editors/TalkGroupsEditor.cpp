#include "editors/TalkGroupsEditor.h"

#include "editors/EditorModels.h"
#include "faceplate/Twips.h"
#include "transfer/ChannelDatabase.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
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
    : QWidget(parent, Qt::Window)
    , m_path(databasePath)
    , m_message(std::move(message))
    , m_beep([] { QApplication::beep(); })
{
    setObjectName(QStringLiteral("TalkGroups"));
    setWindowTitle(QStringLiteral("TALKGROUPS"));
    setAttribute(Qt::WA_DeleteOnClose);
    const qreal dpi = logicalDpiX();
    resize(Twips::toPixels(10305, dpi), Twips::toPixels(5490, dpi));

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("grdDataGrid"));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *add = new QAction(tr("Add a talkgroup"), m_grid);
    add->setObjectName(QStringLiteral("actAddTalkgroup"));
    add->setShortcut(QKeySequence(Qt::Key_Insert));
    add->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(add, &QAction::triggered, this, &TalkGroupsEditor::addRow);
    auto *remove = new QAction(tr("Delete this talkgroup"), m_grid);
    remove->setObjectName(QStringLiteral("actDeleteTalkgroup"));
    connect(remove, &QAction::triggered, this, &TalkGroupsEditor::deleteRow);
    m_grid->addAction(add);
    m_grid->addAction(remove);

    auto *statusBox = new QWidget(this);
    statusBox->setObjectName(QStringLiteral("picStatBox"));
    auto *statusLayout = new QHBoxLayout(statusBox);
    statusLayout->setContentsMargins(Twips::toPixels(690, dpi), 0, 0, 0);
    m_status = new QLabel(statusBox);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setFrameShape(QFrame::Box);
    statusLayout->addWidget(m_status, 1);
    for (const char *name : {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"}) {
        auto *nav = new QPushButton(statusBox);
        nav->setObjectName(QLatin1String(name));
        nav->hide();
        statusLayout->addWidget(nav);
    }
    statusBox->setFixedHeight(qMax(Twips::toPixels(300, dpi), m_status->sizeHint().height() + 4));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid, 1);
    layout->addWidget(statusBox);

    m_cursor.setMoved([this] { syncCursorToModel(m_cursor.row()); });
    installEventFilter(this);
    m_grid->installEventFilter(this);
}

TalkGroupsEditor::~TalkGroupsEditor()
{
    m_grid->setModel(nullptr);
    delete m_model;
}

bool TalkGroupsEditor::load()
{
    m_db = std::make_unique<ChannelDatabase>(m_path, QStringLiteral("orvendal-talkgroup-editor"));
    QString error;
    if (!m_db->open(&error)) {
        if (m_message)
            m_message(MessageKind::Warning, QString(), tr("The channel database could not be opened:\n%1").arg(error));
        return false;
    }
    m_model = new TalkgroupTableModel(this, m_db->database());
    m_model->setEditStrategy(QSqlTableModel::OnRowChange);
    m_model->setTable(QStringLiteral("TALKGROUPS"));
    m_model->setSort(m_model->fieldIndex(QStringLiteral("ID")), Qt::AscendingOrder);
    if (m_model->fieldIndex(QStringLiteral("ID")) < 0 || !m_model->select()) {
        const QString why = m_model->lastError().text();
        if (m_message)
            m_message(MessageKind::Warning, QString(),
                      tr("The talkgroup table could not be opened:\n%1").arg(why.isEmpty() ? tr("no such table") : why));
        return false;
    }
    while (m_model->canFetchMore())
        m_model->fetchMore();
    m_grid->setModel(m_model);

    // The columns in the editor's order, each at its width.
    QHeaderView *header = m_grid->horizontalHeader();
    const qreal dpi = logicalDpiX();
    for (int i = 0; i < columns().size(); ++i) {
        const int logical = m_model->fieldIndex(columns().at(i));
        header->moveSection(header->visualIndex(logical), i);
        m_grid->setColumnWidth(logical, Twips::toPixels(kColumnTwips[i], dpi));
    }
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current, const QModelIndex &previous) {
                if (previous.isValid() && current.row() != previous.row() && m_model->isDirty())
                    QMetaObject::invokeMethod(this, [this] { submitRow(); }, Qt::QueuedConnection);
                if (!m_syncing && current.isValid() && current.row() != m_cursor.row())
                    m_cursor.moveTo(current.row());
            });
    m_cursor.reset(m_model->rowCount());
    return true;
}

void TalkGroupsEditor::syncCursorToModel(int row)
{
    if (row < 0 || !m_model)
        return;
    m_syncing = true;
    const int column = qMax(0, m_grid->currentIndex().column());
    m_grid->setCurrentIndex(m_model->index(row, column));
    m_syncing = false;
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
    if (m_message)
        m_message(MessageKind::Warning, QString(), tr("The talkgroup was not saved: %1").arg(why));
    return false;
}

void TalkGroupsEditor::addRow()
{
    if (!m_model || !submitRow())
        return;
    const int row = m_model->rowCount();
    if (!m_model->insertRow(row))
        return;
    m_cursor.reset(m_model->rowCount(), row);
    m_grid->setFocus();
    m_grid->edit(m_model->index(row, m_model->fieldIndex(QStringLiteral("ID"))));
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
        if (m_message)
            m_message(MessageKind::Warning, QString(), tr("The talkgroup was not deleted: %1").arg(why));
    }
    reload(row);
}

bool TalkGroupsEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto action = EditorNavigation::actionFor(static_cast<QKeyEvent *>(event), false);
        if (EditorNavigation::apply(action, m_cursor, m_beep))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
