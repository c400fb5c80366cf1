#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;
class SimLink;

// Puts a SimLink on a pseudo-terminal: the program opens the terminal's slave
// side as if it were the scanner's serial port.
class PtyHost : public QObject
{
    Q_OBJECT
public:
    explicit PtyHost(SimLink *link, QObject *parent = nullptr);
    ~PtyHost() override;

    // Opens the terminal; with a link path, also makes a symbolic link to it
    // there (replacing an older link). False with *error set on failure.
    bool open(const QString &linkPath, QString *error);
    void close();

    // The terminal's device name ("/dev/pts/5").
    QString slaveName() const { return m_slaveName; }
    // The name to point the program at: the link when there is one.
    QString portName() const { return m_linkPath.isEmpty() ? m_slaveName : m_linkPath; }

private:
    void readMaster();
    void writeMaster(const QByteArray &bytes);

    SimLink *m_link;
    int m_master = -1;
    int m_slaveKeeper = -1;
    QString m_slaveName;
    QString m_linkPath;
    QSocketNotifier *m_notifier = nullptr;
};
