#include "remote/RemoteServer.h"

#include "remote/RemoteFileStream.h"
#include "remote/RemoteHandOff.h"
#include "remote/RemoteHttpServer.h"
#include "remote/RemoteRecordings.h"
#include "remote/RemoteState.h"
#include "remote/RemoteToken.h"
#include "scanner/Keypad.h"
#include "scanner/ScannerSession.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>

Q_LOGGING_CATEGORY(lcRemote, "orvendal.remote")

namespace {

const char *kPendingProperty = "orvendalRemotePending";

QByteArray headerValue(const QList<QByteArray> &lines, const QByteArray &name)
{
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

// "host:port" in lower case, with the scheme's port when none is given.
QString hostAndPort(const QString &host, int port)
{
    return host.toLower() + QLatin1Char(':') + QString::number(port);
}

// A browser's Origin must name the host and port it asked for. Tools that
// are not browsers send no Origin; they have the token like anyone else.
bool originAllowed(const QByteArray &origin, const QByteArray &host)
{
    if (origin.isEmpty())
        return true;
    const QUrl o(QString::fromLatin1(origin));
    const QUrl h(QStringLiteral("http://") + QString::fromLatin1(host));
    if (o.scheme() != QLatin1String("http") || !o.isValid() || !h.isValid() || o.host().isEmpty())
        return false;
    return hostAndPort(o.host(), o.port(80)) == hostAndPort(h.host(), h.port(80));
}

QString jsonText(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString notice(const char *type, const QString &text)
{
    return jsonText({{QStringLiteral("type"), QLatin1String(type)}, {QStringLiteral("message"), text}});
}

} // namespace

RemoteServer::RemoteServer(const Wiring &wiring, QObject *parent)
    : QObject(parent)
    , m_w(wiring)
    , m_state(std::make_unique<RemoteState>(
          RemoteState::Sources{wiring.display, wiring.aux, wiring.session, wiring.databasePath}))
    , m_recordings(std::make_unique<RemoteRecordings>(wiring.databasePath, wiring.recordingsFolder))
    , m_http(std::make_unique<RemoteHttpServer>(&m_gate, m_recordings.get()))
    , m_ws(QStringLiteral("Orvendal"), QWebSocketServer::NonSecureMode)
{
    m_gate.setToken(RemoteToken::current(*m_w.store));
    m_handOff = new RemoteHandOff(m_http.get());
    m_http->bind(m_handOff);
    connect(&m_ws, &QWebSocketServer::newConnection, this, &RemoteServer::webSocketReady);
    connect(m_state.get(), &RemoteState::changed, this, &RemoteServer::push);
}

RemoteServer::~RemoteServer()
{
    close();
    m_http.reset(); // with the connections it has, while this is whole
}

bool RemoteServer::parseEndpoint(const QString &text, QHostAddress *address, quint16 *port, QString *error)
{
    QString host = QStringLiteral("127.0.0.1");
    QString portText = text.trimmed();
    const qsizetype colon = portText.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        host = portText.left(colon);
        portText = portText.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
    }
    bool ok = false;
    const uint number = portText.toUInt(&ok);
    if (!ok || number > 65535) {
        *error = QStringLiteral("\"%1\" is no port: give a number from 1 to 65535 (0: any free port)").arg(portText);
        return false;
    }
    QHostAddress parsed;
    if (!parsed.setAddress(host)) {
        *error = QStringLiteral("\"%1\" is no IP address of this machine").arg(host);
        return false;
    }
    *address = parsed;
    *port = quint16(number);
    return true;
}

bool RemoteServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    close();
    m_listener = new QTcpServer(this);
    if (!m_listener->listen(address, port)) {
        *error = QStringLiteral("The web front panel cannot listen on %1 port %2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(m_listener->errorString());
        delete m_listener;
        return false;
    }
    connect(m_listener, &QTcpServer::newConnection, this, &RemoteServer::accept);
    m_state->loadActivity();
    qCInfo(lcRemote).noquote() << "web front panel on" << address.toString() << m_listener->serverPort();
    return true;
}

void RemoteServer::close()
{
    const auto clients = m_clients;
    for (const Client &c : clients)
        drop(c.socket, "the server is closing");
    delete m_listener;
}

bool RemoteServer::isListening() const
{
    return m_listener && m_listener->isListening();
}

QHostAddress RemoteServer::address() const
{
    return m_listener ? m_listener->serverAddress() : QHostAddress();
}

quint16 RemoteServer::port() const
{
    return m_listener ? m_listener->serverPort() : 0;
}

void RemoteServer::renewToken()
{
    m_gate.setToken(RemoteToken::renew(*m_w.store));
    const auto clients = m_clients;
    for (const Client &c : clients)
        drop(c.socket, "the token was renewed");
}

QUrl RemoteServer::pageUrl() const
{
    QHostAddress host = address();
    if (host == QHostAddress::Any || host == QHostAddress::AnyIPv4 || host == QHostAddress::AnyIPv6) {
        host = QHostAddress::LocalHost;
        for (const QHostAddress &a : QNetworkInterface::allAddresses()) {
            if (!a.isLoopback() && a.protocol() == QAbstractSocket::IPv4Protocol) {
                host = a;
                break;
            }
        }
    }
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host.toString());
    url.setPort(port());
    url.setPath(QStringLiteral("/"));
    url.setQuery(QStringLiteral("token=") + token());
    return url;
}

void RemoteServer::recordingAdded(const QString &file)
{
    if (const auto link = m_recordings->linkOf(file))
        m_state->attachRecording(link->recording, link->talkgroup, link->heard);
}

void RemoteServer::accept()
{
    while (QTcpSocket *socket = m_listener->nextPendingConnection()) {
        if (m_connections >= kMaxConnections) {
            qCInfo(lcRemote) << "too many connections; one from" << socket->peerAddress().toString() << "closed";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        connect(socket, &QObject::destroyed, this, [this] { --m_connections; });
        // Little kernel buffering, so that a stalled browser shows as a
        // backlog here soon.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 64 * 1024);
        socket->setProperty(kPendingProperty, true);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { inspect(socket); });
        QTimer::singleShot(kHeadMillis, socket, [socket] {
            if (socket->property(kPendingProperty).toBool())
                socket->abort();
        });
    }
}

// The first request's head decides: a WebSocket upgrade is checked here,
// anything else goes to the page server, which reads it afresh.
void RemoteServer::inspect(QTcpSocket *socket)
{
    const QByteArray data = socket->peek(kHeadLimitBytes + 1);
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end < 0) {
        if (data.size() > kHeadLimitBytes) {
            disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
            socket->setProperty(kPendingProperty, false);
            socket->write(RemoteHttpServer::plainAnswer(431, "Request Header Fields Too Large"));
            socket->disconnectFromHost();
        }
        return;
    }
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    socket->setProperty(kPendingProperty, false);
    const QByteArray head = data.left(end);
    const QByteArray upgradeTo = headerValue(head.split('\n'), "Upgrade");
    if (upgradeTo.compare("websocket", Qt::CaseInsensitive) == 0) {
        upgrade(socket, head);
        return;
    }
    socket->setParent(m_handOff); // the page server's now, as its own connections are
    QTimer::singleShot(kPlainMillis, socket, [socket] {
        if (!socket->property(RemoteFileStream::kStreamingProperty).toBool()) // that one minds itself
            socket->disconnectFromHost();
    });
    m_handOff->pass(socket);
    emit socket->readyRead();
}

void RemoteServer::upgrade(QTcpSocket *socket, const QByteArray &head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
    const QByteArray target = request.value(1);
    const qsizetype q = target.indexOf('?');
    const QByteArray path = q < 0 ? target : target.left(q);
    const QHostAddress peer = socket->peerAddress();
    if (const int hold = m_gate.holdMillis(peer); hold > 0)
        return RemoteHttpServer::answerLater(socket, hold, 429, "Too Many Requests");
    QString given = QUrlQuery(QString::fromLatin1(q < 0 ? QByteArray() : target.mid(q + 1))).queryItemValue(
        QStringLiteral("token"));
    if (given.isEmpty())
        given = QString::fromLatin1(headerValue(lines, "X-Orvendal-Token"));
    if (!m_gate.admit(peer, given))
        return RemoteHttpServer::answerLater(socket, 0, 401, "Unauthorized");
    if (request.value(0) != "GET" || path != "/ws")
        return RemoteHttpServer::answerLater(socket, 0, 404, "Not Found");
    if (!originAllowed(headerValue(lines, "Origin"), headerValue(lines, "Host"))) {
        qCInfo(lcRemote).noquote() << "WebSocket from a foreign page refused:" << headerValue(lines, "Origin");
        return RemoteHttpServer::answerLater(socket, 0, 403, "Forbidden");
    }
    if (m_clients.size() >= kMaxClients)
        return RemoteHttpServer::answerLater(socket, 0, 503, "Service Unavailable");
    // Deleted with its WebSocket, or here if the handshake fails.
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket->parent() == m_listener)
            socket->deleteLater();
    });
    m_upgrading.append(socket);
    m_ws.handleConnection(socket);
    emit socket->readyRead();
}

void RemoteServer::webSocketReady()
{
    while (QWebSocket *socket = m_ws.nextPendingConnection()) {
        socket->setParent(this);
        m_upgrading.removeAll(nullptr);
        for (qsizetype i = 0; i < m_upgrading.size(); ++i) {
            QTcpSocket *tcp = m_upgrading.at(i);
            if (tcp->peerPort() == socket->peerPort() && tcp->peerAddress() == socket->peerAddress()) {
                tcp->setParent(socket);
                m_upgrading.removeAt(i);
                break;
            }
        }
        socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(kMaxMessageBytes);
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &text) { message(socket, text); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { drop(socket, "it went away"); });
        m_clients.append({socket});
        send(m_clients.last(), QString::fromUtf8(m_state->snapshot()));
        emit clientCountChanged(clientCount());
    }
}

RemoteServer::Client *RemoteServer::find(QWebSocket *socket)
{
    for (Client &c : m_clients) {
        if (c.socket == socket)
            return &c;
    }
    return nullptr;
}

void RemoteServer::message(QWebSocket *socket, const QString &text)
{
    Client *client = find(socket);
    if (!client)
        return;
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString key = object.value(QStringLiteral("key")).toString();
    if (!Keypad::buttonNames().contains(key))
        return send(*client, notice("refused", QStringLiteral("There is no key \"%1\".").arg(key.left(20))));
    if (m_w.session->isLent())
        return send(*client, notice("refused", QStringLiteral("A transfer is using the scanner: keys wait until it is done.")));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    client->keyCredit = std::min<qint64>(kKeyBurst, client->keyCredit + (now - client->lastKeyMs) / kKeyGapMillis);
    client->lastKeyMs = now;
    if (client->keyCredit <= 0)
        return send(*client, notice("refused", QStringLiteral("Too many keys at once; that one was not sent.")));
    --client->keyCredit;
    m_w.keypad->press(key);
}

void RemoteServer::push()
{
    const QString state = QString::fromUtf8(m_state->snapshot());
    const auto clients = m_clients;
    for (const Client &c : clients) {
        if (Client *live = find(c.socket))
            send(*live, state);
    }
}

void RemoteServer::showAlert(const QString &title, const QString &text)
{
    const QString alert = jsonText({{QStringLiteral("type"), QStringLiteral("alert")},
                                    {QStringLiteral("title"), title},
                                    {QStringLiteral("message"), text}});
    const auto clients = m_clients;
    for (const Client &c : clients) {
        if (Client *live = find(c.socket))
            send(*live, alert);
    }
}

void RemoteServer::send(Client &client, const QString &text)
{
    if (client.socket->bytesToWrite() > m_maxBacklog)
        return drop(client.socket, "it does not keep up");
    client.socket->sendTextMessage(text);
}

void RemoteServer::drop(QWebSocket *socket, const char *why)
{
    for (qsizetype i = 0; i < m_clients.size(); ++i) {
        if (m_clients.at(i).socket != socket)
            continue;
        m_clients.removeAt(i);
        qCInfo(lcRemote).noquote() << "browser at" << socket->peerAddress().toString() << "dropped:" << why;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        emit clientCountChanged(clientCount());
        return;
    }
}
