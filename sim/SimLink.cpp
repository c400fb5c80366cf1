#include "sim/SimLink.h"

#include <algorithm>

SimLink::SimLink(ScannerEngine *engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SimLink::runDue);
}

qint64 SimLink::wireNs(qsizetype bytes) const
{
    if (m_options.baud <= 0)
        return 0;
    // Ten bits a byte on the line: start, eight data bits, stop.
    return qint64(bytes) * 10 * 1000000000LL / m_options.baud;
}

void SimLink::receive(const QByteArray &bytes)
{
    m_bytesIn += bytes.size();
    const qint64 start = std::max(nowNs(), m_inputBusyUntil);
    m_inputBusyUntil = start + wireNs(bytes.size());
    schedule({m_inputBusyUntil, true, bytes});
}

void SimLink::schedule(Event event)
{
    auto pos = std::upper_bound(m_events.begin(), m_events.end(), event.atNs,
                                [](qint64 at, const Event &e) { return at < e.atNs; });
    m_events.insert(pos, std::move(event));
    if (m_events.front().atNs <= nowNs()) {
        m_timer.start(0);
    } else {
        const qint64 waitNs = m_events.front().atNs - nowNs();
        m_timer.start(int((waitNs + 999999) / 1000000));
    }
}

void SimLink::runDue()
{
    while (!m_events.empty() && m_events.front().atNs <= nowNs()) {
        Event event = std::move(m_events.front());
        m_events.pop_front();
        if (!event.input) {
            m_bytesOut += event.bytes.size();
            emit transmit(event.bytes);
            continue;
        }
        const qsizetype before = m_engine->commandLog().size();
        const QStringList replies = m_engine->receive(event.bytes);
        for (qsizetype i = before; i < m_engine->commandLog().size(); ++i)
            emit commandReceived(m_engine->commandLog().at(i));
        for (const QString &reply : replies) {
            const QByteArray bytes = reply.toLatin1() + '\r';
            const qint64 ready = std::max(event.atNs + qint64(m_options.latencyMs) * 1000000, m_outputBusyUntil);
            m_outputBusyUntil = ready + wireNs(bytes.size());
            if (m_options.splitReplies && bytes.size() > 1) {
                const qsizetype half = bytes.size() / 2;
                // The second half follows a little later, as a separate write.
                schedule({ready + wireNs(half), false, bytes.left(half)});
                schedule({std::max(m_outputBusyUntil, ready + wireNs(half) + 2000000), false, bytes.mid(half)});
                m_outputBusyUntil = std::max(m_outputBusyUntil, ready + wireNs(half) + 2000000);
            } else {
                schedule({m_outputBusyUntil, false, bytes});
            }
        }
    }
    if (!m_events.empty()) {
        const qint64 waitNs = std::max<qint64>(0, m_events.front().atNs - nowNs());
        m_timer.start(int((waitNs + 999999) / 1000000));
    }
}
