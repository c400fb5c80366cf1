#pragma once

#include "transfer/BankTransfer.h"
#include "transfer/ChannelRecord.h"

// Copies the ticked banks from the scanner into their bank tables. A bank's
// table is replaced only once all its 50 channels have been read.
class BankBackup : public BankTransfer
{
    Q_OBJECT
public:
    using BankTransfer::BankTransfer;

protected:
    void begin() override;
    void received() override;
    void timedOut() override;

private:
    void startBank();
    void requestChannel();
    void channelRead(const ChannelRecord &record);

    QList<ChannelRecord> m_records;
};
