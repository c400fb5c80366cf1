#include "link/SerialCommPort.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

SerialCommPort::SerialCommPort(QObject *parent)
    : CommPort(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialCommPort::notifyReceived);
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError)
            qCWarning(lcLink) << "serial error on" << m_port.portName() << ":" << m_port.errorString();
    });
}

bool SerialCommPort::applySettings(const SerialSettings &s)
{
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (s.parity) {
    case 'E': parity = QSerialPort::EvenParity; break;
    case 'O': parity = QSerialPort::OddParity; break;
    case 'M': parity = QSerialPort::MarkParity; break;
    case 'S': parity = QSerialPort::SpaceParity; break;
    default: break;
    }
    bool ok = m_port.setBaudRate(s.baud);
    ok = m_port.setParity(parity) && ok;
    ok = m_port.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) && ok;
    ok = m_port.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) && ok;
    return ok;
}

bool SerialCommPort::openDevice(const QString &device, const SerialSettings &settings, QString *error)
{
    m_port.setPortName(device);
    applySettings(settings);
    if (!m_port.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("%1 (%2)").arg(m_port.errorString(), device);
        return false;
    }
    // Settings given before opening are applied by open(); set them again in
    // case the driver reset any of them.
    applySettings(settings);
    m_port.clear();
    return true;
}

void SerialCommPort::closeDevice()
{
    m_port.close();
}

void SerialCommPort::writeDevice(const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    // A command is a few bytes and the driver's buffer takes it at once: hand
    // it over directly, so that no write notifier is armed and disarmed (and
    // the event loop woken) for every poll query. Only what the driver did
    // not take goes through the port's own buffer.
    if (m_port.bytesToWrite() == 0) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(int(m_port.handle()), bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else
                break;
        }
        if (done < bytes.size())
            m_port.write(bytes.mid(done));
        return;
    }
#endif
    m_port.write(bytes);
}

QByteArray SerialCommPort::readDevice()
{
    return m_port.readAll();
}
