#include "scanner/AuxLookups.h"

#include "scanner/AuxDisplayModel.h"
#include "link/LinkSettings.h"
#include "data/ChannelDatabase.h"

const QString AuxLookups::kUnknown = QStringLiteral("Unknown");
const QString AuxLookups::kAutoAdded = QStringLiteral("Auto-Added by Orvendal");

AuxLookups::AuxLookups(AuxDisplayModel *aux, ChannelDatabase *db, std::function<void(const QString &)> report)
    : m_aux(aux)
    , m_db(db)
    , m_report(std::move(report))
    , m_clock([] { return QDateTime::currentDateTime(); })
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
    if (m_aux->line(1) == freqLine)
        return;
    m_aux->setLine(1, freqLine);
    const int channel = LinkSettings::leadingNumber(channelText);
    if (ChannelDatabase::bankOfChannel(channel) == 0)
        return; // not a channel number: nothing to look up
    std::optional<ChannelDatabase::ChannelNotes> row;
    QString error;
    if (!m_db->lookupChannel(channel, &row, &error)) {
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

void AuxLookups::lookupTalkgroup(const QString &currentTalkgroup)
{
    const QString idLine = QStringLiteral("Talkgroup ID: ") + currentTalkgroup;
    if (m_aux->line(1) == idLine)
        return; // shown already
    std::optional<ChannelDatabase::Talkgroup> row;
    QString error;
    if (!m_db->lookupTalkgroup(currentTalkgroup, &row, &error)) {
        failed(error);
        return;
    }
    const bool visible = m_aux->isVisible();
    if (row) {
        worked();
        if (visible) {
            m_aux->setLine(1, QStringLiteral("Talkgroup ID: ") + row->id);
            m_aux->setLine(2, row->city);
            m_aux->setLine(3, row->serviceDesc);
            m_aux->setLine(4, row->notes);
        }
        return;
    }
    if (currentTalkgroup.isEmpty())
        return;
    const ChannelDatabase::Talkgroup added{currentTalkgroup, kUnknown, kUnknown, kAutoAdded};
    if (!m_db->addTalkgroup(added, m_clock(), &error)) {
        failed(error);
        return;
    }
    worked();
    if (visible)
        m_aux->setLine(1, idLine);
    m_aux->setLine(2, kUnknown);
    if (visible) {
        m_aux->setLine(3, kUnknown);
        m_aux->setLine(4, kAutoAdded);
    }
}
