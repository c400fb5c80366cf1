#pragma once

#include "BenchSupport.h"
#include "SimCommPort.h"

#include <QEventLoop>
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

} // namespace Bench
