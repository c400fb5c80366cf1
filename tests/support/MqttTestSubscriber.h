#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <mosquitto.h>

#include <ctime>
#include <functional>
#include <mutex>

// A client of the test broker that subscribes to topics and keeps what
// arrives (on libmosquitto's thread), reconnecting when the broker comes back.
class MqttTestSubscriber
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained = false;
        qint64 arrivedNs = 0; // CLOCK_MONOTONIC
    };

    MqttTestSubscriber(quint16 port, const QStringList &topics)
        : m_topics(topics)
    {
        mosquitto_lib_init();
        m_mosq = mosquitto_new(nullptr, true, this);
        mosquitto_reconnect_delay_set(m_mosq, 1, 1, false);
        mosquitto_connect_callback_set(m_mosq, [](mosquitto *m, void *self, int rc) {
            if (rc != 0)
                return;
            for (const QString &t : static_cast<MqttTestSubscriber *>(self)->m_topics)
                mosquitto_subscribe(m, nullptr, t.toUtf8().constData(), 1);
            std::lock_guard lock(static_cast<MqttTestSubscriber *>(self)->m_mutex);
            ++static_cast<MqttTestSubscriber *>(self)->m_connections;
        });
        mosquitto_subscribe_callback_set(m_mosq, [](mosquitto *, void *self, int, int, const int *) {
            std::lock_guard lock(static_cast<MqttTestSubscriber *>(self)->m_mutex);
            ++static_cast<MqttTestSubscriber *>(self)->m_subscriptions;
        });
        mosquitto_message_callback_set(m_mosq, [](mosquitto *, void *self, const mosquitto_message *msg) {
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            auto *s = static_cast<MqttTestSubscriber *>(self);
            Message m{QString::fromUtf8(msg->topic), QByteArray(static_cast<const char *>(msg->payload), msg->payloadlen),
                      msg->retain, qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec};
            std::lock_guard lock(s->m_mutex);
            s->m_messages.append(m);
            if (s->m_onMessage)
                s->m_onMessage(m);
        });
        mosquitto_connect_async(m_mosq, "127.0.0.1", port, 10);
        mosquitto_loop_start(m_mosq);
    }
    ~MqttTestSubscriber()
    {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }

    // Called on libmosquitto's thread for each message.
    void setOnMessage(std::function<void(const Message &)> fn)
    {
        std::lock_guard lock(m_mutex);
        m_onMessage = std::move(fn);
    }
    int connections()
    {
        std::lock_guard lock(m_mutex);
        return m_connections;
    }
    // Subscriptions the broker confirmed, over every connection.
    int subscriptions()
    {
        std::lock_guard lock(m_mutex);
        return m_subscriptions;
    }
    QList<Message> messages(const QString &topic = QString())
    {
        std::lock_guard lock(m_mutex);
        QList<Message> out;
        for (const Message &m : m_messages) {
            if (topic.isEmpty() || m.topic == topic)
                out.append(m);
        }
        return out;
    }
    // The payload last received on a topic.
    QByteArray last(const QString &topic)
    {
        const QList<Message> on = messages(topic);
        return on.isEmpty() ? QByteArray() : on.last().payload;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
    }

private:
    QStringList m_topics;
    mosquitto *m_mosq = nullptr;
    std::mutex m_mutex;
    QList<Message> m_messages;
    std::function<void(const Message &)> m_onMessage;
    int m_connections = 0;
    int m_subscriptions = 0;
};
