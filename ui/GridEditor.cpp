#include "ui/GridEditor.h"

#include "ui/EditorClipboard.h"
#include "ui/EditorHistory.h"
#include "ui/GridDelegate.h"
#include "ui/Prompter.h"
#include "ui/Twips.h"
#include "ui/WholeValueDialog.h"
#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"
#include "data/RowTableModel.h"
#include "data/TabText.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

GridEditor::GridEditor(const Identity &identity, const QString &databasePath, MessageFn message, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_beep([] { QApplication::beep(); })
    , m_path(databasePath)
    , m_connection(QLatin1String(identity.connectionName))
    , m_message(std::move(message))
    , m_askPending(Prompter::pendingEditsBox(this))
    , m_grid(new QTableView(this))
    , m_delegate(new GridDelegate(m_grid))
    , m_sorted(new QSortFilterProxyModel(this))
    , m_history(new EditorHistory(this))
    , m_menuBar(new QMenuBar(this))
    , m_editMenu(m_menuBar->addMenu(tr("Ed&it")))
{
    setObjectName(QLatin1String(identity.objectName));
    m_baseTitle = QLatin1String(identity.caption);
    setWindowTitle(m_baseTitle);
    m_editMenu->setObjectName(QStringLiteral("mnuEdit"));
    // What is typed into an open cell counts before a step is undone.
    connect(m_editMenu, &QMenu::aboutToShow, this, &GridEditor::commitOpenCell);
    for (QAction *action : {m_history->undoAction(this), m_history->redoAction(this)}) {
        action->setShortcutContext(Qt::WindowShortcut);
        m_editMenu->addAction(action);
        connect(action, &QAction::triggered, this, [this] { markTitle(); });
    }
    m_editMenu->addSeparator();
    const struct
    {
        const char *name;
        const char *caption;
        QKeySequence::StandardKey key;
        void (GridEditor::*run)();
    } clip[] = {{"actCut", "Cu&t", QKeySequence::Cut, &GridEditor::cut},
                {"actCopy", "&Copy", QKeySequence::Copy, &GridEditor::copy},
                {"actPaste", "&Paste", QKeySequence::Paste, nullptr}};
    for (const auto &c : clip) {
        QAction *action = m_editMenu->addAction(tr(c.caption));
        action->setObjectName(QLatin1String(c.name));
        action->setShortcut(QKeySequence(c.key));
        m_grid->addAction(action); // in the grid's context menu too
        if (c.run)
            connect(action, &QAction::triggered, this, c.run);
        else
            connect(action, &QAction::triggered, this, [this] { paste(QApplication::clipboard()->text()); });
    }
    const qreal dpi = logicalDpiX();
    resize(Twips::toPixels(identity.widthTwips, dpi), Twips::toPixels(identity.heightTwips, dpi));
    setAttribute(Qt::WA_DeleteOnClose);
    m_grid->setObjectName(QStringLiteral("grdDataGrid"));
    // Blocks of cells, or whole rows by their headers, as in a spreadsheet.
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setItemDelegate(m_delegate);
    // A click on a column's header sorts the grid, not the table.
    m_sorted->setDynamicSortFilter(false);
    m_grid->setModel(m_sorted);
    m_grid->setSortingEnabled(true);
    sortByStoredOrder();
    // Rows read again (after an Update, say) are shown sorted as before.
    connect(m_sorted, &QAbstractItemModel::modelReset, this, [this] {
        const QHeaderView *header = m_grid->horizontalHeader();
        if (header->sortIndicatorSection() >= 0)
            m_sorted->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                const int row = m_sorted->mapToSource(current).row();
                if (!m_syncing && current.isValid() && row != m_cursor.row())
                    m_cursor.moveTo(row);
            });
    // Long texts are shown cut; the whole of one is edited on request.
    m_grid->setWordWrap(false);
    m_grid->setTextElideMode(Qt::ElideRight);
    connect(m_delegate, &GridDelegate::wholeValueWanted, this, &GridEditor::editWholeValue);
    connect(m_delegate, &GridDelegate::refused, this, [this](const QModelIndex &index, const QString &typed) {
        const QString column = m_grid->model()->headerData(index.column(), Qt::Horizontal).toString();
        const QString shown = typed.size() > 40 ? typed.left(40) + RowTableModel::kCutMark : typed;
        if (m_status)
            m_status->setText(tr("%1 does not take \"%2\"").arg(column, shown));
    });
    auto *whole = new QAction(tr("Edit the whole value..."), m_grid);
    whole->setObjectName(QStringLiteral("actEditWholeValue"));
    connect(whole, &QAction::triggered, this, [this] { editWholeValue(m_grid->currentIndex()); });
    m_grid->addAction(whole);
    m_grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(DataChanges::instance(), &DataChanges::changed, this, &GridEditor::tablesChanged);
    installEventFilter(this);
    m_grid->installEventFilter(this);
}

GridEditor::~GridEditor()
{
    // The grid lets go of its model before the connection closes.
    m_sorted->setSourceModel(nullptr);
}

bool GridEditor::openDatabase()
{
    // The editors run on the thread that polls the scanner: a file another
    // program holds locked fails a write soon (the edits stay, to be written
    // again) rather than stalling the faceplate.
    constexpr int kBusyMillis = 100;
    m_db = std::make_unique<ChannelDatabase>(m_path, m_connection, kBusyMillis);
    QString error;
    if (m_db->open(&error))
        return true;
    warn(tr("The channel database could not be opened:\n%1").arg(error));
    return false;
}

void GridEditor::warn(const QString &text)
{
    if (m_message)
        m_message(MessageKind::Warning, QString(), text);
}

QWidget *GridEditor::makeStatusBox()
{
    const qreal dpi = logicalDpiX();
    auto *box = new QWidget(this);
    box->setObjectName(QStringLiteral("picStatBox"));
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(Twips::toPixels(690, dpi), 0, 0, 0);
    m_status = new QLabel(box);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setFrameShape(QFrame::Box);
    m_status->setAutoFillBackground(true);
    // A white box in a light theme; the theme's field colours in any other.
    m_status->setBackgroundRole(QPalette::Base);
    m_status->setForegroundRole(QPalette::Text);
    layout->addWidget(m_status, 1);
    for (const char *name : {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"}) {
        auto *nav = new QPushButton(box);
        nav->setObjectName(QLatin1String(name));
        nav->hide(); // part of the bar, never shown
        layout->addWidget(nav);
    }
    box->setFixedHeight(qMax(Twips::toPixels(300, dpi), m_status->sizeHint().height() + 4));
    return box;
}

void GridEditor::setShownModel(RowTableModel *model)
{
    m_sorted->setSourceModel(model);
}

QModelIndex GridEditor::gridIndex(const QModelIndex &index) const
{
    return m_sorted->mapFromSource(index);
}

int GridEditor::modelRow(int gridRow) const
{
    return m_sorted->mapToSource(m_sorted->index(gridRow, 0)).row();
}

void GridEditor::sortByStoredOrder()
{
    commitOpenCell();
    m_grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_sorted->sort(-1);
    syncGridToCursor();
}

void GridEditor::syncGridToCursor()
{
    const int row = m_cursor.row();
    if (row < 0 || !m_sorted->sourceModel())
        return;
    m_syncing = true;
    const int column = qMax(0, m_grid->currentIndex().column());
    m_grid->setCurrentIndex(gridIndex(m_sorted->sourceModel()->index(row, column)));
    m_syncing = false;
}

void GridEditor::appendRow(RowTableModel *model, const QString &firstColumn)
{
    const int row = model->rowCount();
    if (!model->insertRow(row))
        return;
    m_cursor.reset(model->rowCount(), row);
    m_grid->setFocus();
    m_grid->edit(gridIndex(model->index(row, model->fieldIndex(firstColumn))));
}

void GridEditor::closeEvent(QCloseEvent *event)
{
    // What is still in a cell's editor counts as typed.
    if (!settlePendingEdits(pendingEditsText())) {
        event->ignore();
        return;
    }
    event->accept();
}

void GridEditor::commitOpenCell()
{
    m_delegate->commitOpen();
}

void GridEditor::dropOpenCell()
{
    m_delegate->closeOpen();
}

bool GridEditor::settlePendingEdits(const QString &text)
{
    commitOpenCell();
    if (!hasPendingEdits())
        return true;
    const PendingAnswer answer = m_askPending ? m_askPending(windowTitle(), text) : PendingAnswer::Cancel;
    if (answer == PendingAnswer::Save)
        return savePendingEdits();
    if (answer == PendingAnswer::Discard) {
        discardPendingEdits();
        return true;
    }
    return false;
}

void GridEditor::announceWritten()
{
    DataChanges::announce({shownTable()}, this);
}

void GridEditor::watchModel(RowTableModel *model)
{
    m_history->watch(model);
    connect(model, &QAbstractItemModel::dataChanged, this, &GridEditor::markTitle);
    connect(model, &QAbstractItemModel::rowsInserted, this, &GridEditor::markTitle);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &GridEditor::markTitle);
    connect(model, &QAbstractItemModel::modelReset, this, &GridEditor::markTitle);
}

std::function<bool(const QString &rows)> GridEditor::overwriteQuestion()
{
    return [this](const QString &rows) {
        const QString text = tr("%1 was changed elsewhere after it was shown here.\nOK writes your changes over it "
                                "(what you did not change keeps what was written elsewhere); Cancel shows it as it "
                                "is stored now, without your changes.")
                                 .arg(rows);
        return m_message && m_message(MessageKind::OkCancel, QString(), text);
    };
}

void GridEditor::copy()
{
    commitOpenCell();
    const QString text = EditorClipboard::copyText(m_grid);
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void GridEditor::cut()
{
    RowTableModel *model = shownModel();
    if (!model)
        return;
    copy();
    const bool rows = EditorClipboard::wholeRows(m_grid);
    QModelIndexList cells = m_grid->selectionModel()->selectedIndexes();
    if (cells.isEmpty() && m_grid->currentIndex().isValid())
        cells << m_grid->currentIndex();
    model->beginChange(tr("Cut"));
    if (rows) {
        for (const int row : EditorClipboard::selectedRows(m_grid))
            model->removeRows(row, 1);
    } else {
        // A cell that cannot be empty (a channel number, an ID) keeps its value.
        for (const QModelIndex &cell : std::as_const(cells))
            EditorClipboard::write(model, m_sorted->mapToSource(cell).row(), {{model->fieldName(cell.column()), QString()}});
    }
    model->endChange();
    m_cursor.reset(model->rowCount(), qBound(0, m_cursor.row(), qMax(0, model->rowCount() - 1)));
    afterBulkChange();
}

bool GridEditor::paste(const QString &text)
{
    commitOpenCell();
    const QList<QStringList> lines = TabText::read(text);
    if (lines.isEmpty() || !shownModel())
        return false;
    if (!pasteLines(lines, EditorClipboard::pasteColumns(m_grid)))
        return false;
    afterBulkChange();
    return true;
}

void GridEditor::setBaseTitle(const QString &title)
{
    m_baseTitle = title;
    markTitle();
}

void GridEditor::markTitle()
{
    setWindowTitle(hasPendingEdits() ? m_baseTitle + QLatin1Char('*') : m_baseTitle);
}

void GridEditor::tablesChanged(const QStringList &tables, const QObject *source)
{
    if (source == this || !tables.contains(shownTable()))
        return;
    // Taken once the writer is done: a backup announces from inside its run.
    if (!m_outsideChange)
        QTimer::singleShot(0, this, &GridEditor::takeOutsideChange);
    m_outsideChange = true;
}

void GridEditor::takeOutsideChange()
{
    if (!m_outsideChange || m_asking)
        return;
    m_asking = true;
    const bool settled = settlePendingEdits(
        tr("%1 was written elsewhere (a backup, an import or another window) while changes here are not saved "
           "yet.\nSave them now, discard them to see the rows as stored, or cancel to go on editing?")
            .arg(shownTable()));
    m_asking = false;
    m_outsideChange = false;
    // Kept edits keep the rows as loaded; an Update then finds any row
    // changed meanwhile and says so. The rows read are a step of the
    // history: an import into the table shown can be undone.
    if (!settled)
        return;
    RowTableModel *model = shownModel();
    if (model)
        model->beginChange(tr("Read %1 again").arg(shownTable()));
    reloadTable();
    if (model)
        model->endChange();
    markTitle();
}

void GridEditor::editWholeValue(const QModelIndex &index)
{
    const QModelIndex cell = index.model() == m_sorted->sourceModel() ? m_sorted->mapFromSource(index) : index;
    if (!cell.isValid() || cell.model() != m_sorted)
        return;
    commitOpenCell();
    auto *dialog = new WholeValueDialog(cell, this);
    connect(dialog, &WholeValueDialog::refused, this, [this] {
        if (m_status)
            m_status->setText(tr("The value was not taken."));
    });
    dialog->resize(size() * 3 / 4);
    dialog->open();
}

bool GridEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && keysActive()) {
        const auto action = EditorNavigation::actionFor(static_cast<QKeyEvent *>(event), escapeCloses());
        if (action == EditorNavigation::KeyAction::Close) {
            close();
            return true;
        }
        if (EditorNavigation::apply(action, m_cursor, m_beep))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
