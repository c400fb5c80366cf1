#pragma once

#include "sim/ScannerEngine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>

// The timing of the simulated serial line around a ScannerEngine: bytes take
// their wire time at the configured baud rate in both directions, replies
// follow after a latency, and may arrive split over two writes.
class SimLink : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        int baud = 0;          // 0: no pacing
        int latencyMs = 0;     // from a command's arrival to its reply
        bool splitReplies = false;
    };

    explicit SimLink(ScannerEngine *engine, QObject *parent = nullptr);

    void setOptions(const Options &options) { m_options = options; }
    const Options &options() const { return m_options; }
    ScannerEngine *engine() const { return m_engine; }

    // Bytes from the program.
    void receive(const QByteArray &bytes);

    qint64 bytesReceived() const { return m_bytesIn; }
    qint64 bytesSent() const { return m_bytesOut; }

signals:
    // Bytes to the program.
    void transmit(const QByteArray &bytes);
    // One command was taken in (after its wire time).
    void commandReceived(const QString &command);

private:
    struct Event
    {
        qint64 atNs;
        bool input;
        QByteArray bytes;
    };
    qint64 nowNs() const { return m_clock.nsecsElapsed(); }
    qint64 wireNs(qsizetype bytes) const;
    void schedule(Event event);
    void runDue();

    ScannerEngine *m_engine;
    Options m_options;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::deque<Event> m_events; // kept in time order
    qint64 m_inputBusyUntil = 0;
    qint64 m_outputBusyUntil = 0;
    qint64 m_bytesIn = 0;
    qint64 m_bytesOut = 0;
};
