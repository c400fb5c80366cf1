#pragma once

#include "app/CommandLine.h"

#include <QObject>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

class AlertEngine;
class AudioInput;
class AuxDisplayModel;
class CallTracker;
class AuxLookups;
class ChannelDatabase;
class CommPort;
class DemoTour;
class DisplayModel;
class FacePlateWindow;
class Keyboard;
class Keypad;
class PtyHost;
class MqttPublisher;
class RecordingControl;
class QSettings;
class RemoteServer;
class Theme;
class ScannerEngine;
class SimLink;
class ScannerSession;
class SplashWindow;
class TalkgroupActivityLog;
class TrafficTap;

// The program's start-up and the one place that puts it together: the
// splash for five seconds, then the settings store, the serial port, the
// channel database, the scanner session, its keys and the windows.
class Startup : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSplashMillis = 5000;

    explicit Startup(const CommandLine::RunOptions &options = {}, QObject *parent = nullptr);
    ~Startup() override;

    // False when the user declined to create a --database that does not
    // exist; nothing is then shown or created.
    bool run();
    // The orderly end a termination signal asks for: the faceplate closes as
    // when the user closes it (before it is shown, the program just ends).
    void terminate(int signalNumber);

    FacePlateWindow *faceplateWindow() const { return m_window.get(); }

private:
    bool databaseAgreed();
    void showFacePlate();
    // The simulated scanner on a pseudo-terminal for --demo; its path, or
    // empty (with a message) when it cannot be made.
    QString startSimulator();
    // Records calls when recording is on (always in --demo, from the tone
    // generator, unless the settings turn it off); the Recording dialog
    // turns it on and off while the program runs.
    void startRecording(const QString &databasePath);
    // The web front panel as the settings or --remote say; for --remote its
    // address goes to standard output.
    void startRemote();
    // The alert rules, fired by every call.
    void startAlerts(const QString &databasePath);
    // Events for home automation as the settings or --mqtt say.
    void startMqtt(const QString &databasePath);

    CommandLine::RunOptions m_options;
    QTemporaryDir m_demoDir;
    std::unique_ptr<ScannerEngine> m_simEngine;
    std::unique_ptr<SimLink> m_simLink;
    std::unique_ptr<PtyHost> m_simHost;
    QPointer<SplashWindow> m_splash;
    QTimer m_splashTimer;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<CommPort> m_port;
    std::unique_ptr<ChannelDatabase> m_lookupsDb;
    bool m_terminating = false;
    std::unique_ptr<TalkgroupActivityLog> m_activity;
    std::unique_ptr<TrafficTap> m_tap;
    std::unique_ptr<DisplayModel> m_display;
    std::unique_ptr<AuxDisplayModel> m_aux;
    std::unique_ptr<AuxLookups> m_lookups;
    std::unique_ptr<ScannerSession> m_session;
    std::unique_ptr<Keypad> m_keypad;
    std::unique_ptr<Keyboard> m_keyboard;
    std::unique_ptr<DemoTour> m_tour; // --demo: the scanner's modes in turn
    std::unique_ptr<CallTracker> m_calls;
    std::unique_ptr<RecordingControl> m_recording; // on, off and changed while the program runs
    std::unique_ptr<RemoteServer> m_remote; // the web front panel
    std::unique_ptr<Theme> m_theme;         // View, Theme
    std::unique_ptr<AlertEngine> m_alerts;
    std::unique_ptr<MqttPublisher> m_mqtt;  // events for home automation
    std::unique_ptr<FacePlateWindow> m_window;
};
