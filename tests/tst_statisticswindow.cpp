// View, Activity Statistics: the charts of a span, saving them, and a click
// on a talkgroup's bar.

#include "StatisticsFixture.h"
#include "WindowRig.h"
#include "data/DataChanges.h"
#include "ui/ActivityStatisticsWindow.h"
#include "ui/ActivityWindow.h"
#include "ui/ViewWindows.h"

#include <QAction>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#ifdef ORVENDAL_HAVE_SVG
#include <QSvgRenderer>
#endif

#include <ctime>

namespace {

struct StatisticsRig : SessionRig
{
    QStringList messages;
    ActivityStatisticsWindow *stats = nullptr;
    FacePlateWindow window{wiring()};

    FacePlateWindow::Wiring wiring()
    {
        FacePlateWindow::Wiring w = windowWiring(parts, &port, store.store.get(), databasePath());
        w.activity = &parts.log;
        return w;
    }
    StatisticsRig()
    {
        qputenv("TZ", "EST5EDT,M3.2.0,M11.1.0");
        tzset();
        window.setMessage([this](MessageKind, const QString &, const QString &text) {
            messages << text;
            return true;
        });
        ChannelDatabase db(databasePath(), QStringLiteral("fixture"));
        QString error;
        if (!db.open(&error) || !StatisticsFixture::fill(db.database()))
            qFatal("fixture: %s", qPrintable(error));
    }
    // Opened from the menu, on 2026 (local time).
    bool open()
    {
        window.findChild<QAction *>(QStringLiteral("mnuActivityStatistics"))->trigger();
        stats = window.viewWindows()->statisticsWindow();
        if (!stats || !stats->isVisible())
            return false;
        stats->fromEdit()->setDateTime(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
        stats->toEdit()->setDateTime(QDateTime(QDate(2027, 1, 1), QTime(0, 0)));
        stats->spanChooser()->setCurrentIndex(ActivityStatisticsWindow::FromTo);
        return QTest::qWaitForWindowExposed(stats);
    }
    QBarSet *bars(ActivityStatisticsWindow::Chart chart) const
    {
        const auto *series = qobject_cast<QAbstractBarSeries *>(stats->chartView(chart)->chart()->series().value(0));
        return series ? series->barSets().value(0) : nullptr;
    }
};

} // namespace

class TestStatisticsWindow : public QObject
{
    Q_OBJECT
private slots:
    void chartsOfTheSpan();
    void followsTheTables();
    void savedChartsLoadBack();
    void barClickFiltersTheActivity();
};

void TestStatisticsWindow::chartsOfTheSpan()
{
    StatisticsRig rig;
    QVERIFY(rig.open());
    QCOMPARE(rig.stats->windowTitle(), QStringLiteral("Activity Statistics"));
    QCOMPARE(rig.stats->figures().calls, 8);
    // Drawn as counted: the hours in local time.
    QBarSet *hours = rig.bars(ActivityStatisticsWindow::HoursChart);
    QVERIFY(hours);
    QCOMPARE(hours->count(), 24);
    QCOMPARE(hours->at(10), 2.0);
    QCOMPARE(hours->at(1), 2.0);
    QCOMPARE(hours->at(14), 0.0);
    QCOMPARE(rig.bars(ActivityStatisticsWindow::WeekdaysChart)->at(2), 3.0); // Wednesday
    // The busiest on top, named where a name is known.
    auto *axis = qobject_cast<QBarCategoryAxis *>(
        rig.stats->chartView(ActivityStatisticsWindow::BusiestChart)->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(axis);
    QCOMPARE(axis->categories(), QStringList({"200", "300", "100 Fire Dispatch"}));
    QCOMPARE(rig.bars(ActivityStatisticsWindow::AirtimeChart)->at(2), 0.5); // 200: 30 s
    const QString summary = rig.stats->summary()->text();
    QVERIFY2(summary.contains(QStringLiteral("Calls: 8, talkgroups: 3")) && summary.contains(QStringLiteral("local time"))
                 && summary.contains(QStringLiteral("cannot be read (1)")),
             qPrintable(summary));

    rig.stats->spanChooser()->setCurrentIndex(ActivityStatisticsWindow::AllTime);
    QCOMPARE(rig.stats->figures().calls, 9);
    // A span the wrong way round is said, not counted.
    rig.stats->spanChooser()->setCurrentIndex(ActivityStatisticsWindow::FromTo);
    rig.stats->fromEdit()->setDateTime(QDateTime(QDate(2027, 2, 1), QTime(0, 0)));
    rig.stats->refresh();
    QCOMPARE(rig.stats->figures().calls, 0);
    QVERIFY(rig.stats->summary()->text().contains(QStringLiteral("The span is empty")));
    QVERIFY(rig.messages.isEmpty());
}

void TestStatisticsWindow::followsTheTables()
{
    StatisticsRig rig;
    QVERIFY(rig.open());
    rig.parts.log.setFlushDelay(1);
    rig.parts.log.setClock([] { return QDateTime(QDate(2026, 8, 1), QTime(12, 0), Qt::UTC); }); // in the span
    rig.parts.log.record(QStringLiteral("555"), QLatin1Char('D'));
    QTRY_COMPARE(rig.stats->figures().calls, 9);
    // A recording written elsewhere, announced.
    {
        ChannelDatabase db(rig.databasePath(), QStringLiteral("other"));
        QString error;
        QVERIFY(db.open(&error));
        QVERIFY(QSqlQuery(db.database())
                    .exec(QStringLiteral("INSERT INTO RECORDINGS (FILE, START_UTC, END_UTC, DURATION, TALKGROUP) "
                                         "VALUES ('g', '2026-08-01T10:00:00.000Z', 'x', 600, '555')")));
    }
    DataChanges::announce({QStringLiteral("RECORDINGS")});
    QTRY_COMPARE(rig.stats->barTalkgroups(ActivityStatisticsWindow::AirtimeChart).value(3), QStringLiteral("555")); // on top
}

void TestStatisticsWindow::savedChartsLoadBack()
{
    StatisticsRig rig;
    QVERIFY(rig.open());
    const QString png = rig.store.dir.filePath(QStringLiteral("hours.png"));
    QVERIFY(rig.stats->saveChart(ActivityStatisticsWindow::HoursChart, png));
    QImage image;
    QVERIFY(image.load(png, "PNG"));
    QCOMPARE(image.size() / image.devicePixelRatio(),
             rig.stats->chartView(ActivityStatisticsWindow::HoursChart)->size());

    // Nowhere to write: said, and nothing else touched.
    QVERIFY(!rig.stats->saveChart(ActivityStatisticsWindow::HoursChart,
                                  rig.store.dir.filePath(QStringLiteral("none/hours.png"))));
    QCOMPARE(rig.messages.size(), 1);

#ifdef ORVENDAL_HAVE_SVG
    const QString svg = rig.store.dir.filePath(QStringLiteral("busiest.svg"));
    QVERIFY(rig.stats->saveChart(ActivityStatisticsWindow::BusiestChart, svg));
    QSvgRenderer renderer(svg);
    QVERIFY(renderer.isValid());
    QVERIFY(!renderer.defaultSize().isEmpty());
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    // Drawn, not pictured: the names are text in it.
    QVERIFY(text.contains("Busiest talkgroups"));
    QVERIFY(text.contains("Fire Dispatch"));
#else
    QSKIP("built without Qt SVG: charts are saved as PNG only");
#endif
}

void TestStatisticsWindow::barClickFiltersTheActivity()
{
    StatisticsRig rig;
    QVERIFY(rig.open());
    QChartView *view = rig.stats->chartView(ActivityStatisticsWindow::BusiestChart);
    rig.stats->findChild<QTabWidget *>()->setCurrentWidget(view);
    QVERIFY(QTest::qWaitForWindowExposed(view));
    QChart *chart = view->chart();
    auto *series = qobject_cast<QHorizontalBarSeries *>(chart->series().value(0));
    QVERIFY(series);
    // The middle of the bar of 300 (the second from the bottom).
    const int index = int(rig.stats->barTalkgroups(ActivityStatisticsWindow::BusiestChart).indexOf(QStringLiteral("300")));
    QCOMPARE(index, 1);
    QTRY_VERIFY(chart->plotArea().width() > 50);
    const QPointF inChart = chart->mapToPosition(QPointF(1.5, index), series);
    const QPoint at = view->mapFromScene(chart->mapToScene(inChart));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);

    ActivityWindow *activity = rig.window.viewWindows()->activityWindow();
    QVERIFY(activity && activity->isVisible());
    QCOMPARE(activity->idFilter()->text(), QStringLiteral("300"));
    QCOMPARE(ActivityWindow::kSpanHours.value(activity->spanFilter()->currentIndex()), 0); // from/to: every call
    // Its three calls, and its recording that no call row refers to.
    QCOMPARE(activity->listModel()->rowCount(), 4);
    for (int r = 0; r < 4; ++r)
        QCOMPARE(activity->listModel()->index(r, 1).data().toString(), QStringLiteral("300"));

    // A span both windows have is taken over.
    rig.stats->spanChooser()->setCurrentIndex(ActivityStatisticsWindow::Last30Days);
    emit rig.stats->talkgroupChosen(QStringLiteral("100"));
    QCOMPARE(activity->idFilter()->text(), QStringLiteral("100"));
    QCOMPARE(ActivityWindow::kSpanHours.value(activity->spanFilter()->currentIndex()), 24 * 30);
}

QTEST_MAIN(TestStatisticsWindow)
#include "tst_statisticswindow.moc"
