#include "scanner/AuxLookups.h"

#include "scanner/AuxDisplayModel.h"
#include "link/LinkSettings.h"
#include "data/ChannelDatabase.h"
#include "data/TalkgroupActivityLog.h"

AuxLookups::AuxLookups(AuxDisplayModel *aux, ChannelDatabase *db, std::function<void(const QString &)> report)
    : m_aux(aux)
    , m_db(db)
    , m_report(std::move(report))
{
}

void AuxLookups::failed(const QString &error)
{
    qCWarning(lcDatabase) << "lookup failed:" << error;
    if (m_reported)
        return;
    m_reported = true;
    if (m_report)
        m_report(QStringLiteral("Channel database problem: %1").arg(error));
}

void AuxLookups::worked()
{
    if (!m_reported)
        return;
    m_reported = false;
    if (m_report)
        m_report(QString());
}

void AuxLookups::lookupChannel(const QString &channelText, const QString &frequencyText)
{
    // What a lookup finds is only ever shown: with the window hidden there
    // is nothing to look up.
    if (!m_aux->isVisible())
        return;
    const QString freqLine = QStringLiteral("FREQ: ") + frequencyText;
    if (m_aux->line(1) == freqLine && !m_channelPending)
        return;
    m_aux->setLine(1, freqLine);
    m_channelPending = false;
    const int channel = LinkSettings::leadingNumber(channelText);
    if (ChannelDatabase::bankOfChannel(channel) == 0)
        return; // not a channel number: nothing to look up
    std::optional<ChannelDatabase::ChannelNotes> row;
    QString error;
    if (!m_db->lookupChannel(channel, &row, &error)) {
        if (m_db->lastFailureWasBusy())
            m_channelPending = true; // another program has the file: next time
        else
            failed(error);
        return;
    }
    worked();
    if (row) {
        m_aux->setLine(1, freqLine);
        m_aux->setLine(2, QStringLiteral("CHAN: %1").arg(channel));
        m_aux->setLine(3, row->companyName);
        m_aux->setLine(4, row->notes);
    }
}

void AuxLookups::lookupTalkgroup(const QString &currentTalkgroup, bool confirmed)
{
    const QString idLine = QStringLiteral("Talkgroup ID: ") + currentTalkgroup;
    if (m_aux->line(1) == idLine)
        return; // shown already
    std::optional<ChannelDatabase::Talkgroup> row;
    QString error;
    if (!m_db->lookupTalkgroup(currentTalkgroup, &row, &error)) {
        if (!m_db->lastFailureWasBusy())
            failed(error);
        return; // a busy file: the next reply tries again
    }
    worked();
    const bool visible = m_aux->isVisible();
    if (row) {
        if (visible) {
            m_aux->setLine(1, QStringLiteral("Talkgroup ID: ") + row->id);
            m_aux->setLine(2, row->city);
            m_aux->setLine(3, row->serviceDesc);
            m_aux->setLine(4, row->notes);
        }
        return;
    }
    if (currentTalkgroup.isEmpty() || !confirmed)
        return;
    // New, and being added to the table by the talkgroup log.
    if (visible)
        m_aux->setLine(1, idLine);
    m_aux->setLine(2, TalkgroupActivityLog::kUnknown);
    if (visible) {
        m_aux->setLine(3, TalkgroupActivityLog::kUnknown);
        m_aux->setLine(4, TalkgroupActivityLog::kAutoAdded);
    }
}
