#pragma once

#include "scanner/DisplayModel.h"

#include <QList>
#include <QObject>
#include <QTimer>

// The display self-test run at start-up: eleven screens, each held for a
// moment. Runs on the event loop; the window stays responsive throughout.
class SelfTest : public QObject
{
    Q_OBJECT
public:
    enum class Screen { Blank, AllSegments, Scan, Trunk, Search, Service };
    struct Step
    {
        Screen screen;
        int millis;
    };

    // The steps for a given pause length (0.5 s at start-up): a blank screen
    // is held for a fifth of it, every other screen for all of it.
    static QList<Step> schedule(int pauseMillis = 500);

    explicit SelfTest(DisplayModel *display, QObject *parent = nullptr);

    void start(int pauseMillis = 500);
    bool isRunning() const { return m_timer.isActive(); }
    // Stops where it is, without finished().
    void stop() { m_timer.stop(); }

    static void show(DisplayModel *display, Screen screen);

signals:
    void finished();

private:
    void runStep();

    DisplayModel *m_display;
    QTimer m_timer;
    QList<Step> m_steps;
    int m_next = 0;
};
