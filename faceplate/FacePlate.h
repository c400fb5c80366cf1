#pragma once

#include "faceplate/AuxDisplayModel.h"
#include "faceplate/DisplayModel.h"
#include "link/LinkSettings.h"
#include "link/Prompter.h"
#include "link/ReplyBuffer.h"

#include <QLoggingCategory>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcFacePlate)

class AuxLookups;
class ChannelDatabase;
class CommPort;
class CommandSequence;
class Keyboard;
class Keypad;
class PollLoop;
class QSettings;
class SelfTest;

// The faceplate's behaviour, apart from its widgets: link settings and port,
// start-up sequence, hand-over of the port (suspend and resume) and shutdown.
// The window renders display() and forwards the user's actions here.
class FacePlate : public QObject
{
    Q_OBJECT
public:
    enum class State { Created, Loading, SelfTest, Resuming, Polling, Suspended, Ended };
    Q_ENUM(State)

    // The port and the settings store stay owned by the caller. The channel
    // database file is databasePath.
    FacePlate(CommPort *port, QSettings *store, const QString &databasePath, QObject *parent = nullptr);
    ~FacePlate() override;

    DisplayModel *display() { return &m_display; }
    AuxDisplayModel *aux() { return &m_aux; }
    AuxLookups *lookups() const { return m_lookups.get(); }
    ChannelDatabase *database() const { return m_database.get(); }
    Keypad *keypad() const { return m_keypad.get(); }
    Keyboard *keyboard() const { return m_keyboard; }
    // The poll loop of the current run; null while not polling.
    PollLoop *pollLoop() const { return m_poll; }
    CommPort *port() const { return m_port; }
    LinkSettings &link() { return m_link; }
    QSettings *store() const { return m_store; }
    State state() const { return m_state; }

    void setPrompt(PromptFn prompt) { m_prompt = std::move(prompt); }
    void setMessage(MessageFn message) { m_message = std::move(message); }
    MessageFn message() const { return m_message; }
    // Called at the point of the start-up where the windows are placed and shown.
    void setPlaceWindows(std::function<void()> place) { m_placeWindows = std::move(place); }
    // The self-test's pause length; start-up uses 500 ms.
    void setSelfTestPause(int millis) { m_selfTestPause = millis; }

    // Start-up of the faceplate: settings (asking as needed), port, placement,
    // self-test, then polling.
    void load();
    // The one resume entry: apply the settings, reopen the port if it is
    // closed, put the scanner back in scan or manual mode, then poll afresh.
    void resume();
    // Stop polling; the port is left as it is (the caller hands it over).
    void suspend();
    // The window is closing: stop and close the port.
    void shutdown();

    // Port Setup menu.
    void mnuComPort();
    void mnuComSpeed();

    // Scanner state kept between poll turns and shared with the keys.
    bool ShiftOn = false;
    int MuteState = 1;
    int CurrentMode = 0;
    QString ModeName;
    int ManualChannel = 0;
    QString NextQuery;
    QString SavedChannel;
    QString CurrentTalkgroup;
    ReplyBuffer RxBuffer;

signals:
    void stateChanged(FacePlate::State state);
    // Polling is to start now, with fresh state; and to stop.
    void pollingStarted();
    void pollingStopped();

private:
    void setState(State state);
    void applyPortSettings();
    bool openPort(bool again);
    void startPolling();
    void stopPolling();

    CommPort *m_port;
    QSettings *m_store;
    DisplayModel m_display;
    AuxDisplayModel m_aux;
    std::unique_ptr<ChannelDatabase> m_database;
    std::unique_ptr<AuxLookups> m_lookups;
    std::unique_ptr<Keypad> m_keypad;
    Keyboard *m_keyboard;
    PollLoop *m_poll = nullptr;
    LinkSettings m_link;
    PromptFn m_prompt;
    MessageFn m_message;
    std::function<void()> m_placeWindows;
    SelfTest *m_selfTest;
    QPointer<CommandSequence> m_resume;
    int m_selfTestPause = 500;
    State m_state = State::Created;
};
