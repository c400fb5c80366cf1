#pragma once

#include "link/LinkSettings.h"
#include "link/Prompts.h"
#include "scanner/ScannerState.h"
#include "scanner/SessionWiring.h"

#include <QLoggingCategory>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcSession)

class CommandSequence;
class PollLoop;
class SelfTest;

// The link lent to a transfer. Only the loan that is out gives the link back.
struct LinkLoan
{
    quint64 id = 0;
    QString savedChannel; // the channel on the display when the link was lent
};

// The live session with the scanner: link settings and port, start-up
// sequence, polling, the hand-over of the link to a transfer and back, and
// shutdown. It holds the scanner's state; the keys change it through the
// methods below, the poll loop of the current run directly.
class ScannerSession : public QObject
{
    Q_OBJECT
public:
    // The port has one owner at a time: the session in every phase but Lent
    // (a transfer has it) and Ended. Waiting: no port is open (none set up, or
    // it could not be opened or was lost); one that is set up is tried again
    // every few seconds. Connecting: the port is open but its connection (a
    // device over the network) does not stand yet; polling or the resume
    // goes on once it does.
    enum class Phase { Created, Loading, SelfTest, Connecting, Resuming, Polling, Waiting, Suspended, Lent, Ended };
    Q_ENUM(Phase)

    explicit ScannerSession(const SessionWiring &wiring, QObject *parent = nullptr);
    ~ScannerSession() override;

    const ScannerState &state() const { return m_state; }
    const LinkSettings &link() const { return m_link; }
    Phase phase() const { return m_phase; }
    bool isPortOpen() const;
    // The poll loop of the current run; null while not polling.
    PollLoop *pollLoop() const { return m_poll; }

    // How long a lost or missing device waits before it is tried again.
    static constexpr int kRetryMillis = 2000;
    // Shown while a serial scanner has not answered for a while.
    static QString noReplyMessage() { return QStringLiteral("NO REPLY FROM SCANNER - retrying"); }

    void setPrompt(PromptFn prompt) { m_prompt = std::move(prompt); }
    // Warnings the status line cannot carry (settings that cannot be saved).
    void setMessage(MessageFn message) { m_message = std::move(message); }
    // Called at the point of the start-up where the windows are placed and shown.
    void setPlaceWindows(std::function<void()> place) { m_placeWindows = std::move(place); }
    // The self-test's pause length; start-up uses 500 ms.
    void setSelfTestPause(int millis) { m_selfTestPause = millis; }

    // Start-up: settings (asking as needed), port, placement, self-test, then polling.
    void load();
    // The one resume entry: apply the settings, reopen the port if it is
    // closed, put the scanner back in scan or manual mode, then poll afresh.
    // Does nothing while the link is lent or after shutdown.
    void resume();
    // The same, re-entering the given channel in manual mode (the focus
    // handler after a suspend).
    void resumeWithChannel(const QString &savedChannel);
    // A fresh run of the poll loop, now (the end of start-up and of resume).
    void startPolling();
    // Stop polling; the port is left as it is.
    void suspend();
    // The window is closing: stop and close the port. Safe in every phase.
    void shutdown();

    // A transfer takes the link: the self-test, polling, a resume and the
    // retries stop, the port is closed, and nothing of the session opens it
    // or writes to it until the loan comes back. The loan carries the channel
    // on the display for the hand back. Lending again while lent gives a
    // loan that is not valid (id 0).
    LinkLoan lendLink();
    // The transfer is done: the channel saved when it took the link is typed
    // in again (in manual mode) and polling starts afresh. False, and nothing
    // done, for any loan but the one that is out.
    bool returnLink(const LinkLoan &loan);
    bool isLent() const { return m_phase == Phase::Lent; }

    // Port Setup menu.
    void askComPort();
    void askComSpeed();
    // Serial Device: the device behind the current port number, used at once.
    void useDevice(const QString &device);

    // What the keys change.
    void setShift(bool on);
    void setMute(MuteSetting setting);
    // A command for the poll loop to send at the end of its turn.
    void leaveQuery(const QString &command);
    // Keypad minus in manual mode: one channel down, from 1 round to 1000.
    int stepManualChannelDown();

signals:
    void phaseChanged(ScannerSession::Phase phase);
    // Polling started now, with fresh state; and stopped.
    void pollingStarted();
    void pollingStopped();
    // The poll loop started showing another talkgroup.
    void talkgroupShown(const QString &id, QChar bankLetter);

private:
    void setPhase(Phase phase);
    void applyPortSettings();
    bool openPort(bool again);
    void portLost(const QString &reason);
    // No port open: say why, and try again later when one is set up.
    void waitForPort(const QString &reason);
    void showWaiting(const QString &reason);
    void saved(bool written);
    void stopPolling();
    void abortResume();
    // Resume's second half, on a port whose connection stands.
    void continueResume();
    void connectionStands();
    // The poll loop heard nothing for a while, and then something again.
    void linkQuiet();
    void linkAnswering();
    // The loss of the device is logged once until it works again.
    void logOutage(const QString &reason);

    SessionWiring m_w;
    ScannerState m_state;
    LinkSettings m_link;
    PromptFn m_prompt;
    MessageFn m_message;
    QTimer m_retry;
    QString m_lossReason; // set while the port is lost
    bool m_outageLogged = false;
    bool m_reopening = false; // the port being connected was opened again
    void (ScannerSession::*m_afterConnect)() = nullptr;
    quint64 m_loanId = 0; // the loan out while Lent
    quint64 m_loans = 0;
    bool m_saveWarned = false;
    std::function<void()> m_placeWindows;
    SelfTest *m_selfTest;
    PollLoop *m_poll = nullptr;
    QPointer<CommandSequence> m_resume;
    int m_selfTestPause = 500;
    Phase m_phase = Phase::Created;
};
