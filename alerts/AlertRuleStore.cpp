#include "alerts/AlertRuleStore.h"

#include "data/ChannelDatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString argumentsText(const QStringList &arguments)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact));
}

// The stored argument list: a JSON array of texts, or none when it is not one.
std::optional<QStringList> argumentsFrom(const QString &text)
{
    if (text.isEmpty())
        return QStringList();
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isArray())
        return std::nullopt;
    QStringList out;
    for (const QJsonValue &v : doc.array()) {
        if (!v.isString())
            return std::nullopt;
        out << v.toString();
    }
    return out;
}

} // namespace

AlertRuleStore::AlertRuleStore(const QString &databasePath, const QString &connectionName, int busyMillis)
    : m_path(databasePath)
    , m_connection(connectionName)
    , m_busyMillis(busyMillis)
{
}

AlertRuleStore::~AlertRuleStore()
{
    if (m_db)
        m_db->close();
}

bool AlertRuleStore::ensureOpen(QString *error)
{
    if (!m_db)
        m_db = std::make_unique<ChannelDatabase>(m_path, m_connection, m_busyMillis);
    return m_db->isOpen() || m_db->open(error);
}

bool AlertRuleStore::load(QList<AlertRule> *rules, QString *error, QStringList *unreadable)
{
    rules->clear();
    if (!ensureOpen(error))
        return false;
    QSqlQuery q(m_db->database());
    if (!q.exec(QStringLiteral("SELECT ID, NAME, ENABLED, MATCH_KIND, MATCH_TEXT, NOTIFY, SOUND, SOUND_FILE, RUN, "
                               "PROGRAM, ARGUMENTS, COOLDOWN_SECS FROM ALERT_RULES ORDER BY ID"))) {
        *error = q.lastError().text();
        return false;
    }
    while (q.next()) {
        AlertRule r;
        r.id = q.value(0).toLongLong();
        r.name = q.value(1).toString();
        r.enabled = q.value(2).toInt() != 0;
        const auto match = AlertRule::matchFromWord(q.value(3).toString());
        r.matchText = q.value(4).toString();
        r.notify = q.value(5).toInt() != 0;
        r.sound = q.value(6).toInt() != 0;
        r.soundFile = q.value(7).toString();
        r.run = q.value(8).toInt() != 0;
        r.program = q.value(9).toString();
        const auto arguments = argumentsFrom(q.value(10).toString());
        bool cooldownOk = false;
        r.cooldownSecs = q.value(11).toInt(&cooldownOk);
        QString why;
        if (!match)
            why = QStringLiteral("it matches by \"%1\", which this program does not know").arg(q.value(3).toString());
        else if (!arguments)
            why = QStringLiteral("its program arguments cannot be read");
        else if (!cooldownOk || r.cooldownSecs < 0)
            why = QStringLiteral("its cooldown is not a number of seconds");
        if (!why.isEmpty()) {
            if (unreadable)
                *unreadable << QStringLiteral("Rule %1 (\"%2\"): %3.").arg(r.id).arg(r.name, why);
            continue;
        }
        r.match = *match;
        r.arguments = *arguments;
        rules->append(r);
    }
    return true;
}

bool AlertRuleStore::save(AlertRule *rule, QString *error)
{
    rule->name = rule->name.trimmed();
    rule->matchText = rule->matchText.trimmed();
    rule->program = rule->program.trimmed();
    const QString problem = rule->problem();
    if (!problem.isEmpty()) {
        *error = problem;
        return false;
    }
    if (!ensureOpen(error)) {
        *error = QStringLiteral("The rule could not be saved: %1").arg(*error);
        return false;
    }
    QSqlQuery q(m_db->database());
    const QString columns = QStringLiteral("NAME, ENABLED, MATCH_KIND, MATCH_TEXT, NOTIFY, SOUND, SOUND_FILE, RUN, "
                                           "PROGRAM, ARGUMENTS, COOLDOWN_SECS");
    if (rule->id == 0)
        q.prepare(QStringLiteral("INSERT INTO ALERT_RULES (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(columns));
    else
        q.prepare(QStringLiteral("UPDATE ALERT_RULES SET NAME = ?, ENABLED = ?, MATCH_KIND = ?, MATCH_TEXT = ?, "
                                 "NOTIFY = ?, SOUND = ?, SOUND_FILE = ?, RUN = ?, PROGRAM = ?, ARGUMENTS = ?, "
                                 "COOLDOWN_SECS = ? WHERE ID = ?"));
    const QVariantList values = {rule->name, int(rule->enabled), AlertRule::matchWord(rule->match),
                                 rule->matchText, int(rule->notify), int(rule->sound), rule->soundFile,
                                 int(rule->run), rule->program, argumentsText(rule->arguments),
                                 rule->cooldownSecs};
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (rule->id != 0)
        q.addBindValue(rule->id);
    if (!q.exec()) {
        *error = QStringLiteral("The rule could not be saved: %1").arg(q.lastError().text());
        return false;
    }
    if (rule->id == 0) {
        rule->id = q.lastInsertId().toLongLong();
    } else if (q.numRowsAffected() == 0) {
        *error = QStringLiteral("The rule could not be saved: it is no longer in the database.");
        return false;
    }
    return true;
}

bool AlertRuleStore::remove(qint64 id, QString *error)
{
    if (!ensureOpen(error))
        return false;
    QSqlQuery q(m_db->database());
    q.prepare(QStringLiteral("DELETE FROM ALERT_RULES WHERE ID = ?"));
    q.addBindValue(id);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    return true;
}
