#pragma once

#include "link/CommPort.h"

#include <QStringList>

// An in-memory serial control: records what is written, hands out what a test
// injects, and can be told to fail on open.
class FakeCommPort : public CommPort
{
    Q_OBJECT
public:
    using CommPort::CommPort;

    // Every command written, without its carriage return, in order.
    QStringList commands() const;
    QByteArray written() const { return m_written; }
    void clearWritten() { m_written.clear(); }

    // Bytes the "scanner" sends; raises the receive event.
    void inject(const QByteArray &bytes);

    void failOpenWith(const QString &error) { m_failWith = error; }
    QString openedDevice() const { return m_device; }
    int openCount() const { return m_opens; }
    void setLossOnClose(bool on) { m_lossOnClose = on; }
    // The write after the next n fails as a pulled device's does; -1: never.
    void failWriteAfter(int n) { m_writesLeft = n; }
    QString appliedSettings() const { return m_applied; }

protected:
    bool openDevice(const QString &device, const SerialSettings &settings, QString *error) override;
    // A device that raises an error as it is closed, as some drivers do.
    void closeDevice() override
    {
        if (m_lossOnClose)
            notifyLost(QStringLiteral("closed"));
    }
    bool applySettings(const SerialSettings &settings) override;
    // A device pulled out fails the write itself, in the middle of the call.
    void writeDevice(const QByteArray &bytes) override
    {
        if (m_writesLeft >= 0 && m_writesLeft-- == 0)
            return notifyLost(QStringLiteral("write failed"));
        m_written.append(bytes);
    }
    QByteArray readDevice() override;

private:
    QByteArray m_written;
    QByteArray m_incoming;
    QString m_failWith;
    QString m_device;
    QString m_applied;
    int m_opens = 0;
    bool m_lossOnClose = false;
    int m_writesLeft = -1;
};
