// The talkgroup activity log under load, with the poll loop talking to the
// simulated scanner (trunk search, a new talkgroup every few turns) over a
// pseudo-terminal and the gaps between poll turns measured:
//  1. 100,000 rows written; the write-ahead log's size after them; the
//     activity view's filters on those rows;
//  2. another connection holding the write lock for 10 s meanwhile;
//  3. start-up on a database with a million rows to prune, and the pruning
//     that follows in the background.
//
// usage: bench-activity [rows] [rows to prune] (default 100000 1000000)

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
#include <QEventLoop>
#include <QFileInfo>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <utility>

namespace {

// Rows the feeder adds every kFeedMillis beside those the poll loop logs.
constexpr int kFeedMillis = 5;
constexpr int kRowsPerFeed = 25;
constexpr int kTalkgroups = 1000;
// Polling alone first, to see what the machine does to the turns by itself.
constexpr int kQuietMillis = 3000;
constexpr int kLockMillis = 10000;

double fileMb(const QString &path)
{
    return QFileInfo(path).size() / 1e6;
}

// Lets events run until done() holds.
void runUntil(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    check.start(20);
    loop.exec();
}

void runFor(int millis)
{
    QElapsedTimer t;
    t.start();
    runUntil([&] { return t.elapsed() >= millis; });
}

// The program's faceplate parts on the simulated scanner, with a database of
// their own and the gaps between poll turns sampled every millisecond.
struct Rig
{
    ScannerEngine engine;
    SimLink link{&engine};
    PtyHost host{&link};
    QSettings store;
    SerialCommPort port;
    ChannelDatabase lookupsDb;
    DisplayModel display;
    AuxDisplayModel aux;
    AuxLookups lookups{&aux, &lookupsDb, {}};
    ScannerSession session{{&port, &store, &display, &aux, &lookups}};
    TalkgroupActivityLog log;
    QTimer sampler;
    QList<double> gaps;
    qint64 lastTurns = 0;
    qint64 lastTurnNs = 0;
    qint64 fromLoop = 0;

    Rig(const QString &path, const QString &folder)
        : store(folder + QStringLiteral("/OVKS4410.conf"), QSettings::IniFormat)
        , lookupsDb(path, QStringLiteral("bench-lookups-%1").arg(quintptr(this)), 0)
        , log(path)
    {
        QList<ScannerEngine::Talkgroup> stream;
        for (int i = 0; i < 50; ++i)
            stream.append({char('A' + i % 20), QStringLiteral("%1").arg(1000 + i * 37, 5, 10, QLatin1Char('0'))});
        engine.setTalkgroups(stream, 200); // a new talkgroup every twenty turns or so
        engine.setMode(ScannerEngine::TrunkSearch);
        link.setOptions({19200, 1, false});
        QObject::connect(&session, &ScannerSession::talkgroupShown, &log, [this](const QString &id, QChar bank) {
            ++fromLoop;
            log.record(id, bank);
        });
        sampler.setTimerType(Qt::PreciseTimer);
        QObject::connect(&sampler, &QTimer::timeout, [this] {
            PollLoop *loop = session.pollLoop();
            if (!loop || loop->turns() == lastTurns)
                return;
            const qint64 now = Bench::monotonicNs();
            if (lastTurns > 0)
                gaps << (now - lastTurnNs) / 1e6;
            lastTurns = loop->turns();
            lastTurnNs = now;
        });
    }

    bool start(const QString &ptyPath)
    {
        QString error;
        if (!host.open(ptyPath, &error)) {
            std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(error));
            return false;
        }
        store.setValue("Config/Com_Port", "1");
        store.setValue("Config/Com_Speed", "19200");
        const QString device = host.portName();
        port.setDeviceResolver([device](int) { return device; });
        port.setSettings(QStringLiteral("19200,N,8,1"));
        if (!port.open()) {
            std::printf("cannot open %s: %s\n", qPrintable(device), qPrintable(port.errorString()));
            return false;
        }
        session.startPolling();
        sampler.start(1);
        return true;
    }
    QList<double> takeGaps() { return std::exchange(gaps, {}); }
};

void printGaps(const char *label, const QList<double> &gaps)
{
    int late = 0;
    for (double g : gaps)
        late += g > 20.0 ? 1 : 0;
    std::printf("%s%lld turns, gap median %.2f ms, p99 %.2f ms, max %.2f ms; %d later than 20 ms\n", label,
                qint64(gaps.size()), Bench::quantile(gaps, 0.5), Bench::quantile(gaps, 0.99),
                Bench::quantile(gaps, 1.0), late);
}

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

// 1 and 2: rows written while polling, then the write lock held elsewhere.
int writeUnderLoad(const QString &folder, qint64 target)
{
    const QString path = folder + QStringLiteral("/Data/Orvendal.db");
    Rig rig(path, folder);
    // Rows dated about 90 days back to now, so the time filters have something to cut.
    const QDateTime newest = QDateTime::currentDateTime();
    const qint64 stepMs = 90LL * 24 * 3600 * 1000 / target;
    qint64 recorded = 0;
    rig.log.setClock([&] { return newest.addMSecs(-stepMs * qMax<qint64>(0, target - recorded)); });
    QObject::connect(&rig.session, &ScannerSession::talkgroupShown, [&] { ++recorded; });
    if (!rig.start(folder + QStringLiteral("/vks")))
        return 1;
    runFor(kQuietMillis);
    const QList<double> quietGaps = rig.takeGaps();

    // The rest of the rows, as fast as a busy trunk system never would.
    qint64 writes = 0;
    QObject::connect(&rig.log, &TalkgroupActivityLog::written, [&] { ++writes; });
    QTimer feeder;
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        for (int i = 0; i < kRowsPerFeed && recorded < target; ++i) {
            rig.log.record(QString::number(1000 + (recorded * 7919) % kTalkgroups), QChar(char('A' + recorded % 20)));
            ++recorded;
        }
    });
    feeder.start(kFeedMillis);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = Bench::cpuSeconds();
    runUntil([&] { return rig.log.rowsWritten() >= target; });
    feeder.stop();
    const double seconds = wall.elapsed() / 1000.0;
    const QList<double> gaps = rig.takeGaps();
    std::printf("activity rows: %lld written in %.1f s (%lld from the poll loop's talkgroups), %.1f s CPU\n",
                rig.log.rowsWritten(), seconds, rig.fromLoop, Bench::cpuSeconds() - cpu0);
    printGaps("poll turns:    ", gaps);
    printGaps("without rows:  ", quietGaps);
    std::printf("writes:        %lld of up to %d rows each, the longest %.2f ms\n", writes,
                TalkgroupActivityLog::kMaxBatch, rig.log.longestWriteMillis());
    std::printf("WAL after the rows: %.2f MB beside a %.2f MB database (%lld commits)\n", fileMb(path + "-wal"),
                fileMb(path), writes);

    // Another program takes the write lock for 10 s while polling goes on.
    ChannelDatabase other(path, QStringLiteral("bench-other-program"));
    QString error;
    if (!other.open(&error) || !QSqlQuery(other.database()).exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        std::printf("cannot take the write lock: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 before = rig.log.rowsWritten();
    const qint64 loggedBefore = rig.fromLoop;
    QTimer trickle; // a row every 5 ms beside the poll loop's
    QObject::connect(&trickle, &QTimer::timeout, [&] { rig.log.record(QStringLiteral("777"), QLatin1Char('G')); });
    trickle.start(kFeedMillis);
    runFor(kLockMillis);
    trickle.stop();
    const QList<double> lockedGaps = rig.takeGaps();
    const int waiting = rig.log.queued();
    QSqlQuery(other.database()).exec(QStringLiteral("ROLLBACK"));
    wall.restart();
    runUntil([&] { return rig.log.queued() == 0; });
    printGaps("write lock held elsewhere for 10 s: ", lockedGaps);
    std::printf("  %d rows waited (%lld talkgroups shown meanwhile), all written %.2f s after the lock went; "
                "%lld written, %lld dropped\n",
                waiting, rig.fromLoop - loggedBefore, wall.elapsed() / 1000.0, rig.log.rowsWritten() - before,
                rig.log.rowsDropped());
    rig.session.shutdown();
    filterBenchmark(path, rig.log.rowsWritten(), newest);
    int late = 0;
    for (double g : gaps + lockedGaps)
        late += g > 20.0 ? 1 : 0;
    return late == 0 ? 0 : 2;
}

// 3: start-up on a database with old rows to prune.
void startWithRowsToPrune(const QString &folder, qint64 rows)
{
    const QString path = folder + QStringLiteral("/Data/Orvendal.db");
    {
        ChannelDatabase db(path, QStringLiteral("bench-fill"));
        QString error;
        if (!db.open(&error)) {
            std::printf("cannot make the database: %s\n", qPrintable(error));
            return;
        }
        const QDateTime now = QDateTime::currentDateTime();
        QSqlQuery q(db.database());
        q.exec(QStringLiteral("BEGIN"));
        q.prepare(QStringLiteral("INSERT INTO TALKGROUP_ACTIVITY (ID, BANK, HEARD) VALUES (?, 'C', ?)"));
        for (qint64 i = 0; i < rows + 10000; ++i) {
            // All but the last 10,000 older than the 90 days kept.
            const qint64 ageMs = i < rows ? (100LL * 86400000 + i * 30000) : i % 10000 * 60000;
            q.addBindValue(QString::number(1000 + i % kTalkgroups));
            q.addBindValue(TalkgroupActivityLog::heardText(now.addMSecs(-ageMs)));
            q.exec();
        }
        q.exec(QStringLiteral("COMMIT"));
    }
    QElapsedTimer wall;
    wall.start();
    Rig rig(path, folder);
    rig.log.start(TalkgroupActivityLog::kDefaultRetentionDays);
    if (!rig.start(folder + QStringLiteral("/vks2")))
        return;
    runUntil([&] { return rig.session.pollLoop() && rig.session.pollLoop()->turns() > 0; });
    const double startMs = wall.elapsed();
    runUntil([&] { return !rig.log.isPruning(); });
    const double pruneS = wall.elapsed() / 1000.0;
    std::printf("start-up with %lld rows to prune: first poll turn %.0f ms after start; pruned %lld rows in the "
                "background by %.1f s, the longest batch %.2f ms\n",
                rows, startMs, rig.log.rowsPruned(), pruneS, rig.log.longestWriteMillis());
    printGaps("  poll turns while pruning: ", rig.takeGaps());
    std::printf("  WAL after pruning: %.2f MB beside a %.2f MB database\n", fileMb(path + "-wal"), fileMb(path));
    rig.session.shutdown();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_LOGGING_RULES", "orvendal.*.debug=false\norvendal.*.info=false");
    QCoreApplication app(argc, argv);
    const qint64 target = argc > 1 ? QString::fromLatin1(argv[1]).toLongLong() : 100000;
    const qint64 toPrune = argc > 2 ? QString::fromLatin1(argv[2]).toLongLong() : 1000000;
    QTemporaryDir first;
    const int status = writeUnderLoad(first.path(), qMax<qint64>(1, target));
    QTemporaryDir second;
    startWithRowsToPrune(second.path(), qMax<qint64>(0, toPrune));
    return status;
}
