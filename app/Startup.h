#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class CommPort;
class FacePlate;
class FacePlateWindow;
class QSettings;
class SplashWindow;

// The program's start-up: the splash for five seconds, then the faceplate.
class Startup : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSplashMillis = 5000;

    explicit Startup(QObject *parent = nullptr);
    ~Startup() override;

    void run();

    FacePlateWindow *faceplateWindow() const { return m_window.get(); }

private:
    void showFacePlate();

    QPointer<SplashWindow> m_splash;
    QTimer m_splashTimer;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<CommPort> m_port;
    std::unique_ptr<FacePlate> m_plate;
    std::unique_ptr<FacePlateWindow> m_window;
};
