#pragma once

#include "BenchSupport.h"
#include "SessionRig.h"
#include "SimCommPort.h"
#include "scanner/PollLoop.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

// For the benchmarks that poll the simulator and time the turns.
namespace Bench {

// The simulator's port, noting when each poll turn reads it.
class TimedSimPort : public SimCommPort
{
public:
    QList<qint64> reads;

protected:
    QByteArray readDevice() override
    {
        reads.append(monotonicNs());
        return SimCommPort::readDevice();
    }
};

// Runs the event loop for this long.
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A session polling the simulator at 9600 bit/s, its turns timed.
struct PollingRig
{
    QTemporaryDir dir;
    TempSettings store;
    bool configured = [this] {
        store->setValue("Config/Com_Port", "1");
        store->setValue("Config/Com_Speed", "9600");
        return true;
    }();
    TimedSimPort port;
    const QString db = dir.filePath(QStringLiteral("Orvendal.db"));
    SessionParts parts{&port, store.store.get(), db};
    ScriptedPrompt none;

    PollingRig()
    {
        parts.session.setPrompt(none.fn());
        port.open();
        parts.session.startPolling();
    }
};

// A phase of polling: the cores used, and how late the turns came (in ms
// past the poll interval).
struct PollingFigures
{
    double cores = 0;
    double p50 = 0, p99 = 0, max = 0;
};

// Polls for this long and measures it.
inline PollingFigures measurePolling(TimedSimPort &port, int ms)
{
    port.reads.clear();
    const double cpu0 = cpuSeconds();
    const qint64 t0 = monotonicNs();
    runFor(ms);
    PollingFigures f;
    f.cores = (cpuSeconds() - cpu0) / ((monotonicNs() - t0) / 1e9);
    QList<double> late;
    for (qsizetype i = 1; i < port.reads.size(); ++i)
        late << std::max(0.0, (port.reads.at(i) - port.reads.at(i - 1)) / 1e6 - PollLoop::kTurnMillis);
    f.p50 = quantile(late, 0.5);
    f.p99 = quantile(late, 0.99);
    f.max = quantile(late, 1.0);
    return f;
}

} // namespace Bench
