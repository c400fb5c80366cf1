#pragma once

#include <QList>
#include <QObject>
#include <QString>

// Desktop notifications through the freedesktop notification service on the
// session bus. Every call is asynchronous: nothing here waits for the
// service. When no service answers, that is said once in the log (and by
// unavailable()) until one answers again.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *kService = "org.freedesktop.Notifications";
    static constexpr const char *kPath = "/org/freedesktop/Notifications";
    // How long the bus waits for the service's answer.
    static constexpr int kReplyMillis = 5000;
    // Notifications not yet answered; more are dropped (a hung service must
    // not make calls pile up).
    static constexpr int kMaxPending = 16;

    explicit DesktopNotifier(QObject *parent = nullptr);

    void notify(const QString &summary, const QString &body);
    // Sent and not yet answered, or waiting for the service's capabilities.
    int pending() const { return m_pending + int(m_waiting.size()); }

signals:
    void unavailable(const QString &why);

private:
    void askCapabilities();
    void send(const QString &summary, const QString &body);
    void failed(const QString &why);

    int m_pending = 0;
    bool m_reported = false;
    // The service is asked once what it can do; notifications wait for the
    // answer. With markup, the body's texts are escaped.
    enum class Capabilities { Unknown, Asked, Known } m_capabilities = Capabilities::Unknown;
    bool m_markup = false;
    QList<std::pair<QString, QString>> m_waiting;
};
