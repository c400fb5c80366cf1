#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

// Runs alert programs: straight, without a shell, so each argument reaches
// the program as it is. A program's output goes to the log line by line,
// and one still running after the timeout is killed.
class AlertProgram : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMillis = 30000;
    // Programs running at once; an alert beyond them runs nothing.
    static constexpr int kMaxRunning = 8;
    // Lines logged of one run's output; the rest is counted.
    static constexpr int kMaxLoggedLines = 50;

    explicit AlertProgram(QObject *parent = nullptr);
    ~AlertProgram() override;

    void setTimeout(int millis) { m_timeoutMillis = millis; }
    int running() const { return m_running; }

    // label: what the log calls the run (the rule's name). False when it
    // could not be started now (too many running; starting fails later is
    // said by finished()).
    bool run(const QString &label, const QString &program, const QStringList &arguments);

signals:
    // ok: it ran and exited with 0. outcome: what the log says of its end.
    void finished(const QString &label, bool ok, const QString &outcome);

private:
    void logOutput(QProcess *process, const QString &label, bool flush);

    int m_timeoutMillis = kDefaultTimeoutMillis;
    int m_running = 0;
};
