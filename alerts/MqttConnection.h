#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcMqtt)

class QHostInfo;
struct mosquitto;

// One client of an MQTT broker, kept connected. The network work (connect,
// send, keep-alive) runs on libmosquitto's own thread, and the broker's
// name is looked up by Qt in the background, so nothing here waits on the
// network: a broker that is slow, away or unreachable never holds up the
// thread that publishes.
//
// The status topic carries a retained "online" while connected and
// "offline" after an orderly stop; the broker sets "offline" itself (the
// last will) when the connection is lost. A lost or refused connection is
// tried again after 1, 2, 4 ... up to 60 seconds. Messages published while
// not connected wait in a queue of at most kQueueLimit (the oldest are
// dropped, said once in the log); retained messages do not wait: the owner
// publishes its retained states afresh on connected().
class MqttConnection : public QObject
{
    Q_OBJECT
public:
    enum class State { Off, Connecting, Connected, Waiting };
    Q_ENUM(State)

    static constexpr int kQueueLimit = 500;
    static constexpr int kKeepAliveSeconds = 30;
    static constexpr int kFirstRetryMillis = 1000;
    static constexpr int kMaxRetryMillis = 60000;
    // A broker that has not accepted the connection by then is given up on.
    static constexpr int kConnectMillis = 10000;

    struct Endpoint
    {
        QString host;
        quint16 port = 1883;
        QString user; // empty: no login
        QString password;
        bool operator==(const Endpoint &) const = default;
    };

    explicit MqttConnection(const QString &statusTopic, QObject *parent = nullptr);
    ~MqttConnection() override;

    // Connects, and keeps connecting, to this broker (an orderly stop of
    // any earlier connection first).
    void start(const Endpoint &endpoint);
    // Orderly: "offline" on the status topic, then disconnect. Safe when off.
    void stop();
    // For tests and benchmarks: the first and the longest wait between tries.
    void setRetryMillis(int first, int max);

    const Endpoint &endpoint() const { return m_endpoint; }
    State state() const { return m_state; }
    // What the connection is doing, for a person ("Connected to ...").
    QString stateText() const { return m_stateText; }
    bool isConnected() const { return m_state == State::Connected; }

    // Sent at once when connected, else queued (retained ones are not).
    void publish(const QString &topic, const QByteArray &payload, bool retain = false);
    qsizetype queued() const { return qsizetype(m_queue.size()); }
    // Messages dropped from a full queue since the start.
    qint64 dropped() const { return m_dropped; }

signals:
    // A new connection stands: publish the retained states now.
    void connected();
    void stateChanged(MqttConnection::State state, const QString &text);

private:
    struct Relay;
    struct Reapers;
    struct Message
    {
        QString topic;
        QByteArray payload;
    };

    static void onConnect(mosquitto *mosq, void *relay, int rc);
    static void onDisconnect(mosquitto *mosq, void *relay, int rc);

    void attempt();
    void resolved(const QHostInfo &info);
    void connectedNow(quint64 generation, int rc);
    void lost(quint64 generation, const QString &why);
    // The try failed: drop it, say why, and try again after the back-off.
    void fail(const QString &why);
    // Ends the current try; orderly: "offline" first when connected.
    void retire(bool orderly);
    bool send(const QString &topic, const QByteArray &payload, bool retain);
    void setState(State state, const QString &text);
    QString where() const;

    QString m_statusTopic;
    Endpoint m_endpoint;
    bool m_running = false;
    State m_state = State::Off;
    QString m_stateText;
    QString m_refusal; // why the broker refused the current try
    QString m_lastWarning;
    mosquitto *m_mosq = nullptr;
    std::shared_ptr<Relay> m_relay;
    std::shared_ptr<Reapers> m_reapers;
    bool m_loopStarted = false;
    quint64 m_generation = 0;
    int m_lookupId = -1;
    QTimer m_retry;
    QTimer m_connectDeadline;
    int m_firstRetry = kFirstRetryMillis;
    int m_maxRetry = kMaxRetryMillis;
    int m_nextRetry = kFirstRetryMillis;
    std::deque<Message> m_queue;
    qint64 m_dropped = 0;
    qint64 m_droppedWhileAway = 0;
};
