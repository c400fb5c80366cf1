#pragma once

#include "alerts/AlertRule.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class ChannelDatabase;

// The alert rules in the ALERT_RULES table of the channel database, on a
// connection of their own opened when first needed.
class AlertRuleStore
{
public:
    AlertRuleStore(const QString &databasePath, const QString &connectionName, int busyMillis);
    ~AlertRuleStore();
    AlertRuleStore(const AlertRuleStore &) = delete;
    AlertRuleStore &operator=(const AlertRuleStore &) = delete;

    // The rules in the order they were made. A row that cannot be read is
    // left in the table as it is, and *unreadable (when given) says which
    // and why. False with *error when the database fails.
    bool load(QList<AlertRule> *rules, QString *error, QStringList *unreadable = nullptr);
    // Writes the rule (a new row for id 0, whose id it then gets). A rule
    // with a problem is refused with that problem as *error.
    bool save(AlertRule *rule, QString *error);
    bool remove(qint64 id, QString *error);

private:
    bool ensureOpen(QString *error);

    QString m_path;
    QString m_connection;
    int m_busyMillis;
    std::unique_ptr<ChannelDatabase> m_db;
};
