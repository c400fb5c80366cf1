#pragma once

#include "link/LinkSettings.h"
#include "link/ReplyBuffer.h"

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QStringList>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcTransfer)

class ChannelDatabase;
class CommPort;

// Which way a transfer copies the channel memory.
enum class TransferDirection { Backup, Restore };

// What backup and restore have in common: the ticked banks, the dialog's own
// serial port, a bounded wait for the scanner, progress, cancelling after the
// current channel, and an outcome that says what was done.
class BankTransfer : public QObject
{
    Q_OBJECT
public:
    // How long the scanner may take to answer for one channel.
    static constexpr int kReplyTimeoutMs = 3000;

    enum class Outcome { Completed, Cancelled, Failed };
    struct Result
    {
        Outcome outcome = Outcome::Failed;
        QString reason;           // what failed (Failed only)
        QList<int> banksDone;     // banks transferred whole
        int bankInProgress = 0;   // the bank under way when it stopped; 0 for none
        int lastChannel = 0;      // the last channel transferred
        int skipped = 0;          // restore: rows without a frequency it could type
        int otherRows = 0;        // backup: rows of the saved banks besides one per channel, kept as they were
        QStringList unverified;   // restore: "channel 53: why" for each channel refused or read back otherwise
    };

    // banks: 1..20, in order. The port is the dialog's own; it is opened with
    // the link settings if it is closed, and closed again at the end.
    BankTransfer(CommPort *port, ChannelDatabase *db, const LinkSettings &link, const QList<int> &banks,
                 QObject *parent = nullptr);

    void start();
    // Stops once the channel under way is finished.
    void cancel() { m_cancelRequested = true; }
    bool isRunning() const { return m_running; }

    int totalChannels() const { return int(m_banks.size()) * 50; }
    int channelsDone() const { return m_channelsDone; }
    const Result &result() const { return m_result; }

signals:
    void progress(int bank, int channel, int done, int total);
    void statusText(const QString &text);
    void finished(const BankTransfer::Result &result);

protected:
    virtual void begin() = 0;
    // Bytes arrived from the scanner.
    virtual void received() = 0;
    virtual void timedOut() = 0;
    // The transfer ended (any outcome): stop whatever is still scheduled.
    virtual void ended() {}

    void send(const QString &command);
    void startReplyTimer() { m_timeout.start(kReplyTimeoutMs); }
    void stopReplyTimer() { m_timeout.stop(); }
    int channelNumber() const { return (currentBank() - 1) * 50 + m_channelInBank; }
    int currentBank() const { return m_bankIndex < m_banks.size() ? m_banks.at(m_bankIndex) : 0; }
    void reportChannel();
    // True (after finishing as cancelled) when a cancel is waiting.
    bool stopIfCancelled();
    void finish(Outcome outcome, const QString &reason = {});

    CommPort *m_port;
    ChannelDatabase *m_db;
    LinkSettings m_link;
    QList<int> m_banks;
    qsizetype m_bankIndex = 0;
    int m_channelInBank = 1;
    int m_channelsDone = 0;
    int m_doneInBank = 0; // channels of the current bank done
    ReplyBuffer m_rx;
    Result m_result;

private:
    QTimer m_timeout;
    bool m_cancelRequested = false;
    bool m_running = false;
};
Q_DECLARE_METATYPE(BankTransfer::Result)
