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
