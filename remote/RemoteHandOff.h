#pragma once

#include <QList>
#include <QMetaObject>
#include <QTcpServer>
#include <QTcpSocket>

// Connections the web front panel's listener has looked at and found to be
// plain HTTP, handed to the page server as if it had accepted them itself.
// It never listens. (The page server waits for either signal of a new
// connection, depending on the Qt version; both are raised.)
class RemoteHandOff : public QTcpServer
{
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

    void pass(QTcpSocket *socket)
    {
        m_queue.append(socket);
        QMetaObject::invokeMethod(this, "pendingConnectionAvailable", Qt::DirectConnection);
        if (!m_queue.isEmpty())
            emit newConnection();
    }
    bool hasPendingConnections() const override { return !m_queue.isEmpty(); }
    QTcpSocket *nextPendingConnection() override { return m_queue.isEmpty() ? nullptr : m_queue.takeFirst(); }

private:
    QList<QTcpSocket *> m_queue;
};
