#include "remote/RemoteGate.h"

#include "remote/RemoteToken.h"

#include <algorithm>

QString RemoteGate::key(const QHostAddress &address)
{
    // An IPv4 client on a dual-stack socket comes as ::ffff:a.b.c.d.
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : address.toString();
}

qint64 RemoteGate::now() const
{
    if (!m_clock.isValid())
        m_clock.start();
    return m_clock.elapsed();
}

int RemoteGate::holdMillis(const QHostAddress &address) const
{
    const auto it = m_records.constFind(key(address));
    if (it == m_records.cend())
        return 0;
    return int(std::max<qint64>(0, it->notBefore - now()));
}

bool RemoteGate::admit(const QHostAddress &address, const QString &given)
{
    const QString k = key(address);
    if (RemoteToken::matches(given, m_token)) {
        m_records.remove(k);
        return true;
    }
    if (!m_records.contains(k) && m_records.size() >= kMaxAddresses)
        forgetOldest();
    Record &r = m_records[k];
    const qint64 t = now();
    r.lastSeen = t;
    ++r.failures;
    if (r.failures > kFreeFailures) {
        const int steps = std::min(r.failures - kFreeFailures - 1, 16);
        const qint64 delay = std::min<qint64>(qint64(kFirstDelayMillis) << steps, kMaxDelayMillis);
        r.notBefore = std::max(r.notBefore, t) + delay;
        r.notBefore = std::min(r.notBefore, t + kMaxDelayMillis);
    }
    return false;
}

void RemoteGate::forgetOldest()
{
    auto oldest = m_records.begin();
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if (it->lastSeen < oldest->lastSeen)
            oldest = it;
    }
    if (oldest != m_records.end())
        m_records.erase(oldest);
}
