#include "link/TrafficTap.h"

#include "link/CommPort.h"


QString TrafficTap::Line::text() const
{
    QString printable;
    printable.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = uchar(c);
        if (u >= 0x20 && u < 0x7f)
            printable += QLatin1Char(c);
        else
            printable += QStringLiteral("<%1>").arg(u, 2, 16, QLatin1Char('0'));
    }
    return QStringLiteral("%1 %2 %3 %4")
        .arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), port,
             direction == Direction::Sent ? QStringLiteral("->") : QStringLiteral("<-"), printable);
}

TrafficTap::TrafficTap(QObject *parent)
    : QObject(parent)
    , m_clock([] { return QDateTime::currentDateTime(); })
{
}

TrafficTap::~TrafficTap()
{
    attachAll(false);
}

void TrafficTap::watch(CommPort *port, const QString &label)
{
    m_ports.removeIf([](const QPointer<CommPort> &p) { return p.isNull(); });
    m_ports.append(port);
    m_labels.insert(port, label);
    connect(port, &QObject::destroyed, this, [this, port] {
        m_labels.remove(port);
        m_partial.remove(port);
    });
    if (m_recording)
        port->setTap(this);
}

void TrafficTap::setRecording(bool on)
{
    if (m_recording == on)
        return;
    m_recording = on;
    attachAll(on);
    if (!on)
        m_partial.clear();
}

void TrafficTap::attachAll(bool on)
{
    for (const QPointer<CommPort> &port : std::as_const(m_ports)) {
        if (port)
            port->setTap(on ? this : nullptr);
    }
}

void TrafficTap::clear()
{
    m_lines.clear();
}

void TrafficTap::sent(const CommPort *port, const QByteArray &bytes)
{
    QByteArray line = bytes;
    if (line.endsWith('\r'))
        line.chop(1);
    add(port, Direction::Sent, line);
}

void TrafficTap::received(const CommPort *port, const QByteArray &bytes)
{
    // Replies come in pieces; a line is taken when its carriage return is
    // there, or in pieces of kMaxLineBytes when none comes. A flood is looked
    // at twice, once to count its lines and once to take only the newest
    // kCapacity of them: the older ones would leave the ring at once.
    QByteArray &partial = m_partial[port];
    const auto walk = [&bytes, &partial](auto &&take) {
        qsizetype open = partial.size();
        qsizetype from = 0;
        while (from < bytes.size()) {
            const qsizetype room = kMaxLineBytes - open;
            const qsizetype cr = bytes.indexOf('\r', from);
            if (cr >= 0 && cr - from <= room) {
                take(from, cr - from, open > 0);
                from = cr + 1;
            } else if (bytes.size() - from > room) {
                take(from, room, open > 0);
                from += room;
            } else {
                break;
            }
            open = 0;
        }
        return from;
    };
    qsizetype lines = 0;
    walk([&lines](qsizetype, qsizetype, bool) { ++lines; });
    qsizetype skip = qMax<qsizetype>(0, lines - kCapacity);
    m_total += skip;
    const qsizetype rest = walk([&](qsizetype at, qsizetype size, bool joined) {
        if (skip > 0) {
            --skip;
        } else {
            add(port, Direction::Received, joined ? partial + bytes.mid(at, size) : bytes.mid(at, size));
        }
    });
    if (lines > 0)
        partial = bytes.mid(rest);
    else
        partial += bytes;
}

void TrafficTap::add(const CommPort *port, Direction direction, const QByteArray &bytes)
{
    if (m_lines.size() >= kCapacity)
        m_lines.removeFirst();
    m_lines.append({m_clock(), direction, m_labels.value(port), bytes});
    ++m_total;
}
