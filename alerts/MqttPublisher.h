#pragma once

#include "alerts/MqttConnection.h"
#include "alerts/MqttSettings.h"
#include "scanner/CallTracker.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QPointer>

#include <memory>

class ChannelDatabase;
class PollLoop;
class ScannerSession;

// The scanner's calls and link state as MQTT events for home automation.
// Topics (all under MqttSettings::kTopicPrefix, "orvendal/"):
//   status      "online" / "offline", retained (the last will says offline)
//   call/start  a call began: JSON, in order with call/end
//   call/end    the call ended: the same JSON with its end and duration
//   call        the current or last call, retained; "active" says which
//   link        the link to the scanner, retained: {"state", "answering"}
// and Home Assistant discovery configs under homeassistant/ for the
// talkgroup, channel, frequency, name, call and link sensors. Names come
// from the channel database (a lookup that finds the file busy gives none).
class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    struct Wiring
    {
        ScannerSession *session = nullptr;
        CallTracker *calls = nullptr;
        QString databasePath;
    };

    static QString topic(const QString &name) { return MqttSettings::kTopicPrefix + name; }

    explicit MqttPublisher(const Wiring &wiring, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // On: connects to the broker (again, when the broker or login changed);
    // off: an orderly disconnect. The caller keeps the settings store.
    void apply(const MqttSettings &settings);
    const MqttSettings &settings() const { return m_settings; }
    MqttConnection &connection() { return m_connection; }

    // What a call's JSON says; names from the database.
    QJsonObject callJson(const CallInfo &call, const QDateTime &start);
    // The link's JSON for the session's phase.
    QJsonObject linkJson() const;

signals:
    void stateChanged(const QString &text);

private:
    void callStarted(const CallInfo &call, qint64 startedAt, const QDateTime &wallStart);
    void callEnded(qint64 endedAt);
    void publishLink();
    void publishDiscovery();
    void publishStates();
    void follow(PollLoop *loop);

    Wiring m_w;
    MqttSettings m_settings;
    MqttConnection m_connection;
    std::unique_ptr<ChannelDatabase> m_db;
    QPointer<PollLoop> m_loop;
    bool m_answering = true;
    QJsonObject m_call; // the current or last call
    qint64 m_callStartedAt = 0;
};
