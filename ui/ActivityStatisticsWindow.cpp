#include "ui/ActivityStatisticsWindow.h"

#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"
#include "data/TalkgroupActivityLog.h"
#include "ui/ChartExport.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

const QString ActivityStatisticsWindow::kCaption = QStringLiteral("Activity Statistics");

namespace {

const char *const kTitles[] = {"Calls per hour of the day (local time)", "Calls per day of the week (local time)",
                               "Busiest talkgroups", "Airtime per talkgroup"};
const char *const kTabs[] = {"Hours", "Weekdays", "Talkgroups", "Airtime"};
const char *const kFileNames[] = {"calls-per-hour", "calls-per-weekday", "busiest-talkgroups", "airtime"};

// The tables the charts are counted from.
const QStringList kTables = {QStringLiteral("TALKGROUP_ACTIVITY"), QStringLiteral("TALKGROUPS"),
                             QStringLiteral("RECORDINGS")};

QString duration(double seconds)
{
    const qint64 s = qint64(seconds + 0.5);
    return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

// A value axis from 0 to a little over the largest value, with ticks at
// round steps (1, 2 or 5 times a power of ten; whole ones for counts).
QValueAxis *valueAxis(double most, bool whole, const QString &title)
{
    double step = 1;
    if (most > 0) {
        const double raw = most / 6;
        const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
        step = magnitude * (raw <= magnitude ? 1 : raw <= 2 * magnitude ? 2 : raw <= 5 * magnitude ? 5 : 10);
    }
    if (whole)
        step = std::max(1.0, std::round(step));
    const int ticks = std::max(1, int(std::ceil(most / step - 1e-9)));
    auto *axis = new QValueAxis;
    axis->setRange(0, ticks * step);
    axis->setTickCount(ticks + 1);
    const int decimals = whole ? 0 : std::max(0, int(-std::floor(std::log10(step))));
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    axis->setTitleText(title);
    return axis;
}

} // namespace

ActivityStatisticsWindow::ActivityStatisticsWindow(const QString &databasePath, TalkgroupActivityLog *log,
                                                   MessageFn message, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_db(std::make_unique<ChannelDatabase>(databasePath, QStringLiteral("orvendal-activity-statistics"), 200))
    , m_message(std::move(message))
{
    setObjectName(QStringLiteral("frmActivityStatistics"));
    setWindowTitle(kCaption);
    resize(760, 520);

    m_span = new QComboBox(this);
    m_span->setObjectName(QStringLiteral("cboSpan"));
    m_span->addItems({QStringLiteral("Last 24 hours"), QStringLiteral("Last 7 days"), QStringLiteral("Last 30 days"),
                      QStringLiteral("All"), QStringLiteral("From/To")});
    m_span->setCurrentIndex(Last7Days);
    const QDateTime now = QDateTime::currentDateTime();
    m_from = new QDateTimeEdit(now.addDays(-7), this);
    m_from->setObjectName(QStringLiteral("dtFrom"));
    m_to = new QDateTimeEdit(now, this);
    m_to->setObjectName(QStringLiteral("dtTo"));
    for (QDateTimeEdit *edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        edit->setEnabled(false);
    }
    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Span:"), this));
    bar->addWidget(m_span);
    bar->addWidget(new QLabel(QStringLiteral("From:"), this));
    bar->addWidget(m_from);
    bar->addWidget(new QLabel(QStringLiteral("To:"), this));
    bar->addWidget(m_to);
    bar->addStretch();

    m_tabs = new QTabWidget(this);
    for (int c = 0; c < kCharts; ++c) {
        auto *chart = new QChart;
        chart->setTitle(QString::fromLatin1(kTitles[c]));
        chart->legend()->hide();
        m_views[c] = new QChartView(chart, m_tabs);
        m_views[c]->setObjectName(QStringLiteral("chart%1").arg(QLatin1String(kTabs[c])));
        m_views[c]->setRenderHint(QPainter::Antialiasing);
        m_tabs->addTab(m_views[c], QString::fromLatin1(kTabs[c]));
    }
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setWordWrap(true);
    auto *savePng = new QPushButton(QStringLiteral("Save as PNG..."), this);
    savePng->setObjectName(QStringLiteral("cmdSavePng"));
    auto *saveSvg = new QPushButton(QStringLiteral("Save as SVG..."), this);
    saveSvg->setObjectName(QStringLiteral("cmdSaveSvg"));
    saveSvg->setVisible(ChartExport::canWriteSvg());
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_summary, 1);
    bottom->addWidget(savePng);
    bottom->addWidget(saveSvg);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(bottom);

    connect(m_span, &QComboBox::currentIndexChanged, this, &ActivityStatisticsWindow::spanChosen);
    m_edit.setSingleShot(true);
    m_edit.setInterval(kEditMillis);
    connect(&m_edit, &QTimer::timeout, this, &ActivityStatisticsWindow::refresh);
    for (QDateTimeEdit *edit : {m_from, m_to})
        connect(edit, &QDateTimeEdit::dateTimeChanged, &m_edit, qOverload<>(&QTimer::start));
    connect(savePng, &QPushButton::clicked, this, [this] { saveAsked("PNG"); });
    connect(saveSvg, &QPushButton::clicked, this, [this] { saveAsked("SVG"); });

    m_live.setSingleShot(true);
    m_live.setInterval(kLiveMillis);
    connect(&m_live, &QTimer::timeout, this, &ActivityStatisticsWindow::refresh);
    if (log) {
        connect(log, &TalkgroupActivityLog::written, this, &ActivityStatisticsWindow::later);
        connect(log, &TalkgroupActivityLog::pruned, this, &ActivityStatisticsWindow::later);
    }
    connect(DataChanges::instance(), &DataChanges::changed, this, [this](const QStringList &tables) {
        if (std::any_of(tables.cbegin(), tables.cend(), [](const QString &t) { return kTables.contains(t); }))
            later();
    });
}

ActivityStatisticsWindow::~ActivityStatisticsWindow()
{
    m_span->disconnect(this);
    m_edit.stop();
    m_live.stop();
}

bool ActivityStatisticsWindow::load()
{
    QString error;
    if (!m_db->open(&error)) {
        if (m_message)
            m_message(MessageKind::Warning, kCaption, QStringLiteral("The channel database cannot be opened: %1").arg(error));
        return false;
    }
    m_stats = std::make_unique<ActivityStatistics>(m_db->database());
    refresh();
    return !m_failed;
}

void ActivityStatisticsWindow::later()
{
    // Hidden, it counts again when it is shown.
    if (isVisible() && !m_live.isActive())
        m_live.start();
}

void ActivityStatisticsWindow::spanChosen()
{
    const bool own = m_span->currentIndex() == FromTo;
    m_from->setEnabled(own);
    m_to->setEnabled(own);
    refresh();
}

int ActivityStatisticsWindow::spanHours() const
{
    static const int hours[] = {24, 24 * 7, 24 * 30};
    const int span = m_span->currentIndex();
    return span >= Last24Hours && span <= Last30Days ? hours[span] : 0;
}

bool ActivityStatisticsWindow::chosenSpan(QDateTime *from, QDateTime *to) const
{
    *from = *to = QDateTime();
    if (m_span->currentIndex() == FromTo) {
        *from = m_from->dateTime();
        *to = m_to->dateTime();
        return *from < *to;
    }
    if (const int hours = spanHours())
        *from = QDateTime::currentDateTime().addSecs(-qint64(hours) * 3600);
    return true;
}

void ActivityStatisticsWindow::refresh()
{
    m_live.stop();
    m_edit.stop();
    if (!m_stats)
        return;
    QDateTime from, to;
    if (!chosenSpan(&from, &to)) {
        m_figures = ActivityFigures();
        draw();
        showSummary(QStringLiteral("The span is empty: \"From\" must be before \"To\"."));
        return;
    }
    QString error;
    ActivityFigures figures;
    QElapsedTimer took;
    took.start();
    const bool ok = m_stats->compute(from, to, &figures, &error);
    // A long log takes a while to count: while it is written the window
    // counts it again only after ten times as long, so that the counting
    // holds the window thread a tenth of the time at most.
    m_live.setInterval(int(std::clamp<qint64>(took.elapsed() * 10, kLiveMillis, 60000)));
    // One message for a run of failures, not one per refresh; the charts
    // keep what they showed.
    if (!ok && !m_failed && m_message)
        m_message(MessageKind::Warning, kCaption, QStringLiteral("The activity statistics cannot be read: %1").arg(error));
    m_failed = !ok;
    if (!ok) {
        showSummary(QStringLiteral("The activity statistics cannot be read: %1").arg(error));
        return;
    }
    m_figures = std::move(figures);
    draw();
    showSummary(QString());
}

void ActivityStatisticsWindow::showSummary(const QString &problem)
{
    if (!problem.isEmpty()) {
        m_summary->setText(problem);
        return;
    }
    const ActivityFigures &f = m_figures;
    QString text = QStringLiteral("Calls: %1, talkgroups: %2").arg(f.calls).arg(f.talkgroups);
    if (f.recordings > 0)
        text += QStringLiteral(", recorded calls: %1, airtime %2").arg(f.recordings).arg(duration(f.recordedSeconds));
    text += QStringLiteral(". Hours and days are in local time (%1).")
                .arg(QDateTime::currentDateTime().timeZoneAbbreviation());
    if (f.undated > 0)
        text += QStringLiteral(" Calls with a time that cannot be read (%1) are not in the hour and day charts.").arg(f.undated);
    m_summary->setText(text);
}

void ActivityStatisticsWindow::draw()
{
    QStringList hours;
    QList<qint64> perHour;
    for (int h = 0; h < 24; ++h) {
        hours << QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0'));
        perHour << m_figures.perHour[h];
    }
    drawCounts(HoursChart, hours, perHour);
    QStringList days;
    QList<qint64> perDay;
    for (int d = 0; d < 7; ++d) {
        days << QLocale().dayName(d + 1, QLocale::ShortFormat);
        perDay << m_figures.perWeekday[d];
    }
    drawCounts(WeekdaysChart, days, perDay);
    drawTalkgroups(BusiestChart, m_figures.busiest, false);
    drawTalkgroups(AirtimeChart, m_figures.airtime, true);
}

QChart *ActivityStatisticsWindow::emptied(Chart chart) const
{
    QChart *c = m_views[chart]->chart();
    c->removeAllSeries();
    const QList<QAbstractAxis *> axes = c->axes();
    for (QAbstractAxis *axis : axes) {
        c->removeAxis(axis);
        delete axis;
    }
    c->setTitle(QString::fromLatin1(kTitles[chart]));
    return c;
}

void ActivityStatisticsWindow::drawCounts(Chart chart, const QStringList &categories, const QList<qint64> &counts)
{
    QChart *c = emptied(chart);
    auto *set = new QBarSet(QStringLiteral("Calls"));
    qint64 most = 0;
    for (qint64 n : counts) {
        *set << double(n);
        most = qMax(most, n);
    }
    auto *series = new QBarSeries;
    series->append(set);
    c->addSeries(series);
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    QValueAxis *y = valueAxis(double(most), true, QStringLiteral("Calls"));
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

void ActivityStatisticsWindow::drawTalkgroups(Chart chart, const QList<TalkgroupFigure> &figures, bool airtime)
{
    QChart *c = emptied(chart);
    if (figures.isEmpty())
        c->setTitle(c->title() + (airtime ? QStringLiteral(": no recorded calls in this span")
                                          : QStringLiteral(": no calls in this span")));
    // Bars go up from the bottom: the first is the last of the list, so
    // that the busiest stands on top.
    QStringList labels;
    QStringList ids;
    auto *set = new QBarSet(airtime ? QStringLiteral("Minutes") : QStringLiteral("Calls"));
    double most = 0;
    for (auto it = figures.crbegin(); it != figures.crend(); ++it) {
        // Minutes to a tenth.
        const double value = airtime ? std::round(it->seconds / 6.0) / 10.0 : double(it->calls);
        *set << value;
        most = qMax(most, value);
        labels << it->label();
        ids << it->id;
    }
    m_barIds[chart] = ids;
    connect(set, &QBarSet::clicked, this, [this, chart](int index) {
        const QString id = m_barIds[chart].value(index);
        if (!id.isEmpty())
            emit talkgroupChosen(id);
    });
    auto *series = new QHorizontalBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
    series->setLabelsFormat(airtime ? QStringLiteral("@value min") : QStringLiteral("@value"));
    series->setLabelsPrecision(12);
    c->addSeries(series);
    auto *y = new QBarCategoryAxis;
    y->append(labels);
    QValueAxis *x = valueAxis(most, !airtime, airtime ? QStringLiteral("Minutes recorded") : QStringLiteral("Calls"));
    c->addAxis(y, Qt::AlignLeft);
    c->addAxis(x, Qt::AlignBottom);
    series->attachAxis(y);
    series->attachAxis(x);
}

void ActivityStatisticsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh(); // what was written while it was hidden
}

bool ActivityStatisticsWindow::saveChart(Chart chart, const QString &path)
{
    // Saved as shown: a chart behind another tab has no size of its own yet.
    m_tabs->setCurrentWidget(m_views[chart]);
    QString error;
    const bool svg = path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive);
    const bool ok = svg ? ChartExport::saveSvg(m_views[chart], m_views[chart]->chart()->title(), path, &error)
                        : ChartExport::savePng(m_views[chart], path, &error);
    if (!ok && m_message)
        m_message(MessageKind::Warning, kCaption, QStringLiteral("%1 could not be written: %2").arg(path, error));
    return ok;
}

void ActivityStatisticsWindow::saveAsked(const char *format)
{
    const Chart chart = Chart(m_tabs->currentIndex());
    const QString suffix = QString::fromLatin1(format).toLower();
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save as %1").arg(QLatin1String(format)),
                                                QString::fromLatin1(kFileNames[chart]) + QLatin1Char('.') + suffix,
                                                QStringLiteral("%1 files (*.%2)").arg(QLatin1String(format), suffix));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        path += QLatin1Char('.') + suffix;
    saveChart(chart, path);
}
