#include "ui/ActivityWindow.h"

#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"
#include "data/TalkgroupActivityLog.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

const QString ActivityWindow::kCaption = QStringLiteral("Talkgroup Activity");
const QList<int> ActivityWindow::kSpanHours = {1, 24, 24 * 7, 24 * 30, 0};

ActivityWindow::ActivityWindow(const QString &databasePath, TalkgroupActivityLog *log, MessageFn message, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_db(std::make_unique<ChannelDatabase>(databasePath, QStringLiteral("orvendal-activity-view"), 200))
    , m_message(std::move(message))
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
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(splitter);

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
    }    // The talkgroups' cities and services shown beside the calls.
    connect(DataChanges::instance(), &DataChanges::changed, this, [this](const QStringList &tables) {
        if (isVisible() && tables.contains(QStringLiteral("TALKGROUPS")) && !m_live.isActive())
            m_live.start();
    });
}

ActivityWindow::~ActivityWindow()
{
    // The filter's fields are taken down after this; their last signals
    // (the line edit's focus out) must not run the models any more.
    m_id->disconnect(this);
    m_span->disconnect(this);
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
    QString error;
    const bool ok = m_list->apply(filter, &error) && m_summary->apply(filter, &error);
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
