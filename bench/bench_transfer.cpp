// Backs up (one command in flight, then overlapped) and restores the simulated
// scanner's memory over a pseudo-terminal at 19200 and 9600 bit/s, and prints
// how close each comes to the time the line itself needs.
//
// usage: bench-transfer [banks] (default 20)

#include "BenchSupport.h"
#include "link/SerialCommPort.h"
#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"
#include "transfer/BankBackup.h"
#include "transfer/BankRestore.h"
#include "data/ChannelDatabase.h"
#include "data/ChannelRecord.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Run
{
    double seconds = 0;
    qint64 bytesOut = 0;
    qint64 bytesIn = 0;
    bool ok = false;
};

Run runTransfer(BankTransfer &transfer, SerialCommPort &port)
{
    const qint64 out0 = port.bytesWritten();
    const qint64 in0 = port.bytesRead();
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&transfer, &BankTransfer::finished, &loop, [&](const BankTransfer::Result &r) {
        ok = r.outcome == BankTransfer::Outcome::Completed;
        if (!ok)
            std::printf("  transfer failed: %s\n", qPrintable(r.reason));
        loop.quit();
    });
    const qint64 start = Bench::monotonicNs();
    transfer.start();
    loop.exec();
    return {(Bench::monotonicNs() - start) / 1e9, port.bytesWritten() - out0, port.bytesRead() - in0, ok};
}

// The busier direction's time on the line.
double wireSeconds(const Run &run, int baud)
{
    return double(std::max(run.bytesOut, run.bytesIn)) / (baud / 10.0);
}

// Both directions one after the other: a command, then its answer.
double turnaroundSeconds(const Run &run, int baud)
{
    return double(run.bytesOut + run.bytesIn) / (baud / 10.0);
}

// The scanner's time to start answering a command.
constexpr int kReplyLatencyMs = 2;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qputenv("QT_LOGGING_RULES", "orvendal.*.debug=false\norvendal.*.info=false");
    const int bankCount = argc > 1 ? qBound(1, QString::fromLatin1(argv[1]).toInt(), 20) : 20;
    QList<int> banks;
    for (int b = 1; b <= bankCount; ++b)
        banks << b;

    for (int baud : {19200, 9600}) {
        QTemporaryDir dir;
        ScannerEngine engine;
        SimLink link(&engine);
        link.setOptions({baud, kReplyLatencyMs, false});
        PtyHost host(&link);
        QString error;
        if (!host.open(dir.filePath(QStringLiteral("vks")), &error)) {
            std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(error));
            return 1;
        }
        LinkSettings settings;
        settings.comPort = 1;
        settings.comSpeed = QString::number(baud);
        SerialCommPort port;
        const QString device = host.portName();
        port.setDeviceResolver([device](int) { return device; });
        ChannelDatabase db(dir.filePath(QStringLiteral("Data/Orvendal.db")), QStringLiteral("bench-%1").arg(baud));

        const int channels = bankCount * 50;
        for (bool overlap : {false, true}) {
            BankBackup backup(&port, &db, settings, banks);
            backup.setOverlap(overlap);
            const Run b = runTransfer(backup, port);
            // One in flight: every command and its answer in turn, plus the
            // scanner's latency per channel. Overlapped: the busier direction.
            const double floor = overlap ? wireSeconds(b, baud)
                                         : turnaroundSeconds(b, baud) + channels * kReplyLatencyMs / 1000.0;
            std::printf("backup  %5d bit/s, %-21s, %d channels: %.2f s; floor %.2f s (out %lld B, in %lld B); "
                        "ratio %.3f (target <= 1.05); database %.1f ms (target < 100 ms)%s\n",
                        baud, overlap ? "overlapped" : "one command at a time", channels, b.seconds, floor,
                        (long long)b.bytesOut, (long long)b.bytesIn, b.seconds / floor, backup.databaseMillis(),
                        b.ok ? "" : "  FAILED");
            std::fflush(stdout);
        }

        // Restore into an emptied scanner; count the channels it types.
        int typed = 0;
        for (int b2 : banks) {
            QMap<int, QVariant> frequencies;
            db.bankFrequencies(b2, &frequencies, &error);
            for (const QVariant &f : std::as_const(frequencies))
                typed += ChannelRecord::isWellFormedFrequency(f.toString()) ? 1 : 0;
        }
        const std::array<SimChannel, ScannerEngine::kChannels> before = [&engine] {
            std::array<SimChannel, ScannerEngine::kChannels> copy;
            for (int n = 1; n <= ScannerEngine::kChannels; ++n)
                copy[n - 1] = engine.channel(n);
            return copy;
        }();
        engine.handle(QStringLiteral("AC"));
        BankRestore restore(&port, &db, settings, banks);
        const Run r = runTransfer(restore, port);
        const double rWire = wireSeconds(r, baud);
        const double floor = typed * 2 * BankRestore::kKeyPauseMs / 1000.0 + rWire;
        int same = 0;
        for (int n = 1; n <= bankCount * 50; ++n)
            same += engine.channel(n).freq == before[n - 1].freq ? 1 : 0;
        // The wire time includes the read-back of every typed channel.
        std::printf("restore with verification %5d bit/s, %d channels (%d typed, %lld not confirmed): %.2f s; "
                    "wire %.2f s; floor (pauses + wire) %.2f s; ratio %.3f (target <= 1.05); %d of %d frequencies "
                    "back%s\n",
                    baud, bankCount * 50, typed, (long long)restore.result().unverified.size(), r.seconds, rWire,
                    floor, r.seconds / floor, same, bankCount * 50, r.ok ? "" : "  FAILED");
        std::fflush(stdout);
    }
    return 0;
}
