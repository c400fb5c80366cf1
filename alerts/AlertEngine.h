#pragma once

#include "alerts/AlertRule.h"
#include "alerts/AlertRuleStore.h"
#include "alerts/IdList.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>

#include <memory>

class AlertProgram;
class DesktopNotifier;
class AlertSound;
class CallTracker;
class ChannelDatabase;
struct CallInfo;

// Fires the alert rules: when a call starts, every enabled rule that matches
// it does what it says (a desktop notification, a sound, a program), at most
// once per its cooldown. Names come from the channel database, read on a
// connection that never waits for a lock (a busy file gives no names).
class AlertEngine : public QObject
{
    Q_OBJECT
public:
    AlertEngine(const QString &databasePath, CallTracker *calls, QObject *parent = nullptr);
    ~AlertEngine() override;

    // Reads the rules again (after they were edited). False with *error
    // when the database fails; the rules read before stay in force then.
    bool reload(QString *error = nullptr);
    AlertRuleStore *store() { return &m_store; }
    // The rules in force.
    QList<AlertRule> rules() const;

    DesktopNotifier *notifier() const { return m_notifier; }
    AlertProgram *programs() const { return m_programs; }

    // A call started: the rules that match fire (the tracker's callStarted
    // comes here).
    void callStarted(const CallInfo &call);

signals:
    // A rule fired for a call (the web front panel shows it).
    void alerted(const AlertEvent &event);

private:
    struct Armed
    {
        AlertRule rule;
        std::optional<IdList> ids; // Talkgroups and Channels
    };
    bool matches(const Armed &armed, const AlertEvent &event) const;
    void lookUpNames(AlertEvent *event);
    void fire(const AlertRule &rule, const AlertEvent &event);

    QString m_databasePath;
    AlertRuleStore m_store;
    std::unique_ptr<ChannelDatabase> m_names;
    QList<Armed> m_rules;
    // When each rule (by id) last fired, on m_clock.
    QHash<qint64, qint64> m_lastFired;
    QElapsedTimer m_clock;
    DesktopNotifier *m_notifier;
    AlertSound *m_sound;
    AlertProgram *m_programs;
};
