#include "alerts/MqttConnection.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QRandomGenerator>

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcMqtt, "orvendal.mqtt")

// What libmosquitto's thread calls back through. The connection lets go of
// it when a try ends; a callback still under way then finds no owner. It
// lives as long as its mosquitto handle, which may outlive the connection
// while its thread winds down.
struct MqttConnection::Relay
{
    std::mutex mutex;
    MqttConnection *owner = nullptr;
    quint64 generation = 0;

    // Runs fn on the owner's thread, if there is still an owner.
    template<typename Fn>
    void post(Fn fn)
    {
        std::lock_guard lock(mutex);
        if (!owner)
            return;
        MqttConnection *o = owner;
        const quint64 g = generation;
        QMetaObject::invokeMethod(o, [o, g, fn] { fn(o, g); }, Qt::QueuedConnection);
    }
};

// The threads that wind down tries that ended.
struct MqttConnection::Reapers
{
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;
};

namespace {

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString errorText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (rc == MOSQ_ERR_KEEPALIVE)
        return QStringLiteral("no answer within the keep-alive time");
    return QString::fromUtf8(mosquitto_strerror(rc));
}

// At most 23 characters, as MQTT 3.1.1 brokers must accept; two programs
// on one machine each have their own.
QByteArray clientId()
{
    return QStringLiteral("orvendal-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::global()->bounded(0x10000), 4, 16, QLatin1Char('0'))
        .left(23)
        .toUtf8();
}

} // namespace

MqttConnection::MqttConnection(const QString &statusTopic, QObject *parent)
    : QObject(parent)
    , m_statusTopic(statusTopic)
    , m_reapers(std::make_shared<Reapers>())
{
    initLibrary();
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttConnection::attempt);
    m_connectDeadline.setSingleShot(true);
    connect(&m_connectDeadline, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("The broker at %1 does not answer").arg(where()));
    });
    m_stateText = QStringLiteral("Off");
}

MqttConnection::~MqttConnection()
{
    stop();
    // The goodbye goes out unless the network holds it up; a try still
    // connecting ends by itself later.
    std::unique_lock lock(m_reapers->mutex);
    m_reapers->done.wait_for(lock, std::chrono::seconds(1), [this] { return m_reapers->running == 0; });
}

void MqttConnection::setRetryMillis(int first, int max)
{
    m_firstRetry = std::max(1, first);
    m_maxRetry = std::max(m_firstRetry, max);
    m_nextRetry = m_firstRetry;
}

QString MqttConnection::where() const
{
    return QStringLiteral("%1:%2").arg(m_endpoint.host).arg(m_endpoint.port);
}

void MqttConnection::setState(State state, const QString &text)
{
    if (state == m_state && text == m_stateText)
        return;
    m_state = state;
    m_stateText = text;
    emit stateChanged(state, text);
}

void MqttConnection::start(const Endpoint &endpoint)
{
    stop();
    m_endpoint = endpoint;
    m_running = true;
    m_nextRetry = m_firstRetry;
    qCInfo(lcMqtt).noquote() << "events go to the MQTT broker at" << where();
    attempt();
}

void MqttConnection::stop()
{
    m_running = false;
    m_retry.stop();
    retire(true);
    setState(State::Off, QStringLiteral("Off"));
}

void MqttConnection::attempt()
{
    if (!m_running)
        return;
    m_refusal.clear();
    m_connectDeadline.start(kConnectMillis);
    setState(State::Connecting, QStringLiteral("Connecting to %1 ...").arg(where()));
    // The name is looked up in the background; libmosquitto then gets an
    // address, which it connects to without waiting.
    m_lookupId = QHostInfo::lookupHost(m_endpoint.host, this, &MqttConnection::resolved);
}

void MqttConnection::resolved(const QHostInfo &info)
{
    if (info.lookupId() != m_lookupId)
        return; // a lookup given up on (another host asked for since) answering late
    m_lookupId = -1;
    if (!m_running || m_mosq)
        return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        fail(QStringLiteral("The broker's host %1 is not found (%2)").arg(m_endpoint.host, info.errorString()));
        return;
    }
    QHostAddress address = info.addresses().constFirst();
    for (const QHostAddress &a : info.addresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            address = a;
            break;
        }
    }

    m_relay = std::make_shared<Relay>();
    m_relay->owner = this;
    m_relay->generation = ++m_generation;
    m_mosq = mosquitto_new(clientId().constData(), true, m_relay.get());
    if (!m_mosq) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        m_relay.reset();
        fail(QStringLiteral("The MQTT client cannot be made (%1)").arg(why));
        return;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    const QByteArray status = m_statusTopic.toUtf8();
    mosquitto_will_set(m_mosq, status.constData(), 7, "offline", 1, true);
    if (!m_endpoint.user.isEmpty()) {
        mosquitto_username_pw_set(m_mosq, m_endpoint.user.toUtf8().constData(),
                                  m_endpoint.password.isEmpty() ? nullptr : m_endpoint.password.toUtf8().constData());
    }
    mosquitto_connect_callback_set(m_mosq, &MqttConnection::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttConnection::onDisconnect);
    // A numeric address: the connect neither looks up a name nor waits for
    // the broker to answer.
    int rc = mosquitto_connect_async(m_mosq, address.toString().toUtf8().constData(), m_endpoint.port,
                                     kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString why = errorText(rc); // before anything else sets errno
        fail(QStringLiteral("Cannot connect to %1: %2").arg(where(), why));
        return;
    }
    rc = mosquitto_loop_start(m_mosq);
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString why = errorText(rc);
        fail(QStringLiteral("The MQTT client's thread cannot start: %1").arg(why));
        return;
    }
    m_loopStarted = true;
}

// libmosquitto's thread.
void MqttConnection::onConnect(mosquitto *, void *relay, int rc)
{
    static_cast<Relay *>(relay)->post([rc](MqttConnection *c, quint64 g) { c->connectedNow(g, rc); });
}

// libmosquitto's thread. The library would reconnect by itself, to the
// same address and on its own schedule; the connection does that instead.
void MqttConnection::onDisconnect(mosquitto *mosq, void *relay, int rc)
{
    const QString why = rc == MOSQ_ERR_SUCCESS ? QString() : errorText(rc);
    mosquitto_disconnect(mosq);
    static_cast<Relay *>(relay)->post([why](MqttConnection *c, quint64 g) { c->lost(g, why); });
}

void MqttConnection::connectedNow(quint64 generation, int rc)
{
    if (generation != m_generation || !m_mosq)
        return;
    if (rc != 0) {
        // Wrong login or not allowed: the disconnect that follows says so.
        m_refusal = QString::fromUtf8(mosquitto_connack_string(rc));
        return;
    }
    m_nextRetry = m_firstRetry;
    m_connectDeadline.stop();
    m_lastWarning.clear();
    setState(State::Connected, QStringLiteral("Connected to %1").arg(where()));
    qCInfo(lcMqtt).noquote() << "connected to" << where();
    send(m_statusTopic, QByteArrayLiteral("online"), true);
    if (m_droppedWhileAway > 0) {
        qCWarning(lcMqtt) << m_droppedWhileAway << "events were dropped while the broker could not be reached";
        m_droppedWhileAway = 0;
    }
    while (!m_queue.empty() && isConnected()) {
        if (!send(m_queue.front().topic, m_queue.front().payload, false))
            break; // lost again: the rest wait for the next connection
        m_queue.pop_front();
    }
    emit connected();
}

void MqttConnection::lost(quint64 generation, const QString &why)
{
    if (generation != m_generation || !m_mosq)
        return;
    if (!m_refusal.isEmpty())
        fail(QStringLiteral("The broker at %1 refused the connection: %2").arg(where(), m_refusal));
    else if (m_state == State::Connected)
        fail(QStringLiteral("Connection to %1 lost%2").arg(where(), why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    else
        fail(QStringLiteral("Cannot connect to %1%2").arg(where(), why.isEmpty() ? QString() : QStringLiteral(": ") + why));
}

void MqttConnection::fail(const QString &why)
{
    retire(false);
    if (!m_running)
        return;
    const int wait = m_nextRetry;
    m_nextRetry = std::min(m_maxRetry, m_nextRetry * 2);
    // Said once; the same again on every try only in the debug log.
    if (why != m_lastWarning)
        qCWarning(lcMqtt).noquote() << why;
    else
        qCDebug(lcMqtt).noquote() << why;
    m_lastWarning = why;
    setState(State::Waiting,
             QStringLiteral("%1; trying again in %2 s").arg(why).arg(QString::number(wait / 1000.0, 'g', 3)));
    m_retry.start(wait);
}

void MqttConnection::retire(bool orderly)
{
    m_connectDeadline.stop();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    if (!m_mosq)
        return;
    const bool wasConnected = m_state == State::Connected;
    {
        std::lock_guard lock(m_relay->mutex);
        m_relay->owner = nullptr;
    }
    ++m_generation; // whatever is still posted from this try is stale
    if (orderly && wasConnected)
        send(m_statusTopic, QByteArrayLiteral("offline"), true);
    mosquitto *mosq = m_mosq;
    m_mosq = nullptr;
    std::shared_ptr<Relay> relay = std::move(m_relay);
    mosquitto_disconnect(mosq);
    if (!m_loopStarted) {
        mosquitto_destroy(mosq);
        return;
    }
    m_loopStarted = false;
    // The thread sends what is queued (the offline state, the disconnect)
    // and ends; one still connecting ends within the keep-alive. Nobody
    // waits for it here.
    {
        std::lock_guard lock(m_reapers->mutex);
        ++m_reapers->running;
    }
    std::thread([mosq, relay, reapers = m_reapers] {
        mosquitto_loop_stop(mosq, false);
        mosquitto_destroy(mosq);
        std::lock_guard lock(reapers->mutex);
        --reapers->running;
        reapers->done.notify_all();
    }).detach();
}

bool MqttConnection::send(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!m_mosq)
        return false;
    const QByteArray t = topic.toUtf8();
    const int rc = mosquitto_publish(m_mosq, nullptr, t.constData(), int(payload.size()), payload.constData(), 1, retain);
    if (rc != MOSQ_ERR_SUCCESS)
        qCDebug(lcMqtt).noquote() << "not sent:" << topic << errorText(rc);
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttConnection::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!m_running)
        return;
    if (isConnected() && send(topic, payload, retain))
        return;
    if (retain)
        return; // published afresh on the next connection
    if (m_queue.size() >= size_t(kQueueLimit)) {
        m_queue.pop_front();
        ++m_dropped;
        if (m_droppedWhileAway++ == 0)
            qCWarning(lcMqtt) << "the broker cannot be reached and" << kQueueLimit
                              << "events are waiting: the oldest are being dropped";
    }
    m_queue.push_back({topic, payload});
}
