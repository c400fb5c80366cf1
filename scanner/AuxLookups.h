#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class AuxDisplayModel;
class ChannelDatabase;

// What the channel database knows of the channel or talkgroup being received,
// shown on the auxiliary display. The lookups only read, and never wait for a
// lock: a lookup that finds the file busy shows nothing new and is tried
// again the next time. New talkgroups are written by the talkgroup log's
// writer (TalkgroupActivityLog), not here.
class AuxLookups
{
public:
    // report: says a database problem on the status line. It is called once
    // for a run of failures; the first lookup that works after them calls it
    // with an empty text, to withdraw the problem.
    AuxLookups(AuxDisplayModel *aux, ChannelDatabase *db, std::function<void(const QString &)> report);

    void lookupChannel(const QString &channelText, const QString &frequencyText);
    // confirmed: the talkgroup is now taken as heard (a second reply agreed)
    // and is being logged; one the table does not know yet is then shown as
    // added ("Unknown", "Auto-Added by Orvendal").
    void lookupTalkgroup(const QString &currentTalkgroup, bool confirmed = false);

private:
    void failed(const QString &error);
    void worked();

    AuxDisplayModel *m_aux;
    ChannelDatabase *m_db;
    std::function<void(const QString &)> m_report;
    bool m_reported = false;
    bool m_channelPending = false; // the last channel lookup found the file busy
};
