#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QString>

// Who may come in: the token, and how long an address that keeps giving a
// wrong one waits for its next answer. The first kFreeFailures failures are
// answered at once; each further one doubles the wait, up to kMaxDelayMillis.
// A right token clears the address's record. Every request from an address
// that must wait is held (by the caller's timer) until holdMillis() is over.
class RemoteGate
{
public:
    static constexpr int kFreeFailures = 3;
    static constexpr int kFirstDelayMillis = 250;
    static constexpr int kMaxDelayMillis = 30000;
    // Addresses remembered at most; the longest quiet goes first.
    static constexpr int kMaxAddresses = 1024;

    void setToken(const QString &token) { m_token = token; }
    QString token() const { return m_token; }

    // How long a request from this address must wait before it is looked at.
    int holdMillis(const QHostAddress &address) const;
    // Checks a token an address gave, and remembers the outcome.
    bool admit(const QHostAddress &address, const QString &given);
    int failures(const QHostAddress &address) const { return m_records.value(key(address)).failures; }

private:
    struct Record
    {
        int failures = 0;
        qint64 notBefore = 0; // on m_clock, in milliseconds
        qint64 lastSeen = 0;
    };
    static QString key(const QHostAddress &address);
    qint64 now() const;
    void forgetOldest();

    QString m_token;
    QHash<QString, Record> m_records;
    mutable QElapsedTimer m_clock;
};
