#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class AuxDisplayModel;
class ChannelDatabase;

// What the channel database knows of the channel or talkgroup being received,
// shown on the auxiliary display; and the talkgroup log, which gains a row for
// every talkgroup heard for the first time.
class AuxLookups
{
public:
    static const QString kUnknown;
    static const QString kAutoAdded;

    // report: says a database problem on the status line. It is called once
    // for a run of failures; the first lookup that works after them calls it
    // with an empty text, to withdraw the problem.
    AuxLookups(AuxDisplayModel *aux, ChannelDatabase *db, std::function<void(const QString &)> report);

    void lookupChannel(const QString &channelText, const QString &frequencyText);
    void lookupTalkgroup(const QString &currentTalkgroup);

    // For tests: the clock that dates new talkgroups.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

private:
    void failed(const QString &error);
    void worked();

    AuxDisplayModel *m_aux;
    ChannelDatabase *m_db;
    std::function<void(const QString &)> m_report;
    std::function<QDateTime()> m_clock;
    bool m_reported = false;
};
