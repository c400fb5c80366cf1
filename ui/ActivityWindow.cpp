#include "ui/ActivityWindow.h"

#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"
#include "data/TalkgroupActivityLog.h"
#include "recording/RecordingStore.h"
#include "ui/RecordingPlayer.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlRecord>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// What names a row across refreshes: when it was heard, what, and its file.
QString rowKey(const QSqlQueryModel *model, int row)
{
    const QSqlRecord r = model->record(row);
    return QStringList{r.value(ActivityListModel::Heard).toString(), r.value(ActivityListModel::Id).toString(),
                       r.value(ActivityListModel::Channel).toString(), r.value(ActivityListModel::File).toString()}
        .join(QLatin1Char('\n'));
}

} // namespace

const QString ActivityWindow::kCaption = QStringLiteral("Talkgroup Activity");
const QList<int> ActivityWindow::kSpanHours = {1, 24, 24 * 7, 24 * 30, 0};

ActivityWindow::ActivityWindow(const QString &databasePath, TalkgroupActivityLog *log, MessageFn message, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_databasePath(databasePath)
    , m_db(std::make_unique<ChannelDatabase>(databasePath, QStringLiteral("orvendal-activity-view"), 200))
    , m_message(std::move(message))
    , m_openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("frmTalkgroupActivity"));
    setWindowTitle(kCaption);
    resize(720, 480);

    m_id = new QLineEdit(this);
    m_id->setObjectName(QStringLiteral("txtID"));
    m_id->setPlaceholderText(QStringLiteral("every talkgroup"));
    m_id->setClearButtonEnabled(true);
    m_span = new QComboBox(this);
    m_span->setObjectName(QStringLiteral("cboSpan"));
    m_span->addItems({QStringLiteral("Last hour"), QStringLiteral("Last 24 hours"), QStringLiteral("Last 7 days"),
                      QStringLiteral("Last 30 days"), QStringLiteral("All")});
    m_span->setCurrentIndex(int(kSpanHours.size()) - 1);
    auto *exportButton = new QPushButton(QStringLiteral("Export to CSV"), this);
    exportButton->setObjectName(QStringLiteral("cmdExport"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Talkgroup ID:"), this));
    bar->addWidget(m_id);
    bar->addWidget(new QLabel(QStringLiteral("Heard:"), this));
    bar->addWidget(m_span);
    bar->addStretch();
    bar->addWidget(exportButton);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    m_listView = new QTableView(splitter);
    m_summaryView = new QTableView(splitter);
    for (QTableView *view : {m_listView, m_summaryView}) {
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->verticalHeader()->hide();
        view->horizontalHeader()->setStretchLastSection(true);
    }
    m_listView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_player = new RecordingPlayer(m_message, this);
    m_openFolder = new QPushButton(QStringLiteral("Open Folder"), this);
    m_openFolder->setObjectName(QStringLiteral("cmdOpenFolder"));
    m_delete = new QPushButton(QStringLiteral("Delete Recording"), this);
    m_delete->setObjectName(QStringLiteral("cmdDeleteRecording"));
    auto *recordingBar = new QHBoxLayout;
    recordingBar->addWidget(m_player, 1);
    recordingBar->addWidget(m_openFolder);
    recordingBar->addWidget(m_delete);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(splitter);
    layout->addLayout(recordingBar);
    updateButtons();

    connect(m_listView, &QTableView::doubleClicked, this, [this](const QModelIndex &index) { playRow(index.row()); });
    connect(m_player, &RecordingPlayer::playClicked, this, [this] { playRow(currentRow()); });
    connect(m_openFolder, &QPushButton::clicked, this, [this] { openFolderOf(currentRow()); });
    connect(m_delete, &QPushButton::clicked, this, [this] { deleteRecordingAt(currentRow()); });

    connect(m_id, &QLineEdit::editingFinished, this, &ActivityWindow::refresh);
    connect(m_span, &QComboBox::currentIndexChanged, this, &ActivityWindow::refresh);
    connect(exportButton, &QPushButton::clicked, this, &ActivityWindow::exportAsked);
    m_live.setSingleShot(true);
    m_live.setInterval(kLiveMillis);
    connect(&m_live, &QTimer::timeout, this, &ActivityWindow::refresh);
    if (log) {
        connect(log, &TalkgroupActivityLog::written, this, [this] {
            if (isVisible() && !m_live.isActive())
                m_live.start();
        });
    }    // The talkgroups' cities and services shown beside the calls, and the calls' recordings.
    connect(DataChanges::instance(), &DataChanges::changed, this, [this](const QStringList &tables) {
        const bool shown = tables.contains(QStringLiteral("TALKGROUPS")) || tables.contains(QStringLiteral("RECORDINGS"));
        if (isVisible() && shown && !m_live.isActive())
            m_live.start();
    });
}

ActivityWindow::~ActivityWindow()
{
    // The filter's fields are taken down after this; their last signals
    // (the line edit's focus out) must not run the models any more.
    m_id->disconnect(this);
    m_span->disconnect(this);
    if (m_listView->selectionModel())
        m_listView->selectionModel()->disconnect(this);
    delete m_list;
    delete m_summary;
    m_list = nullptr;
    m_summary = nullptr;
}

bool ActivityWindow::load()
{
    QString error;
    if (!m_db->open(&error)) {
        if (m_message)
            m_message(MessageKind::Warning, kCaption, QStringLiteral("The channel database cannot be opened: %1").arg(error));
        return false;
    }
    m_list = new ActivityListModel(m_db->database());
    m_summary = new ActivitySummaryModel(m_db->database());
    m_listView->setModel(m_list);
    m_summaryView->setModel(m_summary);
    connect(m_listView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &ActivityWindow::updateButtons);
    refresh();
    return !m_failed;
}

ActivityFilter ActivityWindow::currentFilter() const
{
    ActivityFilter filter;
    filter.id = m_id->text().trimmed();
    const int hours = kSpanHours.value(m_span->currentIndex());
    if (hours > 0)
        filter.from = QDateTime::currentDateTime().addSecs(-qint64(hours) * 3600);
    return filter;
}

void ActivityWindow::refresh()
{
    if (!m_list)
        return;
    const ActivityFilter filter = currentFilter();
    const int selected = currentRow();
    const QString key = selected >= 0 ? rowKey(m_list, selected) : QString();
    const QVariant heard = selected >= 0 ? m_list->index(selected, ActivityListModel::Heard).data(Qt::EditRole) : QVariant();
    QString error;
    const bool ok = m_list->apply(filter, &error) && m_summary->apply(filter, &error);
    // The row the user chose stays chosen as new calls come in above it.
    for (int row = 0; !key.isEmpty() && row < m_list->rowCount(); ++row) {
        if (m_list->index(row, ActivityListModel::Heard).data(Qt::EditRole) == heard && rowKey(m_list, row) == key) {
            selectRow(row);
            break;
        }
    }
    m_listView->setColumnHidden(ActivityListModel::File, true);
    updateButtons();
    // One message for a run of failures, not one per refresh.
    if (!ok && !m_failed && m_message)
        m_message(MessageKind::Warning, kCaption, QStringLiteral("The talkgroup activity cannot be read: %1").arg(error));
    m_failed = !ok;
}

void ActivityWindow::filterToTalkgroup(const QString &id)
{
    m_id->setText(id.trimmed());
    refresh();
}

void ActivityWindow::hideEvent(QHideEvent *event)
{
    m_player->stop();
    QWidget::hideEvent(event);
}

void ActivityWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh(); // rows written while it was hidden
}

bool ActivityWindow::exportTo(const QString &path)
{
    QFile file(path);
    QString error;
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!ok)
        error = file.errorString();
    else
        ok = ActivityCsv::write(m_list, &file, &error) && file.flush();
    if (!ok && m_message)
        m_message(MessageKind::Warning, kCaption, QStringLiteral("%1 could not be written: %2").arg(path, error));
    return ok;
}

void ActivityWindow::exportAsked()
{
    if (!m_list)
        return;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export to CSV"), QStringLiteral("activity.csv"),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty())
        exportTo(path);
}

int ActivityWindow::currentRow() const
{
    const QModelIndex current = m_listView->selectionModel() ? m_listView->selectionModel()->currentIndex() : QModelIndex();
    return current.isValid() ? current.row() : -1;
}

void ActivityWindow::selectRow(int row)
{
    if (m_list && row >= 0 && row < m_list->rowCount())
        m_listView->selectRow(row);
}

void ActivityWindow::updateButtons()
{
    const bool recorded = m_list && !m_list->fileAt(currentRow()).isEmpty();
    m_player->playButton()->setEnabled(recorded);
    m_openFolder->setEnabled(recorded);
    m_delete->setEnabled(recorded);
}

bool ActivityWindow::playRow(int row)
{
    const QString file = m_list ? m_list->fileAt(row) : QString();
    return !file.isEmpty() && m_player->play(file);
}

bool ActivityWindow::openFolderOf(int row)
{
    const QString file = m_list ? m_list->fileAt(row) : QString();
    if (file.isEmpty())
        return false;
    const QString folder = QFileInfo(file).absolutePath();
    QString problem;
    if (!QFileInfo(folder).isDir())
        problem = QStringLiteral("The folder %1 of this recording is missing.");
    else if (!m_openUrl || !m_openUrl(QUrl::fromLocalFile(folder)))
        problem = QStringLiteral("The folder %1 could not be opened.");
    if (!problem.isEmpty() && m_message)
        m_message(MessageKind::Warning, kCaption, problem.arg(QDir::toNativeSeparators(folder)));
    return problem.isEmpty();
}

bool ActivityWindow::deleteRecordingAt(int row)
{
    const QString file = m_list ? m_list->fileAt(row) : QString();
    if (file.isEmpty() || !m_message)
        return false;
    const QString shown = QDir::toNativeSeparators(file);
    if (!m_message(MessageKind::OkCancel, kCaption,
                   QStringLiteral("Delete the recording %1?\n\nThe file is removed; the call stays in the list.").arg(shown)))
        return false;
    m_player->release(file);
    // Asked for by the user: a database another program holds is said at
    // once rather than waited for.
    RecordingStore store(m_databasePath, QFileInfo(file).absolutePath(), 0);
    QString error;
    const bool removed = store.remove(file, &error);
    if (!removed)
        m_message(MessageKind::Warning, kCaption, QStringLiteral("The recording %1 could not be deleted: %2").arg(shown, error));
    refresh();
    return removed;
}
