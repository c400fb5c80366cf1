#pragma once

#include <QString>

class QSettings;

// Where the events for home automation go: an MQTT broker, off by default.
// Every topic starts with kTopicPrefix.
struct MqttSettings
{
    static constexpr quint16 kDefaultPort = 1883;
    static inline const QString kTopicPrefix = QStringLiteral("orvendal/");

    bool enabled = false;
    QString host;
    quint16 port = kDefaultPort;
    QString user;     // empty: no login
    QString password;

    bool operator==(const MqttSettings &) const = default;

    // From the settings store; a hand-edited port that is no port falls
    // back to the default.
    static MqttSettings load(QSettings &store);
    static void save(QSettings &store, const MqttSettings &settings);

    // "HOST" or "HOST:PORT" ("[v6 address]:PORT" for an IPv6 address).
    // False, with *error, for an empty host or a port outside 1..65535.
    static bool parseEndpoint(const QString &text, QString *host, quint16 *port, QString *error);
};
