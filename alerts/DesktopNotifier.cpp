#include "alerts/DesktopNotifier.h"

#include "alerts/AlertRule.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

DesktopNotifier::DesktopNotifier(QObject *parent)
    : QObject(parent)
{
}

void DesktopNotifier::failed(const QString &why)
{
    if (m_reported)
        return;
    m_reported = true;
    const QString text = QStringLiteral("No desktop notification service answers (%1); alerts show without "
                                        "notifications until one does.").arg(why);
    qCWarning(lcAlerts).noquote() << text;
    emit unavailable(text);
}

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        failed(QStringLiteral("there is no session bus"));
        return;
    }
    if (pending() >= kMaxPending) {
        qCWarning(lcAlerts) << "the notification service has not answered" << pending()
                            << "notifications; this one is dropped";
        return;
    }
    if (m_capabilities == Capabilities::Known)
        return send(summary, body);
    m_waiting.append({summary, body});
    if (m_capabilities == Capabilities::Unknown)
        askCapabilities();
}

void DesktopNotifier::askCapabilities()
{
    m_capabilities = Capabilities::Asked;
    const QDBusMessage ask = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                            QLatin1String(kService), QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(ask, kReplyMillis), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        const auto waiting = std::exchange(m_waiting, {});
        if (reply.isError()) {
            // Asked again with the next notification: a service may start later.
            m_capabilities = Capabilities::Unknown;
            failed(reply.error().message().isEmpty() ? reply.error().name() : reply.error().message());
            return;
        }
        m_capabilities = Capabilities::Known;
        m_markup = reply.value().contains(QStringLiteral("body-markup"));
        for (const auto &[summary, body] : waiting)
            send(summary, body);
    });
}

void DesktopNotifier::send(const QString &summary, const QString &body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                       QLatin1String(kService), QStringLiteral("Notify"));
    const QVariantMap hints = {{QStringLiteral("desktop-entry"), QStringLiteral("org.orvendal.Orvendal")}};
    call << QStringLiteral("Orvendal") << uint(0) << QStringLiteral("org.orvendal.Orvendal") << summary
         << (m_markup ? body.toHtmlEscaped() : body) << QStringList() << hints << int(-1);
    ++m_pending;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, kReplyMillis), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        --m_pending;
        if (w->isError()) {
            // The service went away: what it can do is asked again.
            m_capabilities = Capabilities::Unknown;
            failed(w->error().message().isEmpty() ? w->error().name() : w->error().message());
            return;
        }
        if (m_reported)
            qCInfo(lcAlerts) << "the desktop notification service answers again";
        m_reported = false;
    });
}
