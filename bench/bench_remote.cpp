// The web front panel under load: how long a display change takes to reach
// WebSocket clients (median and p99, 1 and 20 clients), and the program's
// CPU with 20 clients connected beside none, the display changing 10 times
// a second as it does while scanning. The clients run in a process of their
// own (this program, started with --clients), so that their work is not
// counted; each change carries the monotonic clock in the status line.
//
// usage: bench-remote [seconds per phase]   (default 10)

#include "BenchSupport.h"
#include "SessionRig.h"
#include "remote/RemoteServer.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>
#include <QWebSocket>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kChangeMillis = 100;

// Client side: N sockets; prints "median p99 count" in milliseconds at the end.
int runClients(int count, const QUrl &url, int seconds)
{
    QList<double> latencies;
    std::vector<std::unique_ptr<QWebSocket>> sockets;
    int open = 0;
    for (int i = 0; i < count; ++i) {
        auto socket = std::make_unique<QWebSocket>();
        QWebSocket *s = socket.get();
        auto last = std::make_shared<QString>();
        QObject::connect(s, &QWebSocket::connected, [&open, count] {
            if (++open == count)
                std::printf("ready\n"), std::fflush(stdout);
        });
        QObject::connect(s, &QWebSocket::textMessageReceived, [&latencies, last](const QString &text) {
            const qint64 now = Bench::monotonicNs();
            const QString status = QJsonDocument::fromJson(text.toUtf8()).object().value(QStringLiteral("status")).toString();
            if (status.startsWith(QLatin1String("t=")) && status != *last) {
                *last = status;
                latencies << (now - status.mid(2).toLongLong()) / 1e6;
            }
        });
        s->open(url);
        sockets.push_back(std::move(socket));
    }
    QTimer::singleShot(seconds * 1000, qApp, [&] {
        std::printf("%.2f %.2f %lld\n", Bench::quantile(latencies, 0.5), Bench::quantile(latencies, 0.99),
                    qlonglong(latencies.size()));
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}

// Runs events for a while; the CPU seconds used meanwhile.
double cpuOver(int millis)
{
    const double before = Bench::cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(millis, &loop, &QEventLoop::quit);
    loop.exec();
    return Bench::cpuSeconds() - before;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--clients"))
        return runClients(args.value(2).toInt(), QUrl(args.value(3)), args.value(4).toInt());
    const int seconds = args.size() > 1 ? std::max(2, args.value(1).toInt()) : 10;

    SessionRig rig;
    RemoteServer server({&rig.parts.display, &rig.parts.aux, &rig.session, &rig.parts.keypad, rig.store.store.get(),
                         rig.databasePath(), {}});
    QString error;
    if (!server.listen(QHostAddress::LocalHost, 0, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QTimer changes;
    QObject::connect(&changes, &QTimer::timeout, [&] {
        rig.display().setStatusLine(QStringLiteral("t=%1").arg(Bench::monotonicNs()));
    });
    changes.start(kChangeMillis);
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/ws?token=%2").arg(server.port()).arg(server.token()));

    std::printf("display change every %d ms, %d s per phase\n", kChangeMillis, seconds);
    const double idle = cpuOver(seconds * 1000) / seconds;
    std::printf("no clients:  CPU %.4f core\n", idle);
    for (int clients : {1, 20}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--clients"), QString::number(clients), url.toString(), QString::number(seconds + 2)});
        QEventLoop wait;
        QObject::connect(&child, &QProcess::readyReadStandardOutput, &wait, &QEventLoop::quit);
        wait.exec();
        child.readLine(); // ready
        const double busy = cpuOver(seconds * 1000) / seconds;
        if (!child.waitForFinished(30000)) {
            std::fprintf(stderr, "clients did not finish\n");
            return 1;
        }
        const QList<QByteArray> figures = child.readAll().trimmed().split(' ');
        std::printf("%2d client%s: change to client median %s ms, p99 %s ms (%s changes); CPU %.4f core, %+.4f beside none\n",
                    clients, clients == 1 ? " " : "s", figures.value(0).constData(), figures.value(1).constData(),
                    figures.value(2).constData(), busy, busy - idle);
    }
    return 0;
}
