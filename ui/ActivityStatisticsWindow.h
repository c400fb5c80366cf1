#pragma once

#include "data/ActivityStatistics.h"
#include "link/Prompts.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class ChannelDatabase;
class QChart;
class QChartView;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QTabWidget;
class TalkgroupActivityLog;

// View, Activity Statistics: for a time span, calls per hour of the day and
// per day of the week (local time), the busiest talkgroups and the recorded
// airtime per talkgroup, as charts. Each chart can be saved as PNG or SVG; a
// click on a talkgroup's bar asks for that talkgroup's calls. Follows the
// log and the tables it reads while it is shown.
class ActivityStatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    static const QString kCaption;
    enum Chart { HoursChart, WeekdaysChart, BusiestChart, AirtimeChart };
    static constexpr int kCharts = 4;
    enum Span { Last24Hours, Last7Days, Last30Days, AllTime, FromTo };
    // The charts are drawn again at most this often while the log writes
    // (less often where counting takes long).
    static constexpr int kLiveMillis = 2000;
    // A span typed in is counted this long after the last key.
    static constexpr int kEditMillis = 400;

    ActivityStatisticsWindow(const QString &databasePath, TalkgroupActivityLog *log, MessageFn message,
                             QWidget *parent = nullptr);
    ~ActivityStatisticsWindow() override;

    // Opens its connection and counts; false (the user told) when the
    // database cannot be read.
    bool load();
    // Counts the span again and draws the charts.
    void refresh();
    // The chart as PNG, or as SVG when the path ends in ".svg", as shown (its
    // tab is brought forward); false (the user told) when it cannot be
    // written.
    bool saveChart(Chart chart, const QString &path);

    QComboBox *spanChooser() const { return m_span; }
    QDateTimeEdit *fromEdit() const { return m_from; }
    QDateTimeEdit *toEdit() const { return m_to; }
    QChartView *chartView(Chart chart) const { return m_views[chart]; }
    QLabel *summary() const { return m_summary; }
    // The span chosen in hours back from now; 0 for every call and for a
    // from/to span.
    int spanHours() const;
    const ActivityFigures &figures() const { return m_figures; }
    // The talkgroup IDs of a talkgroup chart's bars, in the order of its set.
    QStringList barTalkgroups(Chart chart) const { return m_barIds[chart]; }

signals:
    // A talkgroup's bar was clicked.
    void talkgroupChosen(const QString &id);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void spanChosen();
    void later();
    // The span chosen: [*from, *to), an invalid end open. False when the
    // from/to span is empty.
    bool chosenSpan(QDateTime *from, QDateTime *to) const;
    void draw();
    void drawCounts(Chart chart, const QStringList &categories, const QList<qint64> &counts);
    void drawTalkgroups(Chart chart, const QList<TalkgroupFigure> &figures, bool airtime);
    QChart *emptied(Chart chart) const;
    void showSummary(const QString &problem);
    void saveAsked(const char *format);

    std::unique_ptr<ChannelDatabase> m_db;
    std::unique_ptr<ActivityStatistics> m_stats;
    MessageFn m_message;
    ActivityFigures m_figures;
    std::array<QChartView *, kCharts> m_views{};
    std::array<QStringList, kCharts> m_barIds;
    QComboBox *m_span = nullptr;
    QDateTimeEdit *m_from = nullptr;
    QDateTimeEdit *m_to = nullptr;
    QLabel *m_summary = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTimer m_live;
    QTimer m_edit;
    bool m_failed = false;
};
