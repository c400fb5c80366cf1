#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a logout, systemctl, kill, Ctrl+C) turned into
// a Qt signal on the event loop. The handler itself only writes one byte to
// a socket pair; the rest runs where the program's own code runs. One
// instance at a time.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    // The signals get back what they had before.
    ~TerminationSignals() override;

    // From now on the three signals raise received(); false (with the
    // reason) when that cannot be arranged.
    bool install(QString *error = nullptr);

signals:
    void received(int signalNumber);

private:
    static void handle(int signalNumber);
    void readPipe();
    void restore();
    void closePair();

    int m_fds[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    bool m_installed = false;
};
