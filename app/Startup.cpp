#include "app/Startup.h"

#include "app/AppInfo.h"
#include "faceplate/FacePlate.h"
#include "faceplate/FacePlateWindow.h"
#include "link/Prompter.h"
#include "link/SerialCommPort.h"
#include "shell/SplashWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

Startup::Startup(QObject *parent)
    : QObject(parent)
{
    m_splashTimer.setSingleShot(true);
    connect(&m_splashTimer, &QTimer::timeout, this, &Startup::showFacePlate);
}

Startup::~Startup()
{
    // The window goes before the controller it renders.
    m_window.reset();
    m_plate.reset();
}

void Startup::run()
{
    m_splash = new SplashWindow;
    m_splash->adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        m_splash->move(screen->availableGeometry().center() - m_splash->rect().center());
    m_splash->show();
    m_splash->activateWindow();
    m_splash->setFocus();
    m_splashTimer.start(kSplashMillis);
}

void Startup::showFacePlate()
{
    if (m_splash)
        m_splash->close();

    m_store = std::make_unique<QSettings>();
    m_port = std::make_unique<SerialCommPort>();
    m_plate = std::make_unique<FacePlate>(m_port.get(), m_store.get(), AppInfo::databasePath());
    m_window = std::make_unique<FacePlateWindow>(m_plate.get());
    m_plate->setPrompt(Prompter::inputBox(nullptr));
    m_plate->setMessage(Prompter::messageBox(m_window.get()));
    connect(m_window.get(), &FacePlateWindow::closing, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    m_window->load();
}
