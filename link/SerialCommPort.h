#pragma once

#include "link/CommPort.h"

#include <QSerialPort>

// The serial control over a real serial device (or a pseudo-terminal).
class SerialCommPort : public CommPort
{
    Q_OBJECT
public:
    explicit SerialCommPort(QObject *parent = nullptr);

protected:
    bool openDevice(const QString &device, const SerialSettings &settings, QString *error) override;
    void closeDevice() override;
    bool applySettings(const SerialSettings &settings) override;
    void writeDevice(const QByteArray &bytes) override;
    QByteArray readDevice() override;

private:
    QSerialPort m_port;
};
