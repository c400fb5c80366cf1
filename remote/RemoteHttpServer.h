#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHostAddress>

class RemoteGate;
class RemoteRecordings;
class QTcpSocket;

// The page's own files, and nothing else: a fixed map from path to resource,
// every request with the token. The page comes with the token written into
// the addresses of its style sheet and script. Recordings are served by
// their number only (/recording?id=N), in ranges when asked, and streamed.
class RemoteHttpServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    // Recordings sent at once at most; more are asked to come back later.
    static constexpr int kMaxStreams = 16;

    RemoteHttpServer(RemoteGate *gate, const RemoteRecordings *recordings, QObject *parent = nullptr);

    // A whole answer, for a socket the page server never saw.
    static QByteArray plainAnswer(int status, const QByteArray &reason);
    // Answers with the status after the address's hold, then closes.
    static void answerLater(QTcpSocket *socket, int holdMillis, int status, const QByteArray &reason);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    void serveRecording(const QHttpServerRequest &request, QTcpSocket *socket);

    RemoteGate *m_gate;
    const RemoteRecordings *m_recordings;
    int m_streams = 0;
};
