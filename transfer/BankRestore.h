#pragma once

#include "transfer/BankTransfer.h"

#include <QMap>
#include <QVariant>

class CommandSequence;

// Types the stored frequencies of the ticked banks into the scanner: each
// channel is selected with "MA" and a number, then its frequency is keyed in.
// Once a bank is typed, each channel typed is read back (selected on the keys
// and read with "MA", as a backup does) and compared with the table. A
// channel the scanner answered "NG" for, or that reads back otherwise, is
// listed in the result's unverified channels.
class BankRestore : public BankTransfer
{
    Q_OBJECT
public:
    // The pause after the frequency's digits and after the closing E key.
    static constexpr int kKeyPauseMs = 100;
    // What the scanner answers to a channel's selection, if anything, is
    // taken within this time; then the restore goes on without it. The
    // read-back decides what was stored.
    static constexpr int kSettleMs = 200;

    BankRestore(CommPort *port, ChannelDatabase *db, const LinkSettings &link, const QList<int> &banks,
                QObject *parent = nullptr);

protected:
    void begin() override;
    void received() override;
    void timedOut() override;
    void ended() override;

private:
    void startBank();
    void startChannel();
    void awaitAnswer();
    void settled();
    void channelDone();
    void verifyNext();
    void bankVerified();
    // Sends a command; its answer is the scanner's word on that channel
    // (0: on none; negative: the read-back of that channel).
    void sendFor(const QString &command, int channel);
    void queueFor(const QString &command, int channel);
    void handleLine(const QString &line);
    void readBack(int channel, const QString &line);
    void problem(int channel, const QString &what);

    QMap<int, QVariant> m_frequencies;
    CommandSequence *m_typing = nullptr;
    QTimer m_settle;
    bool m_answered = false;
    bool m_awaiting = false;
    QList<int> m_expected;               // per command awaiting its answer, the channel it was for
    QList<QPair<int, QString>> m_typed;  // this bank's typed channels, with what was typed
    qsizetype m_verifying = -1;          // the entry of m_typed being read back; -1 while typing
    QMap<int, QString> m_refused;        // channels of this bank the scanner answered "NG" for
    QMap<int, QString> m_problems;       // every channel that failed or differs, with why
};
