#pragma once

#include "link/Prompts.h"

#include <QObject>
#include <QPointer>
#include <QString>

class ActivityWindow;
class QWidget;
class SerialMonitorWindow;
class TalkgroupActivityLog;
class TrafficTap;

// The View menu's Talkgroup Activity and Serial Monitor: one window each,
// made on first use.
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
    void showSerialMonitor();
    void closeAll();

    ActivityWindow *activityWindow() const;
    SerialMonitorWindow *serialMonitor() const;

private:
    Wiring m_w;
    QPointer<ActivityWindow> m_activity;
    QPointer<SerialMonitorWindow> m_monitor;
};
