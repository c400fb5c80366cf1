#include "NotificationService.h"

#include <QDBusConnectionInterface>

#include <utility>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kConnection = QStringLiteral("test-notification-service");
} // namespace

NotificationService::NotificationService(QObject *parent)
    : QObject(parent)
{
}

NotificationService::~NotificationService()
{
    stop();
}

bool NotificationService::start(QString *error)
{
    m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection);
    if (!m_bus.isConnected()) {
        *error = QStringLiteral("no session bus: %1").arg(m_bus.lastError().message());
        return false;
    }
    if (!m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots)) {
        *error = QStringLiteral("the object cannot be registered");
        return false;
    }
    if (!m_bus.registerService(kService)) {
        *error = QStringLiteral("the name cannot be had: %1").arg(m_bus.lastError().message());
        return false;
    }
    return true;
}

void NotificationService::stop()
{
    if (!m_bus.isConnected())
        return;
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(kConnection);
    m_bus = QDBusConnection(QString());
}

QStringList NotificationService::GetCapabilities()
{
    return {QStringLiteral("body")};
}

uint NotificationService::Notify(const QString &appName, uint, const QString &, const QString &summary,
                                 const QString &body, const QStringList &, const QVariantMap &hints, int,
                                 const QDBusMessage &message)
{
    received.append({appName, summary, body, hints, std::chrono::steady_clock::now()});
    if (!answering) {
        message.setDelayedReply(true); // answered by answerHeld(), if ever
        m_held.append(message);
    }
    emit notified();
    return m_next++;
}

void NotificationService::answerHeld()
{
    for (const QDBusMessage &m : std::exchange(m_held, {}))
        m_bus.send(m.createReply(QVariant::fromValue(m_next++)));
}

void NotificationService::CloseNotification(uint)
{
}
