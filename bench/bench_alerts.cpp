// Alerts: the time from a talkgroup shown by the poll loop to the desktop
// notification call arriving at a notification service in another process
// on a private session bus (median and p99). The service stamps each call
// on the machine's steady clock as it arrives.
#include "BenchSupport.h"
#include "NotificationService.h"
#include "PrivateBus.h"
#include "SessionRig.h"
#include "alerts/AlertEngine.h"
#include "scanner/CallTracker.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

namespace {

// The service side: one line with the arrival time per notification.
int serve()
{
    NotificationService service;
    QString error;
    if (!service.start(&error)) {
        std::fprintf(stderr, "service: %s\n", qPrintable(error));
        return 1;
    }
    QObject::connect(&service, &NotificationService::notified, [] {
        std::printf("%lld\n", static_cast<long long>(Bench::monotonicNs()));
        std::fflush(stdout);
    });
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    // The service is started by the bench, on the bench's private bus.
    const bool serving = argc > 1 && qstrcmp(argv[1], "--service") == 0;
    if (const int code = serving ? -1 : rerunOnPrivateBus(argc, argv); code >= 0)
        return code;
    QCoreApplication app(argc, argv);
    if (serving)
        return serve();
    const int samples = argc > 1 ? std::max(10, atoi(argv[1])) : 300;

    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--service")});
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (!bus || !QTest::qWaitFor([&] { return bus->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")).value(); }, 10000)) {
        std::fprintf(stderr, "the notification service did not start\n");
        return 1;
    }

    SessionRig rig;
    rig.enterMode(ScannerMode::TrunkScan);
    {
        ChannelDatabase db(rig.databasePath(), QStringLiteral("names"), 2000);
        QString error;
        db.open(&error);
        for (int id = 1000; id < 1010; ++id)
            db.addTalkgroup({QString::number(id), QStringLiteral("Ashby"), QStringLiteral("Dispatch %1").arg(id), {}},
                            QDateTime::currentDateTime(), &error);
    }
    qint64 shownAt = 0;
    // Stamped before the call tracker (and so the alerts) hears of it.
    QObject::connect(&rig.session, &ScannerSession::talkgroupShown, [&] { shownAt = Bench::monotonicNs(); });
    CallTracker tracker(&rig.session);
    AlertEngine engine(rig.databasePath(), &tracker);
    AlertRule rule;
    rule.name = QStringLiteral("Every talkgroup");
    rule.matchText = QStringLiteral("1-99999");
    rule.cooldownSecs = 0;
    QString error;
    if (!engine.store()->save(&rule, &error) || !engine.reload(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    QList<double> millis;
    QByteArray pending;
    for (int i = 0; i < samples + 5; ++i) {
        for (int r = 0; r < PollLoop::kAgreeingReplies; ++r)
            rig.reply(QStringLiteral("ID C %1").arg(1000 + i % 10));
        if (!QTest::qWaitFor([&] { return service.canReadLine(); }, 5000)) {
            std::fprintf(stderr, "no notification arrived for sample %d\n", i);
            return 1;
        }
        const qint64 arrived = service.readLine().trimmed().toLongLong();
        if (i >= 5) // the first ones warm up the bus and the database
            millis << (arrived - shownAt) / 1e6;
    }
    service.kill();
    service.waitForFinished(2000);
    std::printf("talkgroup shown -> notification at the service, %d calls: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                int(millis.size()), Bench::quantile(millis, 0.5), Bench::quantile(millis, 0.99),
                Bench::quantile(millis, 1.0));
    return 0;
}
