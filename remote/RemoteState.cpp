#include "remote/RemoteState.h"

#include "data/TalkgroupActivityLog.h"
#include "remote/RemoteRecordings.h"
#include "scanner/AuxDisplayModel.h"
#include "scanner/DisplayModel.h"
#include "scanner/ScannerSession.h"

#include <QDateTime>

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>
#include <cstdlib>

namespace {

QJsonObject activityRow(const QString &heard, const QString &id, const QString &bank, qint64 recording = 0)
{
    QJsonObject row{{QStringLiteral("heard"), TalkgroupActivityLog::localText(heard)},
                    {QStringLiteral("id"), id},
                    {QStringLiteral("bank"), bank}};
    if (recording > 0)
        row.insert(QStringLiteral("recording"), recording);
    return row;
}

QDateTime heardTime(const QString &heard)
{
    return QDateTime::fromString(heard, Qt::ISODateWithMs);
}

} // namespace

RemoteState::RemoteState(const Sources &sources, QObject *parent)
    : QObject(parent)
    , m_s(sources)
{
    m_coalesce.setSingleShot(true);
    connect(&m_coalesce, &QTimer::timeout, this, &RemoteState::announce);
    connect(m_s.display, &DisplayModel::textChanged, this, &RemoteState::touch);
    connect(m_s.display, &DisplayModel::statusLineChanged, this, &RemoteState::touch);
    connect(m_s.aux, &AuxDisplayModel::lineChanged, this, &RemoteState::touch);
    connect(m_s.session, &ScannerSession::phaseChanged, this, &RemoteState::touch);
    connect(m_s.session, &ScannerSession::talkgroupShown, this, &RemoteState::addActivity);
}

void RemoteState::touch()
{
    if (m_coalesce.isActive())
        return;
    const qint64 since = m_sinceLast.isValid() ? m_sinceLast.elapsed() : kCoalesceMillis;
    m_coalesce.start(int(std::max<qint64>(0, kCoalesceMillis - since)));
}

void RemoteState::announce()
{
    m_sinceLast.start();
    emit changed();
}

QString RemoteState::linkOwner() const
{
    if (m_s.session->isLent())
        return QStringLiteral("transfer");
    if (m_s.session->isPortOpen())
        return QStringLiteral("faceplate");
    return QStringLiteral("none");
}

QByteArray RemoteState::snapshot() const
{
    QJsonObject fields;
    for (int f = 0; f < DisplayModel::FieldCount; ++f) {
        const auto field = DisplayModel::Field(f);
        fields.insert(DisplayModel::objectNameOf(field).mid(2), m_s.display->text(field));
    }
    QJsonArray aux;
    for (int line = 1; line <= AuxDisplayModel::kLines; ++line)
        aux.append(m_s.aux->line(line));
    const QJsonObject state{
        {QStringLiteral("type"), QStringLiteral("state")},
        {QStringLiteral("fields"), fields},
        {QStringLiteral("status"), m_s.display->statusLine()},
        {QStringLiteral("aux"), aux},
        {QStringLiteral("link"), linkOwner()},
        {QStringLiteral("activity"), m_activity},
    };
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

void RemoteState::loadActivity()
{
    m_activity = {};
    m_heard.clear();
    RemoteRecordings::withDatabase(m_s.databasePath, [this](QSqlDatabase &db) {
        // A file from before recordings has no RECORDINGS table: then without.
        const QString withRecordings = QStringLiteral(
            "SELECT a.HEARD, a.ID, a.BANK, (SELECT max(r.rowid) FROM RECORDINGS r WHERE r.ACTIVITY = a.rowid) "
            "FROM TALKGROUP_ACTIVITY a ORDER BY a.HEARD DESC LIMIT ?");
        const QString plain = QStringLiteral("SELECT HEARD, ID, BANK, NULL FROM TALKGROUP_ACTIVITY ORDER BY HEARD DESC LIMIT ?");
        QSqlQuery q(db);
        if (!q.prepare(withRecordings) && !q.prepare(plain))
            return;
        q.addBindValue(kActivityRows);
        if (!q.exec())
            return;
        while (q.next()) {
            const QString heard = q.value(0).toString();
            m_activity.append(activityRow(heard, q.value(1).toString(), q.value(2).toString(), q.value(3).toLongLong()));
            m_heard.append(heardTime(heard));
        }
    });
    touch();
}

void RemoteState::addActivity(const QString &id, QChar bankLetter)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_activity.prepend(activityRow(TalkgroupActivityLog::heardText(now), id,
                                   bankLetter.isNull() ? QString() : QString(bankLetter)));
    m_heard.prepend(now);
    while (m_activity.size() > kActivityRows) {
        m_activity.removeLast();
        m_heard.removeLast();
    }
    touch();
}

void RemoteState::attachRecording(qint64 recording, const QString &id, const QString &heard)
{
    const QDateTime at = heardTime(heard);
    qsizetype best = -1;
    qint64 bestGap = kMatchMillis + 1;
    for (qsizetype i = 0; at.isValid() && i < m_activity.size(); ++i) {
        const qint64 gap = m_heard.at(i).isValid() ? std::abs(m_heard.at(i).msecsTo(at)) : bestGap;
        if (gap < bestGap && m_activity.at(i).toObject().value(QStringLiteral("id")).toString() == id) {
            best = i;
            bestGap = gap;
        }
    }
    if (best < 0)
        return;
    QJsonObject row = m_activity.at(best).toObject();
    row.insert(QStringLiteral("recording"), recording);
    m_activity.replace(best, row);
    touch();
}
