#include "FakeCommPort.h"

QStringList FakeCommPort::commands() const
{
    QStringList list = QString::fromLatin1(m_written).split(QLatin1Char('\r'));
    list.removeLast(); // what follows the last carriage return
    return list;
}

void FakeCommPort::inject(const QByteArray &bytes)
{
    m_incoming.append(bytes);
    notifyReceived();
}

bool FakeCommPort::openDevice(const QString &device, const SerialSettings &settings, QString *error)
{
    if (!m_failWith.isEmpty()) {
        *error = m_failWith;
        return false;
    }
    m_device = device;
    ++m_opens;
    applySettings(settings);
    return true;
}

bool FakeCommPort::applySettings(const SerialSettings &settings)
{
    m_applied = QStringLiteral("%1,%2,%3,%4")
                    .arg(settings.baud)
                    .arg(QLatin1Char(settings.parity))
                    .arg(settings.dataBits)
                    .arg(settings.stopBits);
    return true;
}

QByteArray FakeCommPort::readDevice()
{
    QByteArray bytes;
    bytes.swap(m_incoming);
    return bytes;
}
