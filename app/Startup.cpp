#include "app/Startup.h"

#include "alerts/AlertEngine.h"
#include "alerts/MqttPublisher.h"
#include "data/AppInfo.h"
#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"
#include "link/LinkSettings.h"
#include "data/TalkgroupActivityLog.h"
#include "link/SerialCommPort.h"
#include "link/TrafficTap.h"
#include "scanner/CallTracker.h"
#include "recording/QtAudioInput.h"
#include "recording/RecordingControl.h"
#include "recording/ToneGenerator.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteSettings.h"
#include "scanner/AuxDisplayModel.h"
#include "scanner/AuxLookups.h"
#include "scanner/DemoTour.h"
#include "scanner/DisplayModel.h"
#include "scanner/Keyboard.h"
#include "scanner/Keypad.h"
#include "scanner/ScannerSession.h"
#include "ui/FacePlateWindow.h"
#include "ui/Prompter.h"
#include "ui/AccessibleNames.h"
#include "ui/SplashWindow.h"
#include "ui/Theme.h"
#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QSettings>

#include <cstdio>

Q_LOGGING_CATEGORY(lcStartup, "orvendal.startup")

namespace {
// The lookups run between poll turns: a database another program holds
// locked must not stall the display at all. A busy lookup is tried again
// with the next reply.
constexpr int kLookupBusyMillis = 0;

} // namespace

Startup::Startup(const CommandLine::RunOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    m_splashTimer.setSingleShot(true);
    connect(&m_splashTimer, &QTimer::timeout, this, &Startup::showFacePlate);
}

Startup::~Startup()
{
    // Windows first, then what they render and drive.
    m_window.reset();
    m_remote.reset();
    m_alerts.reset();
    m_mqtt.reset(); // "offline" said to the broker
    m_keyboard.reset();
    m_tour.reset();
    m_keypad.reset();
    m_recording.reset(); // a call being recorded is finished
    m_calls.reset();
    m_session.reset();
    m_activity.reset(); // what is queued is written
    m_simHost.reset();
}

QString Startup::startSimulator()
{
    m_simEngine = std::make_unique<ScannerEngine>();
    m_simLink = std::make_unique<SimLink>(m_simEngine.get());
    m_simLink->setOptions({19200, 2, false});
    // Talkgroups come and go, a few seconds each with quiet between, while
    // the demo's tour has the scanner in trunk search.
    m_simEngine->setTalkgroups({{'A', QStringLiteral("00123")}, {0, {}}, {'C', QStringLiteral("12345")},
                                {'C', QStringLiteral("00012")}, {0, {}}, {'L', QStringLiteral("04711")}, {0, {}},
                                {'T', QStringLiteral("65535")}, {'B', QStringLiteral("00777")}, {0, {}}},
                               3000);
    m_simHost = std::make_unique<PtyHost>(m_simLink.get());
    QString error;
    const QString path = m_demoDir.filePath(QStringLiteral("vks4410"));
    if (m_demoDir.isValid() && m_simHost->open(path, &error))
        return path;
    qCWarning(lcStartup) << "the simulated scanner could not be started:" << error;
    return {};
}

void Startup::startRecording(const QString &databasePath)
{
    // The calls are followed whether recording is on or not (see
    // showFacePlate), so that it can be turned on while the program runs.
    RecordingControl::InputFactory makeInput = [](const QString &deviceId) -> std::unique_ptr<AudioInput> {
        return std::make_unique<QtAudioInput>(deviceId);
    };
    if (m_options.demo) {
        // The demo's calls sound as tones, whatever the input chosen.
        CallTracker *calls = m_calls.get();
        makeInput = [calls](const QString &) -> std::unique_ptr<AudioInput> {
            auto tone = std::make_unique<ToneGenerator>();
            ToneGenerator *generator = tone.get();
            connect(calls, &CallTracker::callStarted, generator, [generator](const CallInfo &call) {
                generator->open(call.talkgroup.isEmpty() ? call.channel : call.talkgroup);
            });
            connect(calls, &CallTracker::callEnded, generator, &ToneGenerator::close);
            return tone;
        };
    }
    m_recording = std::make_unique<RecordingControl>(m_calls.get(), databasePath, std::move(makeInput));
    if (m_options.demo) // into a folder of its own
        m_recording->setDefaultFolder(QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("Demo Recordings")));
    connect(m_recording.get(), &RecordingControl::problem, m_display.get(), &DisplayModel::setProblemLine);
    m_recording->apply(RecordingSettings::load(*m_store, m_options.demo));
    // The activity statistics count the recorded airtime.
    connect(m_recording.get(), &RecordingControl::recordingFinished, this, [](const QString &, bool rowWritten) {
        if (rowWritten)
            DataChanges::announce({QStringLiteral("RECORDINGS")});
    });
}

bool Startup::databaseAgreed()
{
    // A mistyped --database must not silently become a new, empty database.
    const QString path = m_options.database;
    if (path.isEmpty() || QFileInfo::exists(path))
        return true;
    const MessageFn ask = Prompter::messageBox(nullptr);
    return ask(MessageKind::OkCancel, QStringLiteral("Orvendal"),
               QStringLiteral("The channel database %1 does not exist.\n\nCreate a new, empty channel database there?")
                   .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
}

bool Startup::run()
{
    // The colours first, so that the first window already has them.
    m_theme = std::make_unique<Theme>();
    m_theme->apply(Theme::load(QSettings()));
    new AccessibleNames(this); // every window named for screen readers as it is shown
    if (!databaseAgreed())
        return false;
    m_splash = new SplashWindow;
    m_splash->adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        m_splash->move(screen->availableGeometry().center() - m_splash->rect().center());
    m_splash->show();
    m_splash->activateWindow();
    m_splash->setFocus();
    m_splashTimer.start(kSplashMillis);
    return true;
}

void Startup::terminate(int signalNumber)
{
    qCInfo(lcStartup) << "ending on signal" << signalNumber;
    if (m_terminating) {
        // Asked again while a question holds the window open: end now. What
        // is still queued is written as the program is taken down.
        QCoreApplication::exit(0);
        return;
    }
    m_terminating = true;
    if (m_window) {
        // The port and the talkgroup log are put away first: an editor's
        // question about unsaved edits may hold the window open until the
        // session manager gives up on us.
        m_session->shutdown();
        while (m_activity && m_activity->queued() > 0 && m_activity->flush()) {
        }
        // Its closing() ends the event loop once everything is put away.
        m_window->close();
        return;
    }
    m_splashTimer.stop();
    if (m_splash)
        m_splash->close();
    QCoreApplication::quit();
}

void Startup::showFacePlate()
{
    if (m_splash)
        m_splash->close();

    if (m_options.demo)
        LinkSettings::setRunDevice(startSimulator());
    else if (!m_options.device.isEmpty())
        LinkSettings::setRunDevice(m_options.device);
    const QString databasePath = m_options.database.isEmpty() ? AppInfo::databasePath() : m_options.database;
    m_store = std::make_unique<QSettings>();
    m_port = std::make_unique<SerialCommPort>();
    m_tap = std::make_unique<TrafficTap>();
    m_tap->watch(m_port.get(), QStringLiteral("Faceplate"));
    m_lookupsDb = std::make_unique<ChannelDatabase>(databasePath, QStringLiteral("orvendal-lookups"), kLookupBusyMillis);
    m_display = std::make_unique<DisplayModel>();
    m_aux = std::make_unique<AuxDisplayModel>();
    DisplayModel *display = m_display.get();
    m_lookups = std::make_unique<AuxLookups>(m_aux.get(), m_lookupsDb.get(),
                                             [display](const QString &text) { display->setProblemLine(text); });
    m_session = std::make_unique<ScannerSession>(
        SessionWiring{m_port.get(), m_store.get(), display, m_aux.get(), m_lookups.get()});
    // The talkgroup log's writer opens the file when it first writes; old
    // activity is pruned in the background once the faceplate runs. While
    // the file is busy or failing the status line says so.
    m_activity = std::make_unique<TalkgroupActivityLog>(databasePath);
    QString warning;
    const int retentionDays = LinkSettings::activityRetentionDays(
        *m_store, TalkgroupActivityLog::kDefaultRetentionDays, TalkgroupActivityLog::kMaxRetentionDays, &warning);
    if (!warning.isEmpty())
        qCWarning(lcStartup).noquote() << warning;
    m_activity->start(retentionDays);
    connect(m_activity.get(), &TalkgroupActivityLog::problem, display, &DisplayModel::setProblemLine);
    connect(m_session.get(), &ScannerSession::talkgroupShown, m_activity.get(), &TalkgroupActivityLog::record);
    m_calls = std::make_unique<CallTracker>(m_session.get());
    m_calls->logChannelCalls(m_activity.get());
    startRecording(databasePath);
    startMqtt(databasePath);
    m_keypad = std::make_unique<Keypad>(m_port.get(), m_session.get());
    m_keyboard = std::make_unique<Keyboard>(m_port.get(), m_session.get(), m_aux.get());
    if (m_options.demo) {
        // Conventional calls, then talkgroups, and so on.
        m_tour = std::make_unique<DemoTour>(m_session.get(), m_keypad.get());
        m_tour->start();
    }
    // The page plays recordings from the folder recorded into now (or, with
    // recording off, the one the settings name).
    const auto recordingsFolder = [this, databasePath] {
        return m_recording->folderFor(RecordingSettings::load(*m_store, m_options.demo));
    };
    m_remote = std::make_unique<RemoteServer>(RemoteServer::Wiring{
        display, m_aux.get(), m_session.get(), m_keypad.get(), m_store.get(), databasePath, recordingsFolder});
    RemoteServer *remote = m_remote.get();
    connect(m_recording.get(), &RecordingControl::recordingFinished, remote, [remote](const QString &file, bool rowWritten) {
        if (rowWritten)
            remote->recordingAdded(file);
    });

    startAlerts(databasePath);

    m_window = std::make_unique<FacePlateWindow>(FacePlateWindow::Wiring{
        m_session.get(), m_port.get(), m_store.get(), databasePath, display, m_aux.get(), m_keypad.get(),
        m_keyboard.get(), m_activity.get(), m_tap.get(), m_remote.get(), m_theme.get(), m_alerts.get(), m_recording.get(),
        m_mqtt.get()});
    m_window->setMessage(Prompter::messageBox(m_window.get()));
    m_session->setPrompt(Prompter::inputBox(nullptr));
    m_session->setMessage(Prompter::messageBox(m_window.get()));
    FacePlateWindow *window = m_window.get();
    m_session->setPlaceWindows([window] { window->placeWindows(); });
    connect(window, &FacePlateWindow::closing, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    startRemote();
    m_session->load();
}

void Startup::startAlerts(const QString &databasePath)
{
    m_alerts = std::make_unique<AlertEngine>(databasePath, m_calls.get());
    m_alerts->reload(); // a failure is logged; the dialog says it again
    RemoteServer *remote = m_remote.get();
    connect(m_alerts.get(), &AlertEngine::alerted, remote,
            [remote](const AlertEvent &event) { remote->showAlert(event.ruleName, event.text()); });
}

void Startup::startRemote()
{
    QHostAddress address;
    quint16 port = 0;
    QString error;
    if (m_options.remote.isEmpty()) {
        const RemoteSettings::Choice choice = RemoteSettings::load(*m_store);
        if (choice.enabled && !m_remote->listen(QHostAddress(choice.address), choice.port, &error))
            qCWarning(lcStartup).noquote() << error;
        return;
    }
    if (!RemoteServer::parseEndpoint(m_options.remote, &address, &port, &error)
        || !m_remote->listen(address, port, &error)) {
        std::fprintf(stderr, "orvendal: --remote: %s\n", qPrintable(error));
        return;
    }
    std::printf("Web front panel: %s\n", qPrintable(m_remote->pageUrl().toString()));
    std::fflush(stdout);
}

void Startup::startMqtt(const QString &databasePath)
{
    m_mqtt = std::make_unique<MqttPublisher>(MqttPublisher::Wiring{m_session.get(), m_calls.get(), databasePath});
    MqttSettings settings = MqttSettings::load(*m_store);
    if (!m_options.mqtt.isEmpty()) {
        // On for this run, with the login saved, if any.
        QString error;
        if (!MqttSettings::parseEndpoint(m_options.mqtt, &settings.host, &settings.port, &error)) {
            std::fprintf(stderr, "orvendal: --mqtt: %s\n", qPrintable(error));
            return;
        }
        settings.enabled = true;
    }
    m_mqtt->apply(settings);
}
