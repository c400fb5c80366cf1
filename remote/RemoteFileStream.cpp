#include "remote/RemoteFileStream.h"

#include "remote/RemoteServer.h"

#include <QTcpSocket>

#include <algorithm>

namespace {

// A run of decimal digits as a number; false for anything else or too large.
bool number(const QByteArray &text, qint64 *value)
{
    if (text.isEmpty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    *value = text.toLongLong();
    return true;
}

} // namespace

RemoteFileStream::ByteRange RemoteFileStream::byteRange(const QByteArray &header, qint64 size)
{
    ByteRange whole{ByteRange::Whole, 0, size - 1};
    const QByteArray h = header.trimmed();
    const qsizetype eq = h.indexOf('=');
    if (h.isEmpty() || eq < 0 || h.left(eq).trimmed().toLower() != "bytes" || h.contains(','))
        return whole;
    const QByteArray wanted = h.mid(eq + 1).trimmed();
    const qsizetype dash = wanted.indexOf('-');
    const ByteRange none{ByteRange::Unsatisfiable, 0, -1};
    if (dash < 0)
        return none;
    const QByteArray from = wanted.left(dash).trimmed();
    const QByteArray to = wanted.mid(dash + 1).trimmed();
    qint64 first = 0;
    qint64 last = 0;
    if (from.isEmpty()) {
        // The last "to" bytes.
        if (!number(to, &last) || last == 0 || size == 0)
            return none;
        return {ByteRange::Part, std::max<qint64>(0, size - last), size - 1};
    }
    if (!number(from, &first) || first >= size)
        return none;
    if (to.isEmpty())
        last = size - 1;
    else if (!number(to, &last) || last < first)
        return none;
    return {ByteRange::Part, first, std::min(last, size - 1)};
}

RemoteFileStream::RemoteFileStream(QTcpSocket *socket, const QByteArray &head, QFile *file, qint64 first,
                                   qint64 length)
    : QObject(socket)
    , m_socket(socket)
    , m_file(file)
    , m_left(length)
{
    m_file->setParent(this);
    socket->setProperty(kStreamingProperty, true);
    // One answer per connection: what else comes is not read as a request.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    connect(socket, &QTcpSocket::readyRead, this, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::bytesWritten, this, &RemoteFileStream::pump);
    m_stall.setSingleShot(true);
    m_stall.setInterval(kStallMillis);
    connect(&m_stall, &QTimer::timeout, this, [this] {
        qCInfo(lcRemote) << "a recording's reader took nothing for" << m_stall.interval() << "ms; dropped";
        m_socket->abort();
    });
    socket->write(head);
    if (!m_file->seek(first)) {
        m_left = 0;
        socket->abort();
        return;
    }
    pump();
}

void RemoteFileStream::pump()
{
    if (!m_socket)
        return;
    m_stall.start(); // also while the last of it drains
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    while (m_left > 0 && m_socket->bytesToWrite() < kHighWaterBytes) {
        const QByteArray chunk = m_file->read(std::min(m_left, kChunkBytes));
        if (chunk.isEmpty()) {
            // Shorter than it was: the answer cannot be finished.
            qCInfo(lcRemote).noquote() << "a recording ended early:" << m_file->fileName();
            m_left = 0;
            m_socket->abort();
            return;
        }
        m_socket->write(chunk);
        m_left -= chunk.size();
    }
    if (m_left == 0)
        m_socket->disconnectFromHost(); // once the rest has gone
}
