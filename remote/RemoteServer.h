#pragma once

#include "remote/RemoteGate.h"

#include <QHostAddress>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWebSocketServer>

#include <functional>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcRemote)

class AuxDisplayModel;
class DisplayModel;
class Keypad;
class QSettings;
class QTcpServer;
class QTcpSocket;
class QWebSocket;
class RemoteHandOff;
class RemoteHttpServer;
class RemoteRecordings;
class RemoteState;
class ScannerSession;

// The web front panel: the page over HTTP and the live display over a
// WebSocket at /ws, both only with the token. Keys from the page go through
// the keypad, as the faceplate's buttons do, except while a transfer has the
// link. Nothing here waits for a browser: each gets the state as it changes,
// and one whose unsent backlog passes the limit is dropped.
class RemoteServer : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 8044;
    static constexpr int kMaxBacklogBytes = 256 * 1024;
    static constexpr int kHeadLimitBytes = 8192;
    static constexpr int kHeadMillis = 10000;
    // A plain HTTP connection is closed this long after it was opened: the
    // page's three files need far less, and idle ones must not pile up.
    static constexpr int kPlainMillis = 30000;
    static constexpr int kMaxClients = 32;
    // Connections of any kind open at once; more are closed as they come.
    static constexpr int kMaxConnections = 128;
    static constexpr int kMaxMessageBytes = 1024;
    // Keys a browser may send in a burst, then one per kKeyGapMillis.
    static constexpr int kKeyBurst = 20;
    static constexpr int kKeyGapMillis = 50;

    struct Wiring
    {
        DisplayModel *display = nullptr;
        AuxDisplayModel *aux = nullptr;
        ScannerSession *session = nullptr;
        Keypad *keypad = nullptr;
        QSettings *store = nullptr; // holds the token
        QString databasePath;       // the recent activity and the recordings
        // The recordings folder now; none (or empty), and none are played.
        std::function<QString()> recordingsFolder;
    };

    explicit RemoteServer(const Wiring &wiring, QObject *parent = nullptr);
    ~RemoteServer() override;

    // "PORT", "ADDRESS:PORT" or "[IPv6]:PORT"; the address defaults to
    // 127.0.0.1, and port 0 takes any free one.
    static bool parseEndpoint(const QString &text, QHostAddress *address, quint16 *port, QString *error);

    bool listen(const QHostAddress &address, quint16 port, QString *error);
    void close();
    bool isListening() const;
    QHostAddress address() const;
    quint16 port() const;

    QString token() const { return m_gate.token(); }
    // A new token: the browsers connected now are dropped.
    void renewToken();
    // The page's address with the token (for "any address", the machine's
    // first network address).
    QUrl pageUrl() const;

    int clientCount() const { return int(m_clients.size()); }
    // Open connections of any kind.
    int connectionCount() const { return m_connections; }
    void setMaxBacklog(int bytes) { m_maxBacklog = bytes; }
    // An alert that fired: the connected browsers show it in a banner.
    void showAlert(const QString &title, const QString &text);

    // A recording was finished and its row written: the activity row it
    // belongs to gets its play button.
    void recordingAdded(const QString &file);

signals:
    void clientCountChanged(int count);

private:
    struct Client
    {
        QWebSocket *socket;
        qint64 keyCredit = kKeyBurst;
        qint64 lastKeyMs = 0;
    };
    void accept();
    void inspect(QTcpSocket *socket);
    void upgrade(QTcpSocket *socket, const QByteArray &head);
    void webSocketReady();
    void message(QWebSocket *socket, const QString &text);
    void push();
    void send(Client &client, const QString &text);
    void drop(QWebSocket *socket, const char *why);
    Client *find(QWebSocket *socket);

    Wiring m_w;
    RemoteGate m_gate;
    std::unique_ptr<RemoteState> m_state;
    std::unique_ptr<RemoteRecordings> m_recordings;
    QPointer<QTcpServer> m_listener;
    RemoteHandOff *m_handOff = nullptr;     // owned by m_http
    std::unique_ptr<RemoteHttpServer> m_http;
    QWebSocketServer m_ws;
    QList<Client> m_clients;
    // Connections handed to the WebSocket server, until their WebSocket
    // takes them over (and deletes them with itself).
    QList<QPointer<QTcpSocket>> m_upgrading;
    int m_maxBacklog = kMaxBacklogBytes;
    int m_connections = 0;
};
