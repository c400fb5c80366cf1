#pragma once

#include "link/Prompts.h"

#include <QObject>
#include <QPointer>
#include <QString>

class ActivityStatisticsWindow;
class ActivityWindow;
class QWidget;
class SerialMonitorWindow;
class TalkgroupActivityLog;
class TrafficTap;

// The View menu's Talkgroup Activity, Activity Statistics and Serial Monitor:
// one window each, made on first use.
class ViewWindows : public QObject
{
    Q_OBJECT
public:
    struct Wiring
    {
        QString databasePath;
        TalkgroupActivityLog *activity = nullptr;
        TrafficTap *tap = nullptr;
        MessageFn message;
    };

    ViewWindows(const Wiring &wiring, QObject *parent = nullptr);
    ~ViewWindows() override;

    void showActivity();
    // The statistics; a click on a talkgroup's bar shows its calls in the
    // activity window, over the same span (every call for a from/to span).
    void showStatistics();
    void showSerialMonitor();
    void closeAll();

    ActivityWindow *activityWindow() const;
    ActivityStatisticsWindow *statisticsWindow() const;
    SerialMonitorWindow *serialMonitor() const;

private:
    Wiring m_w;
    QPointer<ActivityWindow> m_activity;
    QPointer<ActivityStatisticsWindow> m_statistics;
    QPointer<SerialMonitorWindow> m_monitor;
};
