// Events for home automation, against a mosquitto broker the test starts on
// 127.0.0.1 (skipped where mosquitto is not installed).

#include "MqttTestBroker.h"
#include "MqttTestSubscriber.h"
#include "SessionRig.h"
#include "SimCommPort.h"
#include "alerts/MqttPublisher.h"
#include "scanner/CallTracker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <ctime>

namespace {

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// Between the program and the broker: dropping it cuts the connection
// without a goodbye, as a failing network does.
class TcpProxy : public QObject
{
public:
    explicit TcpProxy(quint16 target)
        : m_target(target)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *in = m_server.nextPendingConnection()) {
                auto *out = new QTcpSocket(this);
                out->connectToHost(QHostAddress::LocalHost, m_target);
                const auto forward = [in, out] {
                    if (out->state() == QAbstractSocket::ConnectedState)
                        out->write(in->readAll());
                };
                connect(in, &QTcpSocket::readyRead, out, forward);
                connect(out, &QTcpSocket::connected, in, forward);
                connect(out, &QTcpSocket::readyRead, in, [in, out] { in->write(out->readAll()); });
                connect(in, &QTcpSocket::disconnected, out, &QTcpSocket::disconnectFromHost);
                connect(out, &QTcpSocket::disconnected, in, &QTcpSocket::disconnectFromHost);
                connect(out, &QTcpSocket::errorOccurred, in, &QTcpSocket::abort);
                m_sockets << in << out;
            }
        });
    }
    bool listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port ? port : m_port) && (m_port = m_server.serverPort()); }
    quint16 port() const { return m_port; }
    void drop()
    {
        m_server.close();
        for (QTcpSocket *s : std::as_const(m_sockets)) {
            if (s)
                s->abort();
        }
        m_sockets.clear();
    }

private:
    quint16 m_target;
    quint16 m_port = 0;
    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_sockets;
};

// The simulator's port, noting when each poll turn reads it.
class TimedSimPort : public SimCommPort
{
public:
    QList<qint64> reads;

protected:
    QByteArray readDevice() override
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        reads.append(qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
        return SimCommPort::readDevice();
    }
};

MqttSettings on(quint16 port)
{
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    return s;
}

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT
private slots:
    void settingsAndEndpoints();
    void eventsArriveInOrder();
    void brokerAwayAndBack();
};

// --mqtt's HOST[:PORT]; stored settings read back, a bad port falls back.
void TestMqtt::settingsAndEndpoints()
{
    QString host, error;
    quint16 port = 0;
    QVERIFY(MqttSettings::parseEndpoint(QStringLiteral("broker.lan"), &host, &port, &error));
    QCOMPARE(host, QStringLiteral("broker.lan"));
    QCOMPARE(port, MqttSettings::kDefaultPort);
    QVERIFY(MqttSettings::parseEndpoint(QStringLiteral("10.0.0.5:1884"), &host, &port, &error));
    QCOMPARE(port, quint16(1884));
    QVERIFY(MqttSettings::parseEndpoint(QStringLiteral("[::1]:8883"), &host, &port, &error));
    QCOMPARE(host, QStringLiteral("::1"));
    QCOMPARE(port, quint16(8883));
    for (const char *bad : {"", ":1883", "host:0", "host:70000", "host:x", "[::1", "a b"})
        QVERIFY2(!MqttSettings::parseEndpoint(QLatin1String(bad), &host, &port, &error) && !error.isEmpty(), bad);

    TempSettings store;
    QCOMPARE(MqttSettings::load(*store), MqttSettings{}); // off by default
    MqttSettings s = on(1999);
    s.user = QStringLiteral("ha");
    s.password = QStringLiteral("p w\"");
    MqttSettings::save(*store, s);
    QCOMPARE(MqttSettings::load(*store), s);
    store->setValue("Config/Mqtt_Port", "99999");
    QCOMPARE(MqttSettings::load(*store).port, MqttSettings::kDefaultPort);
}

// Discovery and the retained online state when connected; calls of every
// kind as start and end events in order, with their names.
void TestMqtt::eventsArriveInOrder()
{
    if (MqttTestBroker::program().isEmpty())
        QSKIP("mosquitto is not installed");
    SessionRig rig;
    {
        ChannelDatabase db(rig.databasePath(), QStringLiteral("setup"), 2000);
        QString error;
        QVERIFY(db.open(&error));
        QVERIFY(db.addTalkgroup({QStringLiteral("123"), QStringLiteral("Ashby"), QStringLiteral("Fire \"North\""),
                                 QStringLiteral("dispatch")},
                                QDateTime::currentDateTime(), &error));
    }
    MqttTestBroker broker(rig.store.dir.path());
    QString error;
    QVERIFY2(broker.start(&error), qPrintable(error));
    CallTracker tracker(&rig.session);
    MqttPublisher publisher({&rig.session, &tracker, rig.databasePath()});
    publisher.apply(on(broker.port()));
    MqttTestSubscriber sub(broker.port(), {QStringLiteral("orvendal/#"), QStringLiteral("homeassistant/#")});
    QTRY_COMPARE_WITH_TIMEOUT(sub.last(QStringLiteral("orvendal/status")), QByteArray("online"), 10000);
    QTRY_VERIFY(!sub.last(QStringLiteral("orvendal/link")).isEmpty());
    QCOMPARE(json(sub.last(QStringLiteral("orvendal/link"))).value("state").toString(), QStringLiteral("polling"));
    QVERIFY(publisher.connection().isConnected());
    // Whoever subscribes later finds the state and the discovery configs.
    {
        MqttTestSubscriber late(broker.port(), {QStringLiteral("orvendal/status"), QStringLiteral("homeassistant/#")});
        QTRY_VERIFY(!late.messages(QStringLiteral("orvendal/status")).isEmpty());
        QVERIFY(late.messages(QStringLiteral("orvendal/status")).first().retained);
        QTRY_COMPARE(late.messages(QStringLiteral("homeassistant/sensor/orvendal/talkgroup/config")).size(), 1);
        QVERIFY(late.messages(QStringLiteral("homeassistant/sensor/orvendal/talkgroup/config")).first().retained);
        QTRY_COMPARE(late.messages().size(), 7); // the status and six sensors
    }
    const QList<MqttTestSubscriber::Message> config =
        sub.messages(QStringLiteral("homeassistant/sensor/orvendal/talkgroup/config"));
    QCOMPARE(config.size(), 1);
    const QJsonObject c = json(config.first().payload);
    QCOMPARE(c.value("state_topic").toString(), QStringLiteral("orvendal/call"));
    QCOMPARE(c.value("availability_topic").toString(), QStringLiteral("orvendal/status"));
    QCOMPARE(c.value("unique_id").toString(), QStringLiteral("orvendal_talkgroup"));
    QVERIFY(!sub.messages(QStringLiteral("homeassistant/binary_sensor/orvendal/call/config")).isEmpty());

    // Two talkgroups, then a channel in scan mode.
    rig.enterMode(ScannerMode::TrunkSearch);
    for (const char *id : {"00123", "456"}) {
        for (int i = 0; i < PollLoop::kAgreeingReplies; ++i) {
            rig.reply(QStringLiteral("ID C %1").arg(QLatin1String(id)));
            rig.reply(QStringLiteral("RM NFM"));
        }
        QTest::qWait(20);
        for (int i = 0; i < PollLoop::kAgreeingReplies; ++i) {
            rig.reply(QStringLiteral("ID E"));
            rig.reply(QStringLiteral("RM NFM"));
        }
    }
    rig.enterMode(ScannerMode::Scan);
    rig.reply(QStringLiteral("+"));
    rig.reply(QStringLiteral("C012 F01544150 TF DF LF AF PF"));
    rig.reply(QStringLiteral("-"));

    auto events = [&sub] {
        QList<MqttTestSubscriber::Message> out;
        for (const MqttTestSubscriber::Message &m : sub.messages()) {
            if (m.topic.startsWith(QLatin1String("orvendal/call/")))
                out << m;
        }
        return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(events().size(), 6, 5000);
    const QList<MqttTestSubscriber::Message> e = events();
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(e.at(i).topic, QLatin1String(i % 2 ? "orvendal/call/end" : "orvendal/call/start"));
        QVERIFY(!e.at(i).retained);
    }
    const QJsonObject first = json(e.at(0).payload);
    QCOMPARE(first.value("talkgroup").toString(), QStringLiteral("123"));
    QCOMPARE(first.value("bank").toString(), QStringLiteral("C"));
    QCOMPARE(first.value("active").toBool(), true);
    QCOMPARE(first.value("name").toString(), QStringLiteral("Fire \"North\""));
    QCOMPARE(first.value("names").toObject().value("city").toString(), QStringLiteral("Ashby"));
    QVERIFY(first.value("channel").isNull());
    QVERIFY(QDateTime::fromString(first.value("start").toString(), Qt::ISODateWithMs).isValid());
    const QJsonObject firstEnd = json(e.at(1).payload);
    QCOMPARE(firstEnd.value("talkgroup").toString(), QStringLiteral("123"));
    QCOMPARE(firstEnd.value("active").toBool(), false);
    QVERIFY(firstEnd.value("duration").toDouble() >= 0.015);
    QCOMPARE(json(e.at(2).payload).value("talkgroup").toString(), QStringLiteral("456"));
    QVERIFY(json(e.at(2).payload).value("name").isNull()); // not in the database
    const QJsonObject channel = json(e.at(4).payload);
    QVERIFY(channel.value("talkgroup").isNull());
    QCOMPARE(channel.value("channel").toInt(), 12);
    QCOMPARE(channel.value("frequency").toString(), QStringLiteral("154.4150"));
    QCOMPARE(channel.value("mode").toString(), QStringLiteral("SCAN"));
    // The retained call state is the last call, ended.
    QTRY_COMPARE(sub.messages(QStringLiteral("orvendal/call")).size(), 6);
    QCOMPARE(json(sub.last(QStringLiteral("orvendal/call"))).value("channel").toInt(), 12);
    QCOMPARE(json(sub.last(QStringLiteral("orvendal/call"))).value("active").toBool(), false);

    // Off: an orderly goodbye leaves "offline".
    publisher.apply(MqttSettings{});
    QTRY_COMPARE(sub.last(QStringLiteral("orvendal/status")), QByteArray("offline"));
    QCOMPARE(publisher.connection().state(), MqttConnection::State::Off);
}

// The connection cut (the broker says offline through the last will) and
// back; the broker stopped and started again: reconnection, online again,
// the events of the outage delivered in order (the oldest beyond the queue's
// bound dropped), and the poll loop turning on time throughout.
void TestMqtt::brokerAwayAndBack()
{
    if (MqttTestBroker::program().isEmpty())
        QSKIP("mosquitto is not installed");
    TempSettings store;
    store->setValue("Config/Com_Port", "1");
    store->setValue("Config/Com_Speed", "9600");
    TimedSimPort port;
    SessionParts parts(&port, store.store.get(), store.dir.filePath(QStringLiteral("Orvendal.db")));
    ScriptedPrompt none;
    parts.session.setPrompt(none.fn());
    port.open();
    parts.session.startPolling();

    MqttTestBroker broker(store.dir.path());
    QString error;
    QVERIFY2(broker.start(&error), qPrintable(error));
    TcpProxy proxy(broker.port());
    QVERIFY(proxy.listen());
    CallTracker tracker(&parts.session);
    MqttPublisher publisher({&parts.session, &tracker, store.dir.filePath(QStringLiteral("Orvendal.db"))});
    MqttConnection &connection = publisher.connection();
    connection.setRetryMillis(100, 400);
    publisher.apply(on(proxy.port()));
    MqttTestSubscriber sub(broker.port(), {QStringLiteral("orvendal/status"), QStringLiteral("orvendal/test")});
    QTRY_COMPARE_WITH_TIMEOUT(sub.last(QStringLiteral("orvendal/status")), QByteArray("online"), 10000);

    proxy.drop();
    QTRY_COMPARE_WITH_TIMEOUT(sub.last(QStringLiteral("orvendal/status")), QByteArray("offline"), 10000);
    QTRY_COMPARE(connection.state(), MqttConnection::State::Waiting);
    QVERIFY(connection.stateText().contains(QLatin1String("trying again")));
    QVERIFY(proxy.listen());
    QTRY_COMPARE_WITH_TIMEOUT(sub.last(QStringLiteral("orvendal/status")), QByteArray("online"), 10000);
    QVERIFY(connection.isConnected());

    broker.stop();
    QTRY_VERIFY(!connection.isConnected());
    const int total = MqttConnection::kQueueLimit + 10;
    for (int i = 0; i < total; ++i)
        connection.publish(QStringLiteral("orvendal/test"), QByteArray::number(i));
    QCOMPARE(connection.queued(), qsizetype(MqttConnection::kQueueLimit));
    QVERIFY(connection.dropped() >= 10); // and the calls of the simulator meanwhile
    port.reads.clear();
    QTest::qWait(2000); // tries fail and back off meanwhile
    QVERIFY(port.reads.size() > 50);
    qint64 gap = 0;
    for (qsizetype i = 1; i < port.reads.size(); ++i)
        gap = std::max(gap, port.reads.at(i) - port.reads.at(i - 1));
    QVERIFY2(gap < 250, qPrintable(QStringLiteral("a poll turn waited %1 ms").arg(gap)));
    QVERIFY(!connection.isConnected());

    // The subscriber is back before the program can reach the broker.
    proxy.drop();
    const int before = sub.subscriptions();
    sub.clear();
    QVERIFY2(broker.start(&error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(sub.subscriptions() > before, 10000);
    QVERIFY(proxy.listen());
    QTRY_COMPARE_WITH_TIMEOUT(sub.last(QStringLiteral("orvendal/status")), QByteArray("online"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(sub.last(QStringLiteral("orvendal/test")), QByteArray::number(total - 1), 10000);
    const QList<MqttTestSubscriber::Message> got = sub.messages(QStringLiteral("orvendal/test"));
    QVERIFY(got.size() > MqttConnection::kQueueLimit / 2);
    for (int i = 1; i < got.size(); ++i)
        QCOMPARE(got.at(i).payload.toInt(), got.at(i - 1).payload.toInt() + 1);
    QVERIFY(got.first().payload.toInt() >= 10);
    QCOMPARE(connection.queued(), 0);
    QVERIFY(parts.session.phase() == ScannerSession::Phase::Polling);
}

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
