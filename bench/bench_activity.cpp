// The talkgroup activity log under load: 100,000 rows written while the poll
// loop talks to the simulated scanner (trunk search, a new talkgroup every
// few turns) over a pseudo-terminal, with the gaps between poll turns
// measured; then the activity view's filters on those rows.
//
// usage: bench-activity [rows] (default 100000)

#include "BenchSupport.h"
#include "data/ActivityModels.h"
#include "data/ChannelDatabase.h"
#include "data/TalkgroupActivityLog.h"
#include "link/SerialCommPort.h"
#include "scanner/AuxDisplayModel.h"
#include "scanner/AuxLookups.h"
#include "scanner/DisplayModel.h"
#include "scanner/PollLoop.h"
#include "scanner/ScannerSession.h"
#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Rows the feeder adds every kFeedMillis beside those the poll loop logs.
constexpr int kFeedMillis = 5;
constexpr int kRowsPerFeed = 25;
constexpr int kTalkgroups = 1000;
// Polling alone first, to see what the machine does to the turns by itself.
constexpr int kQuietMillis = 3000;

void filterBenchmark(const QString &path, qint64 rows, const QDateTime &newest)
{
    ChannelDatabase db(path, QStringLiteral("bench-view"));
    QString error;
    if (!db.open(&error)) {
        std::printf("filter: cannot open the database: %s\n", qPrintable(error));
        return;
    }
    ActivityListModel list(db.database());
    ActivitySummaryModel summary(db.database());
    struct Case
    {
        const char *name;
        ActivityQueryModel *model;
        ActivityFilter filter;
    };
    const Case cases[] = {
        {"list, everything", &list, {}},
        {"list, one ID", &list, {QStringLiteral("1234"), {}, {}}},
        {"list, last 24 hours", &list, {QString(), newest.addDays(-1), {}}},
        {"list, one ID, last 7 days", &list, {QStringLiteral("1234"), newest.addDays(-7), {}}},
        {"summary, everything", &summary, {}},
        {"summary, last 7 days", &summary, {QString(), newest.addDays(-7), {}}},
        {"summary, one ID", &summary, {QStringLiteral("1234"), {}, {}}},
    };
    std::printf("activity view filters on %lld rows (first screenful fetched; target < 50 ms):\n", rows);
    for (const Case &c : cases) {
        QList<double> ms;
        int shown = 0;
        for (int i = 0; i < 7; ++i) {
            QElapsedTimer timer;
            timer.start();
            const bool ok = c.model->apply(c.filter, &error);
            shown = c.model->rowCount();
            ms << timer.nsecsElapsed() / 1e6;
            if (!ok) {
                std::printf("  %s: failed: %s\n", c.name, qPrintable(error));
                break;
            }
        }
        std::printf("  %-28s median %7.2f ms, max %7.2f ms (%d rows shown)\n", c.name, Bench::quantile(ms, 0.5),
                    Bench::quantile(ms, 1.0), shown);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_LOGGING_RULES", "orvendal.*.debug=false\norvendal.*.info=false");
    QCoreApplication app(argc, argv);
    const qint64 target = argc > 1 ? QString::fromLatin1(argv[1]).toLongLong() : 100000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data/Orvendal.db"));

    ScannerEngine engine;
    QList<ScannerEngine::Talkgroup> stream;
    for (int i = 0; i < 50; ++i)
        stream.append({char('A' + i % 20), QStringLiteral("%1").arg(1000 + i * 37, 5, 10, QLatin1Char('0'))});
    engine.setTalkgroups(stream, 40); // a new talkgroup every four turns or so
    engine.setMode(ScannerEngine::TrunkSearch);
    SimLink link(&engine);
    link.setOptions({19200, 1, false});
    PtyHost host(&link);
    QString error;
    if (!host.open(dir.filePath(QStringLiteral("vks")), &error)) {
        std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }

    QSettings store(dir.filePath(QStringLiteral("OVKS4410.conf")), QSettings::IniFormat);
    store.setValue("Config/Com_Port", "1");
    store.setValue("Config/Com_Speed", "19200");
    SerialCommPort port;
    const QString device = host.portName();
    store.setValue("Config/Com_Device_1", device);
    port.setDeviceResolver([device](int) { return device; });
    port.setSettings(QStringLiteral("19200,N,8,1"));
    ChannelDatabase lookupsDb(path, QStringLiteral("orvendal-lookups"), 200);
    DisplayModel display;
    AuxDisplayModel aux;
    AuxLookups lookups(&aux, &lookupsDb, {});
    ScannerSession session({&port, &store, &display, &aux, &lookups});

    // Rows dated about 90 days back to now, so the time filters have something to cut.
    const QDateTime newest = QDateTime::currentDateTime();
    const qint64 stepMs = 90LL * 24 * 3600 * 1000 / target;
    qint64 recorded = 0;
    TalkgroupActivityLog log(path);
    log.setClock([&] { return newest.addMSecs(-stepMs * (target - recorded)); });
    if (!log.open(0, &error)) {
        std::printf("cannot open the activity log: %s\n", qPrintable(error));
        return 1;
    }
    qint64 fromLoop = 0;
    QObject::connect(&session, &ScannerSession::talkgroupShown, &log, [&](const QString &id, QChar bank) {
        ++fromLoop;
        ++recorded;
        log.record(id, bank);
    });

    if (!port.open()) {
        std::printf("cannot open %s: %s\n", qPrintable(device), qPrintable(port.errorString()));
        return 1;
    }
    session.startPolling();

    // The gaps between turns, sampled every millisecond.
    QList<double> gaps;
    QList<double> quietGaps; // before the feeder starts: what the machine itself does
    bool feeding = false;
    qint64 lastTurns = 0;
    qint64 lastTurnNs = Bench::monotonicNs();
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        PollLoop *loop = session.pollLoop();
        if (!loop || loop->turns() == lastTurns)
            return;
        const qint64 now = Bench::monotonicNs();
        if (lastTurns > 0)
            (feeding ? gaps : quietGaps) << (now - lastTurnNs) / 1e6;
        lastTurns = loop->turns();
        lastTurnNs = now;
    });
    sampler.start(1);

    // The rest of the rows, as fast as a busy trunk system never would.
    qint64 writes = 0;
    QTimer feeder;
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        for (int i = 0; i < kRowsPerFeed && recorded < target; ++i) {
            log.record(QString::number(1000 + (recorded * 7919) % kTalkgroups), QChar(char('A' + recorded % 20)));
            ++recorded;
        }
    });
    QTimer::singleShot(kQuietMillis, [&] {
        feeding = true;
        feeder.start(kFeedMillis);
    });
    QObject::connect(&log, &TalkgroupActivityLog::written, [&] { ++writes; });

    QElapsedTimer wall;
    wall.start();
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (log.rowsWritten() >= target)
            app.quit();
    });
    done.start(50);
    const double cpu0 = Bench::cpuSeconds();
    app.exec();
    const double seconds = wall.elapsed() / 1000.0;
    session.shutdown();

    int late = 0;
    for (double g : gaps)
        late += g > 20.0 ? 1 : 0;
    std::printf("activity rows: %lld written in %.1f s (%lld from the poll loop's talkgroup changes), %.1f s CPU\n",
                log.rowsWritten(), seconds, fromLoop, Bench::cpuSeconds() - cpu0);
    std::printf("poll turns:    %lld, gap median %.2f ms, p99 %.2f ms, max %.2f ms; %d of %lld later than 20 ms "
                "(target: none)\n",
                lastTurns, Bench::quantile(gaps, 0.5), Bench::quantile(gaps, 0.99), Bench::quantile(gaps, 1.0), late,
                qint64(gaps.size()));
    int quietLate = 0;
    for (double g : quietGaps)
        quietLate += g > 20.0 ? 1 : 0;
    std::printf("without rows:  %lld turns, gap median %.2f ms, p99 %.2f ms, max %.2f ms; %d later than 20 ms\n",
                qint64(quietGaps.size()), Bench::quantile(quietGaps, 0.5), Bench::quantile(quietGaps, 0.99),
                Bench::quantile(quietGaps, 1.0), quietLate);
    std::printf("writes:        %lld of up to %d rows each, the longest %.2f ms\n", writes, TalkgroupActivityLog::kMaxBatch,
                log.longestWriteMillis());
    filterBenchmark(path, log.rowsWritten(), newest);
    return late == 0 ? 0 : 2;
}
