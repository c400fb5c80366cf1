#include "ui/ViewWindows.h"

#include "ui/ActivityStatisticsWindow.h"
#include "ui/ActivityWindow.h"
#include "ui/SerialMonitorWindow.h"

#include <QComboBox>

namespace {
void bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

ViewWindows::ViewWindows(const Wiring &wiring, QObject *parent)
    : QObject(parent)
    , m_w(wiring)
{
}

ViewWindows::~ViewWindows()
{
    delete m_activity;
    delete m_statistics;
    delete m_monitor;
}

ActivityWindow *ViewWindows::activityWindow() const
{
    return m_activity;
}

ActivityStatisticsWindow *ViewWindows::statisticsWindow() const
{
    return m_statistics;
}

SerialMonitorWindow *ViewWindows::serialMonitor() const
{
    return m_monitor;
}

void ViewWindows::showActivity()
{
    if (!m_activity) {
        auto *window = new ActivityWindow(m_w.databasePath, m_w.activity, m_w.message);
        if (!window->load()) {
            delete window;
            return;
        }
        m_activity = window;
    }
    bringUp(m_activity);
}

void ViewWindows::showStatistics()
{
    if (!m_statistics) {
        auto *window = new ActivityStatisticsWindow(m_w.databasePath, m_w.activity, m_w.message);
        if (!window->load()) {
            delete window;
            return;
        }
        connect(window, &ActivityStatisticsWindow::talkgroupChosen, this, [this, window](const QString &id) {
            showActivity();
            if (!m_activity)
                return;
            m_activity->filterToTalkgroup(id);
            // The same span where the activity window has it, else every call.
            const qsizetype span = ActivityWindow::kSpanHours.indexOf(window->spanHours());
            m_activity->spanFilter()->setCurrentIndex(int(span >= 0 ? span : ActivityWindow::kSpanHours.indexOf(0)));
        });
        m_statistics = window;
    }
    bringUp(m_statistics);
}

void ViewWindows::showSerialMonitor()
{
    if (!m_w.tap)
        return;
    if (!m_monitor)
        m_monitor = new SerialMonitorWindow(m_w.tap, m_w.message);
    bringUp(m_monitor);
}

void ViewWindows::closeAll()
{
    if (m_activity)
        m_activity->close();
    if (m_statistics)
        m_statistics->close();
    if (m_monitor)
        m_monitor->close();
}
