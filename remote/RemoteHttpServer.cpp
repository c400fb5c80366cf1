#include "remote/RemoteHttpServer.h"

#include "remote/RemoteGate.h"

#include <QFile>
#include <QHash>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

// The page lives in a static library: its resources are registered by hand.
static void initPageResource()
{
    Q_INIT_RESOURCE(remote);
}

namespace {

struct Asset
{
    const char *resource;
    const char *type;
};

// Path as the browser asks for it -> the file in the resources.
const QHash<QString, Asset> &assets()
{
    static const QHash<QString, Asset> map = {
        {QStringLiteral("/"), {":/remote/index.html", "text/html; charset=utf-8"}},
        {QStringLiteral("/index.html"), {":/remote/index.html", "text/html; charset=utf-8"}},
        {QStringLiteral("/panel.css"), {":/remote/panel.css", "text/css; charset=utf-8"}},
        {QStringLiteral("/panel.js"), {":/remote/panel.js", "text/javascript; charset=utf-8"}},
    };
    return map;
}

} // namespace

RemoteHttpServer::RemoteHttpServer(RemoteGate *gate, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_gate(gate)
{
    initPageResource();
}

QByteArray RemoteHttpServer::plainAnswer(int status, const QByteArray &reason)
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason
        + "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " + QByteArray::number(reason.size() + 1)
        + "\r\nConnection: close\r\n\r\n" + reason + '\n';
}

void RemoteHttpServer::answerLater(QTcpSocket *socket, int holdMillis, int status, const QByteArray &reason)
{
    const QByteArray answer = plainAnswer(status, reason);
    QTimer::singleShot(holdMillis, socket, [socket, answer] {
        socket->write(answer);
        socket->disconnectFromHost();
    });
}

bool RemoteHttpServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const QHostAddress peer = socket->peerAddress();
    if (const int hold = m_gate->holdMillis(peer); hold > 0) {
        answerLater(socket, hold, 429, "Too Many Requests");
        return true;
    }
    QString given = request.query().queryItemValue(QStringLiteral("token"));
    if (given.isEmpty())
        given = QString::fromLatin1(request.value("X-Orvendal-Token"));
    auto responder = makeResponder(request, socket);
    const QHttpServerResponder::HeaderList common = {
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
    };
    if (!m_gate->admit(peer, given)) {
        responder.write(QByteArray("A valid token is needed.\n"), {{"Content-Type", "text/plain; charset=utf-8"}},
                        QHttpServerResponder::StatusCode::Unauthorized);
        return true;
    }
    if (request.method() != QHttpServerRequest::Method::Get) {
        responder.write(QHttpServerResponder::StatusCode::MethodNotAllowed);
        return true;
    }
    const auto it = assets().constFind(request.url().path(QUrl::FullyEncoded));
    if (it == assets().cend()) {
        responder.write(QByteArray("Not found.\n"), {{"Content-Type", "text/plain; charset=utf-8"}},
                        QHttpServerResponder::StatusCode::NotFound);
        return true;
    }
    QFile file(QLatin1String(it->resource));
    if (!file.open(QIODevice::ReadOnly)) {
        responder.write(QHttpServerResponder::StatusCode::InternalServerError);
        return true;
    }
    QByteArray body = file.readAll();
    // The token is 32 hexadecimal digits: nothing in it needs escaping.
    body.replace("@TOKEN@", m_gate->token().toLatin1());
    responder.writeStatusLine(QHttpServerResponder::StatusCode::Ok);
    responder.writeHeaders(common);
    responder.writeHeader("Content-Type", it->type);
    responder.writeHeader("Content-Security-Policy",
                          "default-src 'self'; connect-src 'self'; frame-ancestors 'none'; base-uri 'none'");
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeBody(body);
    return true;
}

void RemoteHttpServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}
