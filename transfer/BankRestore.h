#pragma once

#include "transfer/BankTransfer.h"

#include <QMap>
#include <QVariant>

class CommandSequence;

// Types the stored frequencies of the ticked banks into the scanner: each
// channel is selected with "MA" and a number, then its frequency is keyed in.
class BankRestore : public BankTransfer
{
    Q_OBJECT
public:
    // The pause after the frequency's digits and after the closing E key.
    static constexpr int kKeyPauseMs = 100;

    using BankTransfer::BankTransfer;

protected:
    void begin() override;
    void received() override;
    void timedOut() override;

private:
    void startBank();
    void startChannel();
    void awaitAnswer();
    void channelDone();

    QMap<int, QVariant> m_frequencies;
    CommandSequence *m_typing = nullptr;
    bool m_answered = false;
    bool m_awaiting = false;
};
