#include "ui/GridEditor.h"

#include "ui/Prompter.h"
#include "ui/Twips.h"
#include "data/ChannelDatabase.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSqlTableModel>
#include <QTableView>

GridEditor::GridEditor(const Identity &identity, const QString &databasePath, MessageFn message, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_beep([] { QApplication::beep(); })
    , m_path(databasePath)
    , m_connection(QLatin1String(identity.connectionName))
    , m_message(std::move(message))
    , m_askPending(Prompter::pendingEditsBox(this))
    , m_grid(new QTableView(this))
{
    setObjectName(QLatin1String(identity.objectName));
    setWindowTitle(QLatin1String(identity.caption));
    const qreal dpi = logicalDpiX();
    resize(Twips::toPixels(identity.widthTwips, dpi), Twips::toPixels(identity.heightTwips, dpi));
    setAttribute(Qt::WA_DeleteOnClose);
    m_grid->setObjectName(QStringLiteral("grdDataGrid"));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    installEventFilter(this);
    m_grid->installEventFilter(this);
}

GridEditor::~GridEditor()
{
    // The grid lets go of its model before the connection closes.
    m_grid->setModel(nullptr);
}

bool GridEditor::openDatabase()
{
    m_db = std::make_unique<ChannelDatabase>(m_path, m_connection);
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
    QPalette pal = m_status->palette();
    pal.setColor(QPalette::Window, Qt::white);
    m_status->setPalette(pal);
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

void GridEditor::followGrid()
{
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_syncing && current.isValid() && current.row() != m_cursor.row())
                    m_cursor.moveTo(current.row());
            });
}

void GridEditor::syncGridToCursor()
{
    const int row = m_cursor.row();
    if (row < 0 || !m_grid->model())
        return;
    m_syncing = true;
    const int column = qMax(0, m_grid->currentIndex().column());
    m_grid->setCurrentIndex(m_grid->model()->index(row, column));
    m_syncing = false;
}

void GridEditor::appendRow(QSqlTableModel *model, const QString &firstColumn)
{
    const int row = model->rowCount();
    if (!model->insertRow(row))
        return;
    m_cursor.reset(model->rowCount(), row);
    m_grid->setFocus();
    m_grid->edit(model->index(row, model->fieldIndex(firstColumn)));
}

void GridEditor::closeEvent(QCloseEvent *event)
{
    // What is still in a cell's editor counts as typed.
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus != m_grid && m_grid->isAncestorOf(focus))
        QMetaObject::invokeMethod(m_grid, "commitData", Q_ARG(QWidget *, focus));
    if (hasPendingEdits()) {
        const PendingAnswer answer = m_askPending ? m_askPending(windowTitle(), pendingEditsText()) : PendingAnswer::Cancel;
        if (answer == PendingAnswer::Cancel || (answer == PendingAnswer::Save && !savePendingEdits())) {
            event->ignore();
            return;
        }
        if (answer == PendingAnswer::Discard)
            discardPendingEdits();
    }
    event->accept();
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
