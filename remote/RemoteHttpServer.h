#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHostAddress>

class RemoteGate;
class QTcpSocket;

// The page's own files, and nothing else: a fixed map from path to resource,
// every request with the token. The page comes with the token written into
// the addresses of its style sheet and script.
class RemoteHttpServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    explicit RemoteHttpServer(RemoteGate *gate, QObject *parent = nullptr);

    // A whole answer, for a socket the page server never saw.
    static QByteArray plainAnswer(int status, const QByteArray &reason);
    // Answers with the status after the address's hold, then closes.
    static void answerLater(QTcpSocket *socket, int holdMillis, int status, const QByteArray &reason);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    RemoteGate *m_gate;
};
