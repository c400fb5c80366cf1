#pragma once

#include "SessionRig.h"
#include "alerts/AlertEngine.h"
#include "alerts/AlertRuleStore.h"
#include "scanner/CallTracker.h"

// The session, its calls and the alert rules, with names in the database.
struct AlertRig
{
    SessionRig rig;
    CallTracker tracker{&rig.session};
    AlertEngine engine{rig.databasePath(), &tracker};

    AlertRig()
    {
        rig.enterMode(ScannerMode::TrunkScan);
        ChannelDatabase db(rig.databasePath(), QStringLiteral("names"), 2000);
        QString error;
        if (!db.open(&error))
            qFatal("%s", qPrintable(error));
        const QDateTime now = QDateTime::currentDateTime();
        db.addTalkgroup({QStringLiteral("150"), QStringLiteral("Ashby"), QStringLiteral("Fire Dispatch"), {}}, now, &error);
        db.addTalkgroup({QStringLiteral("400"), QStringLiteral("Brill"), QStringLiteral("County FIRE Ops"), {}}, now, &error);
        db.addTalkgroup({QStringLiteral("777"), {}, QStringLiteral("O'Neil \"{id}\" & Sons $HOME"), {}}, now, &error);
    }
    AlertRule save(AlertRule rule)
    {
        QString error;
        if (!engine.store()->save(&rule, &error))
            qFatal("%s", qPrintable(error));
        engine.reload();
        return rule;
    }
    void talkgroup(const QString &id)
    {
        for (int i = 0; i < PollLoop::kAgreeingReplies; ++i)
            rig.reply(QStringLiteral("ID C %1").arg(id));
    }
};

inline AlertRule rule(const QString &name, AlertRule::Match match, const QString &text, int cooldown)
{
    AlertRule r;
    r.name = name;
    r.match = match;
    r.matchText = text;
    r.cooldownSecs = cooldown;
    return r;
}
