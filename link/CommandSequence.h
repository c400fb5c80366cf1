#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class CommPort;

// A short script of commands, pauses and actions, run on the event loop:
// commands go out back to back, a pause holds the script for its length
// without blocking the window.
class CommandSequence : public QObject
{
    Q_OBJECT
public:
    explicit CommandSequence(CommPort *port, QObject *parent = nullptr);

    // Each call appends a step; start() runs them.
    CommandSequence &send(const QString &command);     // written only while the port is open
    CommandSequence &pause(int millis);
    CommandSequence &then(std::function<void()> action);

    void start();
    // Drops the steps not yet run; finished() is not emitted.
    void abort();
    bool isRunning() const { return m_running; }

signals:
    void finished();

private:
    struct Step
    {
        enum Kind { Send, Pause, Action } kind;
        QString command;
        int millis = 0;
        std::function<void()> action;
    };
    void runSteps();

    CommPort *m_port;
    QList<Step> m_steps;
    QTimer m_timer;
    bool m_running = false;
};
