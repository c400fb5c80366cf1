// vks-sim: a VKS-4410 scanner on a pseudo-terminal, for trying the program
// and for tests.

#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <ctime>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalFd[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalFd[1], &c, 1);
}

int intOption(const QCommandLineParser &parser, const QString &name, int fallback, bool *ok)
{
    if (!parser.isSet(name))
        return fallback;
    bool good = false;
    const int value = parser.value(name).toInt(&good);
    if (!good || value < 0) {
        QTextStream(stderr) << "vks-sim: --" << name << " needs a whole number, not \"" << parser.value(name)
                            << "\"\n";
        *ok = false;
    }
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vks-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated VKS-4410 scanner on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("link"), QStringLiteral("Make a symbolic link to the terminal at <path>."), QStringLiteral("path")},
        {QStringLiteral("plan"), QStringLiteral("Load the channel memory from <file>."), QStringLiteral("file")},
        {QStringLiteral("baud"), QStringLiteral("Pace the line at <rate> bit/s (0: no pacing)."), QStringLiteral("rate")},
        {QStringLiteral("latency"), QStringLiteral("Answer each command after <ms>."), QStringLiteral("ms")},
        {QStringLiteral("silent-after"), QStringLiteral("Stop answering after <n> commands."), QStringLiteral("n")},
        {QStringLiteral("garbage-every"), QStringLiteral("Send a garbage line before every <n>-th reply."), QStringLiteral("n")},
        {QStringLiteral("split"), QStringLiteral("Send every reply in two writes.")},
        {QStringLiteral("log"), QStringLiteral("Print every command received.")},
        {QStringLiteral("save-plan"), QStringLiteral("On exit, write the channel memory to <file>."), QStringLiteral("file")},
        {QStringLiteral("duration"), QStringLiteral("Exit after <s> seconds."), QStringLiteral("s")},
        {QStringLiteral("squelch-open"), QStringLiteral("Keep the squelch open for <ms> at a time."), QStringLiteral("ms")},
        {QStringLiteral("squelch-closed"), QStringLiteral("Keep the squelch closed for <ms> at a time."), QStringLiteral("ms")},
        {QStringLiteral("talkgroup-hold"), QStringLiteral("Hear each talkgroup for <ms>."), QStringLiteral("ms")},
        {QStringLiteral("trace"), QStringLiteral("Print every write to the line with its monotonic time in ns.")},
    });
    parser.process(app);

    bool ok = true;
    SimLink::Options options;
    options.baud = intOption(parser, QStringLiteral("baud"), 0, &ok);
    options.latencyMs = intOption(parser, QStringLiteral("latency"), 0, &ok);
    options.splitReplies = parser.isSet(QStringLiteral("split"));
    const int silentAfter = intOption(parser, QStringLiteral("silent-after"), -1, &ok);
    const int garbageEvery = intOption(parser, QStringLiteral("garbage-every"), 0, &ok);
    const int duration = intOption(parser, QStringLiteral("duration"), 0, &ok);
    const int squelchOpen = intOption(parser, QStringLiteral("squelch-open"), 2000, &ok);
    const int squelchClosed = intOption(parser, QStringLiteral("squelch-closed"), 1500, &ok);
    const int talkgroupHold = intOption(parser, QStringLiteral("talkgroup-hold"), 2500, &ok);
    if (!ok)
        return 2;

    ScannerEngine engine;
    if (parser.isSet(QStringLiteral("plan"))) {
        QString error;
        if (!engine.loadPlan(parser.value(QStringLiteral("plan")), &error)) {
            QTextStream(stderr) << "vks-sim: " << error << '\n';
            return 2;
        }
    }
    engine.setSilentAfter(silentAfter);
    engine.setSquelchTiming(squelchOpen, squelchClosed);
    engine.setTalkgroupHold(talkgroupHold);
    engine.setGarbageEvery(garbageEvery);

    SimLink link(&engine);
    link.setOptions(options);
    PtyHost host(&link);
    QString error;
    if (!host.open(parser.value(QStringLiteral("link")), &error)) {
        QTextStream(stderr) << "vks-sim: cannot open a pseudo-terminal: " << error << '\n';
        return 1;
    }

    QTextStream out(stdout);
    out << "vks-sim: scanner on " << host.slaveName();
    if (host.portName() != host.slaveName())
        out << " (linked as " << host.portName() << ')';
    out << Qt::endl;
    if (parser.isSet(QStringLiteral("log"))) {
        QObject::connect(&link, &SimLink::commandReceived, &app, [&out](const QString &command) {
            out << "vks-sim: received " << command << Qt::endl;
        });
    }

    if (parser.isSet(QStringLiteral("trace"))) {
        QObject::connect(&link, &SimLink::transmit, &app, [&out](const QByteArray &bytes) {
            timespec ts{};
            ::clock_gettime(CLOCK_MONOTONIC, &ts);
            out << "vks-sim: wrote " << (qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec) << ' '
                << QString::fromLatin1(bytes).trimmed() << Qt::endl;
        });
    }

    // End cleanly on SIGINT and SIGTERM, removing the link.
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFd);
    QSocketNotifier signalNotifier(g_signalFd[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    if (duration > 0)
        QTimer::singleShot(duration * 1000, &app, &QCoreApplication::quit);

    const int rc = app.exec();
    host.close();
    if (parser.isSet(QStringLiteral("save-plan")) && !engine.savePlan(parser.value(QStringLiteral("save-plan")), &error)) {
        QTextStream(stderr) << "vks-sim: " << error << '\n';
        return 1;
    }
    return rc;
}
