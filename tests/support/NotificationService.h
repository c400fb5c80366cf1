#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <chrono>

// A desktop notification service of the test's own, on a connection of its
// own to the session bus, so that calls to it go through the bus daemon as
// they do to a real one. It keeps what it is sent; with answering off it
// leaves every call without an answer, as a hung service does.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Received
    {
        QString appName;
        QString summary;
        QString body;
        QVariantMap hints;
        std::chrono::steady_clock::time_point at;
    };

    explicit NotificationService(QObject *parent = nullptr);
    ~NotificationService() override;

    // Registers the service; false with *error when the bus refuses.
    bool start(QString *error);
    void stop();

    QList<Received> received;
    bool answering = true;
    // Answers the calls held while answering was off.
    void answerHeld();

public slots:
    QStringList GetCapabilities();
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout,
                const QDBusMessage &message);
    void CloseNotification(uint id);

signals:
    void notified();

private:
    QDBusConnection m_bus{QString()};
    uint m_next = 1;
    QList<QDBusMessage> m_held;
};
