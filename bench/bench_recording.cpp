// What recording calls costs while polling: the poll loop runs on its timer
// against the simulated scanner (in-process, scanning, its squelch opening
// and closing), in alternating phases with recording off and on (FLAC, the
// tone generator as the sound card). Per phase: CPU in cores (every thread
// of the process, the writer's included), the gaps between poll turns
// beyond their 10 ms (p50, p99, max), calls recorded and sound dropped.
//
// usage: bench-recording [seconds per phase] [rounds] (default 10 3)

#include "BenchSupport.h"
#include "SessionRig.h"
#include "BenchPolling.h"
#include "scanner/CallTracker.h"
#include "recording/Recorder.h"
#include "recording/ToneGenerator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

using Bench::TimedSimPort;
using Bench::runFor;

struct Phase : Bench::PollingFigures
{
    int calls = 0;
    qint64 dropped = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;

    Bench::PollingRig rig;
    QTemporaryDir &dir = rig.dir;
    TimedSimPort &port = rig.port;
    SessionParts &parts = rig.parts;
    const QString &db = rig.db;
    runFor(2000); // settled

    RecordingSettings settings;
    settings.enabled = true;
    settings.folder = dir.filePath(QStringLiteral("Recordings"));

    QList<Phase> off, on;
    for (int round = 0; round < rounds * 2; ++round) {
        const bool recording = round % 2 == 1;
        std::unique_ptr<ToneGenerator> tone;
        std::unique_ptr<CallTracker> tracker;
        std::unique_ptr<Recorder> recorder;
        int calls = 0;
        if (recording) {
            tone = std::make_unique<ToneGenerator>();
            tracker = std::make_unique<CallTracker>(&parts.session);
            QObject::connect(tracker.get(), &CallTracker::callStarted, tone.get(),
                             [&tone](const CallInfo &c) { tone->open(c.channel + c.talkgroup); });
            QObject::connect(tracker.get(), &CallTracker::callEnded, tone.get(), [&tone] { tone->close(); });
            recorder = std::make_unique<Recorder>(settings, db, tone.get(), tracker.get());
            QObject::connect(recorder.get(), &Recorder::recordingFinished, [&calls] { ++calls; });
            recorder->start();
        }
        Phase p;
        static_cast<Bench::PollingFigures &>(p) = Bench::measurePolling(port, seconds * 1000);
        if (recorder) {
            p.dropped = recorder->droppedBlocks();
            recorder.reset(); // a call under way is finished
            runFor(100);
        }
        p.calls = calls;
        (recording ? on : off).append(p);
        std::printf("%-13s %.4f cores  turn late p50 %.2f ms  p99 %.2f ms  max %.2f ms  (%lld turns)%s\n",
                    recording ? "recording on" : "recording off", p.cores, p.p50, p.p99, p.max,
                    qint64(port.reads.size()),
                    recording ? qPrintable(QStringLiteral("  %1 calls, %2 blocks dropped").arg(p.calls).arg(p.dropped))
                              : "");
        std::fflush(stdout);
    }
    auto mean = [](const QList<Phase> &ps, double Phase::*f) {
        double sum = 0;
        for (const Phase &p : ps)
            sum += p.*f;
        return sum / ps.size();
    };
    std::printf("\nmean: off %.4f cores, on %.4f cores: recording adds %.4f cores\n", mean(off, &Phase::cores),
                mean(on, &Phase::cores), mean(on, &Phase::cores) - mean(off, &Phase::cores));
    std::printf("mean turn lateness p99: off %.2f ms, on %.2f ms\n", mean(off, &Phase::p99), mean(on, &Phase::p99));
    return 0;
}
