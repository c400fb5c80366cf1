#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class CommPort;

// The serial monitor's record of the link: every command written and every
// reply line read on the ports it watches, with the time to the millisecond
// and its direction, in a ring of kCapacity lines. A port is only tapped
// while the tap records; otherwise it costs the port one pointer test per
// write and read. Whoever shows the lines looks at total() on its own rhythm.
class TrafficTap : public QObject
{
    Q_OBJECT
public:
    static constexpr int kCapacity = 10000;
    // Received bytes without a carriage return are recorded in pieces of
    // this size, so a device that never ends its lines is still shown.
    static constexpr int kMaxLineBytes = 4096;

    enum class Direction { Sent, Received };
    struct Line
    {
        QDateTime when;
        Direction direction;
        QString port;
        QByteArray bytes; // without the carriage return
        QString text() const;
    };

    explicit TrafficTap(QObject *parent = nullptr);
    ~TrafficTap() override;

    // A port to watch under a label ("Faceplate", "Transfer"); forgotten when
    // it is destroyed.
    void watch(CommPort *port, const QString &label);

    void setRecording(bool on);
    bool isRecording() const { return m_recording; }

    const QList<Line> &lines() const { return m_lines; }
    // Lines taken since construction (those pushed out of the ring included).
    qint64 total() const { return m_total; }
    void clear();

    // Called by a tapped port.
    void sent(const CommPort *port, const QByteArray &bytes);
    void received(const CommPort *port, const QByteArray &bytes);

    // For tests.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

private:
    void add(const CommPort *port, Direction direction, const QByteArray &bytes);
    void attachAll(bool on);

    QList<QPointer<CommPort>> m_ports;
    QHash<const CommPort *, QString> m_labels;
    QHash<const CommPort *, QByteArray> m_partial; // received, line not yet ended
    QList<Line> m_lines;
    qint64 m_total = 0;
    bool m_recording = false;
    std::function<QDateTime()> m_clock;
};
