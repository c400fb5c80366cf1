#include "app/Startup.h"

#include "alerts/MqttPublisher.h"
#include "data/AppInfo.h"
#include "data/ChannelDatabase.h"
#include "link/LinkSettings.h"
#include "data/TalkgroupActivityLog.h"
#include "link/SerialCommPort.h"
#include "link/TrafficTap.h"
#include "scanner/CallTracker.h"
#include "recording/QtAudioInput.h"
#include "recording/Recorder.h"
#include "recording/ToneGenerator.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteSettings.h"
#include "scanner/AuxDisplayModel.h"
#include "scanner/AuxLookups.h"
#include "scanner/DisplayModel.h"
#include "scanner/Keyboard.h"
#include "scanner/Keypad.h"
#include "scanner/ScannerSession.h"
#include "ui/FacePlateWindow.h"
#include "ui/Prompter.h"
#include "ui/SplashWindow.h"
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
    m_mqtt.reset(); // "offline" said to the broker
    m_keyboard.reset();
    m_keypad.reset();
    m_recorder.reset(); // a call being recorded is finished
    m_audioInput.reset();
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
    RecordingSettings settings = RecordingSettings::load(*m_store, m_options.demo);
    if (!settings.enabled)
        return; // no device opened, nothing running
    m_calls = std::make_unique<CallTracker>(m_session.get());
    if (m_options.demo) {
        // The demo's calls sound as tones, into a folder of their own.
        auto tone = std::make_unique<ToneGenerator>();
        ToneGenerator *generator = tone.get();
        connect(m_calls.get(), &CallTracker::callStarted, generator,
                [generator](const CallInfo &call) { generator->open(call.talkgroup.isEmpty() ? call.channel : call.talkgroup); });
        connect(m_calls.get(), &CallTracker::callEnded, generator, &ToneGenerator::close);
        m_audioInput = std::move(tone);
        if (settings.folder.isEmpty())
            settings.folder = QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("Demo Recordings"));
    } else {
        m_audioInput = std::make_unique<QtAudioInput>(settings.inputDevice);
    }
    m_recorder = std::make_unique<Recorder>(settings, databasePath, m_audioInput.get(), m_calls.get());
    connect(m_recorder.get(), &Recorder::problem, m_display.get(), &DisplayModel::setProblemLine);
    m_recorder->start();
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
    startRecording(databasePath);
    startMqtt(databasePath);
    m_keypad = std::make_unique<Keypad>(m_port.get(), m_session.get());
    m_keyboard = std::make_unique<Keyboard>(m_port.get(), m_session.get(), m_aux.get());
    m_remote = std::make_unique<RemoteServer>(RemoteServer::Wiring{
        display, m_aux.get(), m_session.get(), m_keypad.get(), m_store.get(), databasePath});

    m_window = std::make_unique<FacePlateWindow>(FacePlateWindow::Wiring{
        m_session.get(), m_port.get(), m_store.get(), databasePath, display, m_aux.get(), m_keypad.get(),
        m_keyboard.get(), m_activity.get(), m_tap.get(), m_remote.get(), m_mqtt.get()});
    m_window->setMessage(Prompter::messageBox(m_window.get()));
    m_session->setPrompt(Prompter::inputBox(nullptr));
    m_session->setMessage(Prompter::messageBox(m_window.get()));
    FacePlateWindow *window = m_window.get();
    m_session->setPlaceWindows([window] { window->placeWindows(); });
    connect(window, &FacePlateWindow::closing, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    startRemote();
    m_session->load();
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
    if (!m_calls)
        m_calls = std::make_unique<CallTracker>(m_session.get());
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
