#pragma once

#include "transfer/BankTransfer.h"
#include "data/ChannelRecord.h"

#include <QElapsedTimer>

// Copies the ticked banks from the scanner into their bank tables. A bank's
// table is replaced only once all its 50 channels have been read.
//
// One channel is asked for at a time unless overlapping is turned on: then
// the next channel is asked for while the scanner still answers for the one
// before, so the line is never idle waiting for a turn-around. Replies are
// matched to channels by the channel number they carry.
class BankBackup : public BankTransfer
{
    Q_OBJECT
public:
    // Channels asked for and not yet answered, at most, when overlapping.
    static constexpr int kOverlapInFlight = 2;
    // How long writing one bank waits for a database another program holds
    // locked, and how often it tries meanwhile.
    static constexpr int kDatabaseWaitMs = 10000;
    static constexpr int kWriteRetryMs = 50;

    using BankTransfer::BankTransfer;

    void setOverlap(bool on) { m_inFlight = on ? kOverlapInFlight : 1; }

    // Time spent writing the banks to the database so far.
    double databaseMillis() const { return m_databaseNs / 1e6; }
    void setDatabaseWaitMillis(int ms) { m_databaseWaitMs = ms; }

protected:
    void begin() override;
    void received() override;
    void timedOut() override;

private:
    int channelAt(int index) const { return (m_banks.at(index / 50) - 1) * 50 + index % 50 + 1; }
    void requestMore();
    void takeReplies();
    void channelRead(const ChannelRecord &record);
    // Stores the bank just read; while the database is locked it tries again
    // on a timer until the wait is over.
    void writeBank();
    void nextChannel();
    QString openText() const;

    QList<ChannelRecord> m_records;
    int m_requested = 0; // channels asked for, counted over all ticked banks
    int m_answered = 0;  // of which answered
    int m_inFlight = 1;
    qint64 m_databaseNs = 0;
    int m_databaseWaitMs = kDatabaseWaitMs;
    QElapsedTimer m_writeWait;
    bool m_writing = false; // a bank write is waiting for the lock
};
