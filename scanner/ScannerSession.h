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

// The live session with the scanner: link settings and port, start-up
// sequence, polling, the hand-over of the link to a transfer and back, and
// shutdown. It holds the scanner's state; the keys change it through the
// methods below, the poll loop of the current run directly.
class ScannerSession : public QObject
{
    Q_OBJECT
public:
    // Waiting: no port is open (none set up, or it could not be opened or was
    // lost); one that is set up is tried again every few seconds.
    enum class Phase { Created, Loading, SelfTest, Resuming, Polling, Waiting, Suspended, Ended };
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
    void resume();
    // A fresh run of the poll loop, now (the end of start-up and of resume).
    void startPolling();
    // Stop polling; the port is left as it is.
    void suspend();
    // The window is closing: stop and close the port.
    void shutdown();

    // A transfer takes the link: polling stops, the port is closed, and the
    // channel on the display is returned for the hand back.
    QString lendLink();
    // The transfer is done: the channel saved when it took the link is typed
    // in again (in manual mode) and polling starts afresh.
    void returnLink(const QString &savedChannel);

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
    void saved(bool written);
    void stopPolling();
    void abortResume();

    SessionWiring m_w;
    ScannerState m_state;
    LinkSettings m_link;
    PromptFn m_prompt;
    MessageFn m_message;
    QTimer m_retry;
    QString m_lossReason; // set while the port is lost
    bool m_saveWarned = false;
    std::function<void()> m_placeWindows;
    SelfTest *m_selfTest;
    PollLoop *m_poll = nullptr;
    QPointer<CommandSequence> m_resume;
    int m_selfTestPause = 500;
    Phase m_phase = Phase::Created;
};
