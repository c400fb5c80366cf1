#include "ui/SerialMonitorWindow.h"

#include "link/TrafficTap.h"
#include "ui/SerialMonitorModel.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QListView>
#include <QScrollBar>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

const QString SerialMonitorWindow::kCaption = QStringLiteral("Serial Monitor");

SerialMonitorWindow::SerialMonitorWindow(TrafficTap *tap, MessageFn message, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_tap(tap)
    , m_message(std::move(message))
    , m_model(new SerialMonitorModel(TrafficTap::kCapacity, this))
    , m_view(new QListView(this))
    , m_pause(new QPushButton(QStringLiteral("Pause"), this))
{
    setObjectName(QStringLiteral("frmSerialMonitor"));
    setWindowTitle(kCaption);
    resize(640, 420);
    m_view->setModel(m_model);
    // Every row is one line of the same font: the view sizes one and knows
    // them all, and lays out only what was added.
    m_view->setUniformItemSizes(true);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setWordWrap(false);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_view->setFont(mono);
    m_pause->setObjectName(QStringLiteral("cmdPause"));
    m_pause->setCheckable(true);
    auto *clearButton = new QPushButton(QStringLiteral("Clear"), this);
    clearButton->setObjectName(QStringLiteral("cmdClear"));
    auto *saveButton = new QPushButton(QStringLiteral("Save As..."), this);
    saveButton->setObjectName(QStringLiteral("cmdSaveAs"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_pause);
    bar->addWidget(clearButton);
    bar->addStretch();
    bar->addWidget(saveButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view);

    connect(m_pause, &QPushButton::toggled, this, &SerialMonitorWindow::setPaused);
    connect(clearButton, &QPushButton::clicked, this, &SerialMonitorWindow::clear);
    connect(saveButton, &QPushButton::clicked, this, &SerialMonitorWindow::saveAsked);
    m_refresh.setInterval(kRefreshMillis);
    connect(&m_refresh, &QTimer::timeout, this, &SerialMonitorWindow::showNewLines);
}

void SerialMonitorWindow::setPaused(bool paused)
{
    m_paused = paused;
    m_pause->setChecked(paused);
    m_tap->setRecording(isVisible() && !paused);
}

void SerialMonitorWindow::clear()
{
    m_tap->clear();
    m_model->clear();
    m_shown = m_tap->total();
}

void SerialMonitorWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_tap->setRecording(!m_paused);
    m_refresh.start();
}

void SerialMonitorWindow::hideEvent(QHideEvent *event)
{
    // Closed, the monitor costs the ports nothing.
    m_tap->setRecording(false);
    m_refresh.stop();
    showNewLines();
    QWidget::hideEvent(event);
}

void SerialMonitorWindow::showNewLines()
{
    const QList<TrafficTap::Line> &lines = m_tap->lines();
    const qint64 fresh = qMin<qint64>(m_tap->total() - m_shown, lines.size());
    m_shown = m_tap->total();
    if (fresh <= 0)
        return;
    QStringList texts;
    texts.reserve(fresh);
    for (qsizetype i = lines.size() - fresh; i < lines.size(); ++i)
        texts << lines.at(i).text();
    // Follows the newest line unless the user scrolled up to read.
    QScrollBar *bar = m_view->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    m_model->append(texts);
    if (atEnd)
        m_view->scrollToBottom();
}

bool SerialMonitorWindow::saveTo(const QString &path)
{
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Text);
    for (const TrafficTap::Line &line : m_tap->lines()) {
        if (!ok)
            break;
        ok = file.write((line.text() + QLatin1Char('\n')).toUtf8()) >= 0;
    }
    ok = ok && file.commit();
    if (!ok && m_message)
        m_message(MessageKind::Warning, kCaption, QStringLiteral("%1 could not be written: %2").arg(path, file.errorString()));
    return ok;
}

void SerialMonitorWindow::saveAsked()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), QStringLiteral("serial.txt"),
                                                      QStringLiteral("Text files (*.txt)"));
    if (!path.isEmpty())
        saveTo(path);
}
