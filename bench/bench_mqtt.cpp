// Events for home automation, against a mosquitto broker started here on
// 127.0.0.1:
// 1. the time from a talkgroup shown (the poll loop's talkgroupShown) to its
//    call/start message arriving at a subscriber (median, p99, max);
// 2. the poll loop on its timer against the simulator, in alternating phases
//    with MQTT off and on while the broker is stopped (the connection tried
//    again as the back-off says, 1 s and then longer, or every 100 ms as a
//    worst case; the calls' events queued): the gaps between poll turns
//    beyond their 10 ms (p50, p99, max) and the CPU in cores.
//
// usage: bench-mqtt [talkgroups] [seconds per phase] [rounds] (default 300 10 3)

#include "BenchSupport.h"
#include "MqttTestBroker.h"
#include "MqttTestSubscriber.h"
#include "SessionRig.h"
#include "BenchPolling.h"
#include "alerts/MqttPublisher.h"
#include "scanner/CallTracker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <mutex>

namespace {

using Bench::TimedSimPort;
using Bench::runFor;

bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        runFor(5);
    return done();
}

MqttSettings on(quint16 port)
{
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    return s;
}

void latency(int count, MqttTestBroker &broker)
{
    SessionRig rig;
    CallTracker tracker(&rig.session);
    MqttPublisher publisher({&rig.session, &tracker, rig.databasePath()});
    publisher.apply(on(broker.port()));
    MqttTestSubscriber sub(broker.port(), {QStringLiteral("orvendal/call/start")});
    std::mutex mutex;
    QHash<QString, qint64> arrived;
    sub.setOnMessage([&](const MqttTestSubscriber::Message &m) {
        const QString id = QJsonDocument::fromJson(m.payload).object().value(QStringLiteral("talkgroup")).toString();
        std::lock_guard lock(mutex);
        arrived.insert(id, m.arrivedNs);
    });
    if (!waitFor([&] { return publisher.connection().isConnected() && sub.subscriptions() > 0; }, 10000)) {
        std::printf("not connected: %s\n", qPrintable(publisher.connection().stateText()));
        return;
    }
    QHash<QString, qint64> shown;
    QObject::connect(&rig.session, &ScannerSession::talkgroupShown, [&](const QString &id) {
        shown.insert(id, Bench::monotonicNs());
    });
    rig.enterMode(ScannerMode::TrunkSearch);
    for (int i = 0; i < count; ++i) {
        const QString id = QString::number(1000 + i);
        for (int r = 0; r < PollLoop::kAgreeingReplies; ++r) {
            rig.reply(QStringLiteral("ID C %1").arg(id));
            rig.reply(QStringLiteral("RM NFM"));
        }
        runFor(10);
    }
    waitFor([&] { std::lock_guard lock(mutex); return arrived.size() >= count; }, 5000);
    QList<double> ms;
    std::lock_guard lock(mutex);
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        if (arrived.contains(it.key()))
            ms << (arrived.value(it.key()) - it.value()) / 1e6;
    }
    std::printf("talkgroup shown -> call/start at a subscriber: %lld of %d arrived; median %.2f ms, p99 %.2f ms, "
                "max %.2f ms\n",
                qint64(ms.size()), count, Bench::quantile(ms, 0.5), Bench::quantile(ms, 0.99), Bench::quantile(ms, 1.0));
}

using Phase = Bench::PollingFigures;

void lateness(int seconds, int rounds, MqttTestBroker &broker)
{
    Bench::PollingRig rig;
    TimedSimPort &port = rig.port;
    SessionParts &parts = rig.parts;
    const QString &db = rig.db;
    CallTracker tracker(&parts.session);
    runFor(2000); // settled

    const char *names[] = {"MQTT off", "MQTT on, broker away", "the same, tries 100 ms"};
    QList<Phase> phases[3];
    for (int round = 0; round < rounds * 3; ++round) {
        const int kind = round % 3;
        const bool withMqtt = kind > 0;
        std::unique_ptr<MqttPublisher> publisher;
        if (withMqtt) {
            QString error;
            if (!broker.start(&error)) {
                std::printf("broker: %s\n", qPrintable(error));
                return;
            }
            publisher = std::make_unique<MqttPublisher>(MqttPublisher::Wiring{&parts.session, &tracker, db});
            if (kind == 2)
                publisher->connection().setRetryMillis(100, 100);
            publisher->apply(on(broker.port()));
            waitFor([&] { return publisher->connection().isConnected(); }, 10000);
            broker.stop();
        }
        const Phase p = Bench::measurePolling(port, seconds * 1000);
        phases[kind].append(p);
        std::printf("%-24s %.4f cores  turn late p50 %.2f ms  p99 %.2f ms  max %.2f ms  (%lld turns)%s\n",
                    names[kind], p.cores, p.p50, p.p99, p.max,
                    qint64(port.reads.size()),
                    withMqtt ? qPrintable(QStringLiteral("  %1 events queued, %2")
                                              .arg(publisher->connection().queued())
                                              .arg(publisher->connection().stateText()))
                             : "");
        std::fflush(stdout);
    }
    auto mean = [](const QList<Phase> &ps, double Phase::*f) {
        double sum = 0;
        for (const Phase &p : ps)
            sum += p.*f;
        return sum / ps.size();
    };
    std::printf("\nmeans of the phases:\n");
    for (int kind = 0; kind < 3; ++kind)
        std::printf("%-24s turn late p99 %.2f ms, max %.2f ms; %.4f cores\n", names[kind],
                    mean(phases[kind], &Phase::p99), mean(phases[kind], &Phase::max), mean(phases[kind], &Phase::cores));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 300;
    const int seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 10;
    const int rounds = argc > 3 ? std::max(1, atoi(argv[3])) : 3;
    if (MqttTestBroker::program().isEmpty()) {
        std::printf("mosquitto is not installed\n");
        return 1;
    }
    QTemporaryDir dir;
    MqttTestBroker broker(dir.path());
    QString error;
    if (!broker.start(&error)) {
        std::printf("broker: %s\n", qPrintable(error));
        return 1;
    }
    latency(count, broker);
    broker.stop();
    lateness(seconds, rounds, broker);
    return 0;
}
