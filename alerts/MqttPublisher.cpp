#include "alerts/MqttPublisher.h"

#include "data/AppInfo.h"
#include "data/ChannelDatabase.h"
#include "link/LinkSettings.h"
#include "protocol/ScannerMode.h"
#include "scanner/PollLoop.h"
#include "scanner/ScannerSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaEnum>

namespace {

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString isoTime(const QDateTime &t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace

MqttPublisher::MqttPublisher(const Wiring &wiring, QObject *parent)
    : QObject(parent)
    , m_w(wiring)
    , m_connection(topic(QStringLiteral("status")))
{
    connect(&m_connection, &MqttConnection::stateChanged, this,
            [this](MqttConnection::State, const QString &text) { emit stateChanged(text); });
    connect(&m_connection, &MqttConnection::connected, this, [this] {
        publishDiscovery();
        publishStates();
    });
    connect(m_w.calls, &CallTracker::callStarted, this, &MqttPublisher::callStarted);
    connect(m_w.calls, &CallTracker::callEnded, this, &MqttPublisher::callEnded);
    connect(m_w.session, &ScannerSession::phaseChanged, this, &MqttPublisher::publishLink);
    connect(m_w.session, &ScannerSession::pollingStarted, this, [this] { follow(m_w.session->pollLoop()); });
    follow(m_w.session->pollLoop());
}

MqttPublisher::~MqttPublisher()
{
    m_connection.stop();
    if (m_db)
        m_db->close();
}

void MqttPublisher::follow(PollLoop *loop)
{
    if (!loop || loop == m_loop)
        return;
    if (m_loop)
        m_loop->disconnect(this);
    m_loop = loop;
    m_answering = true;
    connect(loop, &PollLoop::quiet, this, [this] {
        m_answering = false;
        publishLink();
    });
    connect(loop, &PollLoop::answering, this, [this] {
        m_answering = true;
        publishLink();
    });
}

void MqttPublisher::apply(const MqttSettings &settings)
{
    const MqttConnection::Endpoint endpoint{settings.host, settings.port, settings.user, settings.password};
    m_settings = settings;
    if (!settings.enabled || settings.host.isEmpty()) {
        m_connection.stop();
        return;
    }
    if (m_connection.isConnected() && m_connection.endpoint() == endpoint)
        return; // there already; a connection that waits tries again now
    m_connection.start(endpoint);
}

QJsonObject MqttPublisher::callJson(const CallInfo &call, const QDateTime &start)
{
    QJsonObject o;
    o.insert(QStringLiteral("active"), true);
    o.insert(QStringLiteral("mode"), modeName(m_w.session->state().mode));
    o.insert(QStringLiteral("talkgroup"), textOrNull(call.talkgroup));
    o.insert(QStringLiteral("bank"), call.bankLetter.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString(call.bankLetter)));
    const int channel = LinkSettings::leadingNumber(call.channel);
    o.insert(QStringLiteral("channel"), channel > 0 ? QJsonValue(channel) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("frequency"), textOrNull(call.frequency.trimmed()));
    o.insert(QStringLiteral("start"), isoTime(start));

    // The names the channel database has for it.
    QJsonObject names;
    QString name;
    if (!m_db)
        m_db = std::make_unique<ChannelDatabase>(m_w.databasePath, QStringLiteral("orvendal-mqtt"), 0);
    QString error;
    if (m_db->isOpen() || m_db->open(&error)) {
        if (!call.talkgroup.isEmpty()) {
            std::optional<ChannelDatabase::Talkgroup> tg;
            if (m_db->lookupTalkgroup(call.talkgroup, &tg, &error) && tg) {
                names.insert(QStringLiteral("city"), tg->city);
                names.insert(QStringLiteral("service"), tg->serviceDesc);
                names.insert(QStringLiteral("notes"), tg->notes);
                name = !tg->serviceDesc.isEmpty() ? tg->serviceDesc : tg->city;
            }
        } else if (ChannelDatabase::bankOfChannel(channel) > 0) {
            std::optional<ChannelDatabase::ChannelNotes> ch;
            if (m_db->lookupChannel(channel, &ch, &error) && ch) {
                names.insert(QStringLiteral("company"), ch->companyName);
                names.insert(QStringLiteral("notes"), ch->notes);
                name = ch->companyName;
            }
        }
    }
    if (!error.isEmpty())
        qCDebug(lcMqtt).noquote() << "no names for the call:" << error;
    o.insert(QStringLiteral("name"), textOrNull(name));
    o.insert(QStringLiteral("names"), names);
    return o;
}

void MqttPublisher::callStarted(const CallInfo &call, qint64 startedAt, const QDateTime &wallStart)
{
    if (!m_settings.enabled)
        return;
    m_call = callJson(call, wallStart);
    m_callStartedAt = startedAt;
    const QByteArray json = compact(m_call);
    m_connection.publish(topic(QStringLiteral("call/start")), json);
    m_connection.publish(topic(QStringLiteral("call")), json, true);
}

void MqttPublisher::callEnded(qint64 endedAt)
{
    if (!m_settings.enabled || m_call.isEmpty() || !m_call.value(QStringLiteral("active")).toBool())
        return;
    const QDateTime start = QDateTime::fromString(m_call.value(QStringLiteral("start")).toString(), Qt::ISODateWithMs);
    const qint64 millis = std::max<qint64>(0, endedAt - m_callStartedAt);
    m_call.insert(QStringLiteral("active"), false);
    m_call.insert(QStringLiteral("end"), isoTime(start.addMSecs(millis)));
    m_call.insert(QStringLiteral("duration"), millis / 1000.0);
    const QByteArray json = compact(m_call);
    m_connection.publish(topic(QStringLiteral("call/end")), json);
    m_connection.publish(topic(QStringLiteral("call")), json, true);
}

QJsonObject MqttPublisher::linkJson() const
{
    const QMetaEnum phases = QMetaEnum::fromType<ScannerSession::Phase>();
    const QString phase = QString::fromLatin1(phases.valueToKey(int(m_w.session->phase()))).toLower();
    const bool polling = m_w.session->phase() == ScannerSession::Phase::Polling;
    return {{QStringLiteral("state"), phase}, {QStringLiteral("answering"), polling && m_answering}};
}

void MqttPublisher::publishLink()
{
    if (m_settings.enabled)
        m_connection.publish(topic(QStringLiteral("link")), compact(linkJson()), true);
}

void MqttPublisher::publishStates()
{
    publishLink();
    if (!m_call.isEmpty())
        m_connection.publish(topic(QStringLiteral("call")), compact(m_call), true);
}

void MqttPublisher::publishDiscovery()
{
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{QStringLiteral("orvendal")}},
        {QStringLiteral("name"), QStringLiteral("Orvendal")},
        {QStringLiteral("model"), QStringLiteral("VKS-4410")},
        {QStringLiteral("manufacturer"), QStringLiteral("Valkes Communications")},
        {QStringLiteral("sw_version"), AppInfo::version()},
    };
    struct Sensor
    {
        const char *component, *object, *name, *state, *value, *unit, *icon;
    };
    // Between calls, and for what a call does not have (a trunk call's
    // frequency), the sensors render "None": Home Assistant shows unknown
    // (an empty text would not do for the frequency, which has a unit).
    static const Sensor sensors[] = {
        {"sensor", "talkgroup", "Talkgroup", "call", "{{ value_json.talkgroup if value_json.active else None }}", nullptr, "mdi:account-group"},
        {"sensor", "channel", "Channel", "call", "{{ value_json.channel if value_json.active else None }}", nullptr, "mdi:numeric"},
        {"sensor", "frequency", "Frequency", "call", "{{ value_json.frequency if value_json.active else None }}", "MHz", "mdi:sine-wave"},
        {"sensor", "name", "Call name", "call", "{{ value_json.name if value_json.active else None }}", nullptr, "mdi:label"},
        {"binary_sensor", "call", "Call", "call", "{{ 'ON' if value_json.active else 'OFF' }}", nullptr, "mdi:radio-tower"},
        {"sensor", "link", "Scanner link", "link", "{{ value_json.state }}", nullptr, "mdi:serial-port"},
    };
    for (const Sensor &s : sensors) {
        QJsonObject config{
            {QStringLiteral("name"), QLatin1String(s.name)},
            {QStringLiteral("unique_id"), QStringLiteral("orvendal_%1").arg(QLatin1String(s.object))},
            {QStringLiteral("state_topic"), topic(QLatin1String(s.state))},
            {QStringLiteral("value_template"), QLatin1String(s.value)},
            {QStringLiteral("availability_topic"), topic(QStringLiteral("status"))},
            {QStringLiteral("payload_available"), QStringLiteral("online")},
            {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
            {QStringLiteral("icon"), QLatin1String(s.icon)},
            {QStringLiteral("device"), device},
        };
        if (s.unit)
            config.insert(QStringLiteral("unit_of_measurement"), QLatin1String(s.unit));
        m_connection.publish(QStringLiteral("homeassistant/%1/orvendal/%2/config")
                                 .arg(QLatin1String(s.component), QLatin1String(s.object)),
                             compact(config), true);
    }
}
