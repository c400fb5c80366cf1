#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QTcpSocket;

// Sends a stretch of a file down a socket a chunk at a time, topping the
// socket's buffer up as it drains, so that a large file neither sits in
// memory nor holds the event loop. The connection is closed when all is sent,
// and dropped when the other side takes nothing for kStallMillis. Lives as a
// child of the socket; anything more the other side sends is thrown away.
class RemoteFileStream : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kChunkBytes = 64 * 1024;
    static constexpr qint64 kHighWaterBytes = 256 * 1024;
    static constexpr int kStallMillis = 30000;
    // Set on a socket that streams: it is not closed for being old.
    static constexpr const char *kStreamingProperty = "orvendalRemoteStreaming";

    // What a Range header asks of a file of size bytes. Only one range of
    // bytes is served; a header of another unit or with several ranges is
    // ignored (the whole file), as HTTP allows.
    struct ByteRange
    {
        enum Kind { Whole, Part, Unsatisfiable } kind = Whole;
        qint64 first = 0;
        qint64 last = -1; // inclusive
    };
    static ByteRange byteRange(const QByteArray &header, qint64 size);

    // The head is written at once; the file (open, positioned anywhere)
    // follows from first, length bytes.
    RemoteFileStream(QTcpSocket *socket, const QByteArray &head, QFile *file, qint64 first, qint64 length);

    void setStallMillis(int millis) { m_stall.setInterval(millis); }

private:
    void pump();

    QPointer<QTcpSocket> m_socket;
    QFile *m_file; // owned (a child)
    qint64 m_left;
    QTimer m_stall;
};
