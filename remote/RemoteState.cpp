#include "remote/RemoteState.h"

#include "data/TalkgroupActivityLog.h"
#include "scanner/AuxDisplayModel.h"
#include "scanner/DisplayModel.h"
#include "scanner/ScannerSession.h"

#include <QDateTime>

#include <algorithm>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

namespace {

QJsonObject activityRow(const QString &heard, const QString &id, const QString &bank)
{
    return {{QStringLiteral("heard"), TalkgroupActivityLog::localText(heard)},
            {QStringLiteral("id"), id},
            {QStringLiteral("bank"), bank}};
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
    if (m_s.databasePath.isEmpty() || !QFileInfo::exists(m_s.databasePath))
        return;
    const QString name = QStringLiteral("orvendal-remote-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_s.databasePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=0"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.prepare(QStringLiteral("SELECT HEARD, ID, BANK FROM TALKGROUP_ACTIVITY ORDER BY HEARD DESC LIMIT ?"))) {
                q.addBindValue(kActivityRows);
                if (q.exec()) {
                    while (q.next())
                        m_activity.append(activityRow(q.value(0).toString(), q.value(1).toString(), q.value(2).toString()));
                }
            }
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    touch();
}

void RemoteState::addActivity(const QString &id, QChar bankLetter)
{
    m_activity.prepend(activityRow(TalkgroupActivityLog::heardText(QDateTime::currentDateTimeUtc()), id,
                                   bankLetter.isNull() ? QString() : QString(bankLetter)));
    while (m_activity.size() > kActivityRows)
        m_activity.removeLast();
    touch();
}
