#include "alerts/MqttSettings.h"

#include <QSettings>

namespace {
const QString kEnabled = QStringLiteral("Config/Mqtt_Enabled");
const QString kHost = QStringLiteral("Config/Mqtt_Host");
const QString kPort = QStringLiteral("Config/Mqtt_Port");
const QString kUser = QStringLiteral("Config/Mqtt_User");
const QString kPassword = QStringLiteral("Config/Mqtt_Password");
} // namespace

MqttSettings MqttSettings::load(QSettings &store)
{
    MqttSettings s;
    s.enabled = store.value(kEnabled, false).toBool();
    s.host = store.value(kHost).toString().trimmed();
    bool ok = false;
    const uint port = store.value(kPort).toUInt(&ok);
    s.port = ok && port > 0 && port <= 65535 ? quint16(port) : kDefaultPort;
    s.user = store.value(kUser).toString();
    s.password = store.value(kPassword).toString();
    return s;
}

void MqttSettings::save(QSettings &store, const MqttSettings &s)
{
    store.setValue(kEnabled, s.enabled);
    store.setValue(kHost, s.host);
    store.setValue(kPort, s.port);
    store.setValue(kUser, s.user);
    store.setValue(kPassword, s.password);
    store.sync();
}

bool MqttSettings::parseEndpoint(const QString &text, QString *host, quint16 *port, QString *error)
{
    QString h = text.trimmed();
    QString portText;
    if (h.startsWith(QLatin1Char('['))) {
        const qsizetype close = h.indexOf(QLatin1Char(']'));
        if (close < 0) {
            *error = QStringLiteral("\"%1\": the IPv6 address has no closing \"]\"").arg(text);
            return false;
        }
        if (close + 1 < h.size()) {
            if (h.at(close + 1) != QLatin1Char(':')) {
                *error = QStringLiteral("\"%1\" is not HOST[:PORT]").arg(text);
                return false;
            }
            portText = h.mid(close + 2);
        }
        h = h.mid(1, close - 1);
    } else if (h.count(QLatin1Char(':')) == 1) {
        portText = h.section(QLatin1Char(':'), 1);
        h = h.section(QLatin1Char(':'), 0, 0);
    }
    if (h.isEmpty() || h.contains(QLatin1Char(' '))) {
        *error = QStringLiteral("\"%1\" names no host").arg(text);
        return false;
    }
    quint16 number = kDefaultPort;
    if (!portText.isNull()) {
        bool ok = false;
        const uint value = portText.toUInt(&ok);
        if (!ok || value == 0 || value > 65535) {
            *error = QStringLiteral("\"%1\" is no port: give a number from 1 to 65535").arg(portText);
            return false;
        }
        number = quint16(value);
    }
    *host = h;
    *port = number;
    return true;
}
