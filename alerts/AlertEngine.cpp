#include "alerts/AlertEngine.h"

#include "alerts/AlertProgram.h"
#include "alerts/AlertSound.h"
#include "alerts/DesktopNotifier.h"
#include "data/ChannelDatabase.h"
#include "link/LinkSettings.h"
#include "scanner/CallTracker.h"

AlertEngine::AlertEngine(const QString &databasePath, CallTracker *calls, QObject *parent)
    : QObject(parent)
    , m_databasePath(databasePath)
    , m_store(databasePath, QStringLiteral("orvendal-alert-rules-%1").arg(quintptr(this), 0, 16), 1000)
    , m_notifier(new DesktopNotifier(this))
    , m_sound(new AlertSound(this))
    , m_programs(new AlertProgram(this))
{
    m_clock.start();
    if (calls)
        connect(calls, &CallTracker::callStarted, this, &AlertEngine::callStarted);
}

AlertEngine::~AlertEngine()
{
    if (m_names)
        m_names->close();
}

bool AlertEngine::reload(QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    QList<AlertRule> rules;
    QStringList unreadable;
    if (!m_store.load(&rules, error, &unreadable)) {
        qCWarning(lcAlerts).noquote() << "the alert rules cannot be read:" << *error;
        return false;
    }
    for (const QString &why : unreadable)
        qCWarning(lcAlerts).noquote() << "an alert rule is left out:" << why;
    m_rules.clear();
    for (const AlertRule &rule : rules) {
        Armed armed{rule, std::nullopt};
        if (rule.match != AlertRule::Match::Name) {
            QString why;
            armed.ids = IdList::parse(rule.matchText, rule.match == AlertRule::Match::Channels ? IdList::Kind::Channels
                                                                                               : IdList::Kind::Talkgroups,
                                      &why);
            if (!armed.ids) {
                qCWarning(lcAlerts).noquote() << QStringLiteral("the alert rule \"%1\" is left out: %2").arg(rule.name, why);
                continue;
            }
        }
        m_rules.append(armed);
    }
    // A deleted rule's id may come back with a new rule, which starts afresh.
    for (auto it = m_lastFired.begin(); it != m_lastFired.end();) {
        const bool kept = std::any_of(rules.cbegin(), rules.cend(), [&](const AlertRule &r) { return r.id == it.key(); });
        it = kept ? std::next(it) : m_lastFired.erase(it);
    }
    return true;
}

QList<AlertRule> AlertEngine::rules() const
{
    QList<AlertRule> out;
    for (const Armed &a : m_rules)
        out << a.rule;
    return out;
}

void AlertEngine::lookUpNames(AlertEvent *event)
{
    if (!m_names) {
        m_names = std::make_unique<ChannelDatabase>(
            m_databasePath, QStringLiteral("orvendal-alert-names-%1").arg(quintptr(this), 0, 16), 0);
    }
    QString error;
    if (!m_names->isOpen() && !m_names->open(&error)) {
        qCDebug(lcAlerts) << "no names for the alert:" << error;
        return;
    }
    if (!event->talkgroup.isEmpty()) {
        std::optional<ChannelDatabase::Talkgroup> tg;
        if (m_names->lookupTalkgroup(event->talkgroup, &tg, &error) && tg) {
            event->name = tg->serviceDesc;
            event->city = tg->city;
        }
    } else {
        std::optional<ChannelDatabase::ChannelNotes> ch;
        const int channel = LinkSettings::leadingNumber(event->channel);
        if (ChannelDatabase::bankOfChannel(channel) != 0 && m_names->lookupChannel(channel, &ch, &error) && ch)
            event->name = ch->companyName;
    }
    if (!error.isEmpty())
        qCDebug(lcAlerts) << "no names for the alert:" << error;
}

bool AlertEngine::matches(const Armed &armed, const AlertEvent &event) const
{
    switch (armed.rule.match) {
    case AlertRule::Match::Talkgroups:
        return !event.talkgroup.isEmpty() && armed.ids->contains(event.talkgroup);
    case AlertRule::Match::Channels: {
        const int channel = LinkSettings::leadingNumber(event.channel);
        return event.talkgroup.isEmpty() && channel > 0 && armed.ids->contains(QString::number(channel));
    }
    case AlertRule::Match::Name:
        break;
    }
    const QString &text = armed.rule.matchText;
    return event.name.contains(text, Qt::CaseInsensitive) || event.city.contains(text, Qt::CaseInsensitive);
}

void AlertEngine::callStarted(const CallInfo &call)
{
    QList<const Armed *> enabled;
    for (const Armed &a : m_rules) {
        if (a.rule.enabled)
            enabled << &a;
    }
    if (enabled.isEmpty())
        return; // nothing to do, not even a lookup
    AlertEvent event;
    event.talkgroup = call.talkgroup;
    event.bankLetter = call.bankLetter;
    event.channel = call.channel;
    event.frequency = call.frequency;
    lookUpNames(&event);
    const qint64 now = m_clock.elapsed();
    for (const Armed *a : enabled) {
        if (!matches(*a, event))
            continue;
        const auto last = m_lastFired.constFind(a->rule.id);
        if (last != m_lastFired.constEnd() && now - *last < qint64(a->rule.cooldownSecs) * 1000)
            continue; // heard again within its cooldown
        m_lastFired.insert(a->rule.id, now);
        AlertEvent fired = event;
        fired.ruleName = a->rule.name;
        fire(a->rule, fired);
    }
}

void AlertEngine::fire(const AlertRule &rule, const AlertEvent &event)
{
    qCInfo(lcAlerts).noquote() << QStringLiteral("alert \"%1\": %2").arg(rule.name, event.text());
    if (rule.notify)
        m_notifier->notify(rule.name, event.text());
    if (rule.sound)
        m_sound->play(rule.soundFile);
    if (rule.run) {
        const QString program = AlertRule::resolveProgram(rule.program);
        if (program.isEmpty())
            qCWarning(lcAlerts).noquote() << QStringLiteral("alert \"%1\": the program %2 is not there").arg(rule.name, rule.program);
        else
            m_programs->run(rule.name, program, AlertRule::expand(rule.arguments, event));
    }
    emit alerted(event);
}
