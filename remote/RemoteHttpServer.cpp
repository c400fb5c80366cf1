#include "remote/RemoteHttpServer.h"

#include "remote/RemoteFileStream.h"
#include "remote/RemoteGate.h"
#include "remote/RemoteRecordings.h"
#include "remote/RemoteServer.h"

#include <QFile>
#include <QHash>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>
#include <memory>

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

const char kPolicy[] = "default-src 'self'; connect-src 'self'; frame-ancestors 'none'; base-uri 'none'";

const QHttpServerResponder::HeaderList &commonHeaders()
{
    static const QHttpServerResponder::HeaderList common = {
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
    };
    return common;
}

void answerText(QHttpServerResponder &responder, const QByteArray &text, QHttpServerResponder::StatusCode status,
                QHttpServerResponder::HeaderList extra = {})
{
    responder.writeStatusLine(status);
    responder.writeHeaders(commonHeaders());
    responder.writeHeaders(extra);
    responder.writeHeader("Content-Type", "text/plain; charset=utf-8");
    responder.writeHeader("Content-Length", QByteArray::number(text.size()));
    responder.writeBody(text);
}

bool allDigits(const QString &text)
{
    return !text.isEmpty() && text.size() <= 18
           && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

RemoteHttpServer::RemoteHttpServer(RemoteGate *gate, const RemoteRecordings *recordings, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_gate(gate)
    , m_recordings(recordings)
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
    if (!m_gate->admit(peer, given)) {
        responder.write(QByteArray("A valid token is needed.\n"), {{"Content-Type", "text/plain; charset=utf-8"}},
                        QHttpServerResponder::StatusCode::Unauthorized);
        return true;
    }
    if (request.method() != QHttpServerRequest::Method::Get) {
        responder.write(QHttpServerResponder::StatusCode::MethodNotAllowed);
        return true;
    }
    if (request.url().path(QUrl::FullyEncoded) == QLatin1String("/recording")) {
        serveRecording(request, socket);
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
    responder.writeHeaders(commonHeaders());
    responder.writeHeader("Content-Type", it->type);
    responder.writeHeader("Content-Security-Policy", kPolicy);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeBody(body);
    return true;
}

void RemoteHttpServer::serveRecording(const QHttpServerRequest &request, QTcpSocket *socket)
{
    using Status = QHttpServerResponder::StatusCode;
    auto responder = makeResponder(request, socket);
    const QString idText = request.query().queryItemValue(QStringLiteral("id"));
    auto found = allDigits(idText) && m_recordings ? m_recordings->open(idText.toLongLong())
                                                   : RemoteRecordings::Opened{};
    if (found.outcome == RemoteRecordings::Outcome::Outside)
        return answerText(responder, "That recording is not in the recordings folder.\n", Status::Forbidden);
    if (found.outcome != RemoteRecordings::Outcome::Found)
        return answerText(responder, "There is no such recording.\n", Status::NotFound);
    std::unique_ptr<QFile> file = std::move(found.file);
    if (m_streams >= kMaxStreams)
        return answerText(responder, "Too many recordings are being played; try again soon.\n",
                          Status::ServiceUnavailable, {{"Retry-After", "5"}});
    const qint64 size = file->size();
    const auto range = RemoteFileStream::byteRange(request.value("Range"), size);
    if (range.kind == RemoteFileStream::ByteRange::Unsatisfiable) {
        return answerText(responder, "That part of the recording does not exist.\n",
                          Status::RequestRangeNotSatisfiable, {{"Content-Range", "bytes */" + QByteArray::number(size)}});
    }
    const qint64 length = range.last - range.first + 1;
    QByteArray head = range.kind == RemoteFileStream::ByteRange::Part ? "HTTP/1.1 206 Partial Content\r\n"
                                                                       : "HTTP/1.1 200 OK\r\n";
    head += "Content-Type: " + found.type + "\r\nContent-Length: " + QByteArray::number(length)
            + "\r\nAccept-Ranges: bytes\r\n";
    if (range.kind == RemoteFileStream::ByteRange::Part) {
        head += "Content-Range: bytes " + QByteArray::number(range.first) + '-' + QByteArray::number(range.last) + '/'
                + QByteArray::number(size) + "\r\n";
    }
    for (const auto &[name, value] : commonHeaders())
        head += name + ": " + value + "\r\n";
    head += QByteArray("Content-Security-Policy: ") + kPolicy + "\r\nConnection: close\r\n\r\n";
    ++m_streams;
    auto *stream = new RemoteFileStream(socket, head, file.release(), range.first, length);
    connect(stream, &QObject::destroyed, this, [this] { --m_streams; });
}

void RemoteHttpServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}
