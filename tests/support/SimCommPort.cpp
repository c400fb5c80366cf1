#include "SimCommPort.h"

SimCommPort::SimCommPort(QObject *parent)
    : CommPort(parent)
    , m_link(&m_engine)
{
    connect(&m_link, &SimLink::transmit, this, [this](const QByteArray &bytes) {
        if (!isOpen())
            return; // nobody listening: lost on the line
        m_incoming.append(bytes);
        notifyReceived();
    });
}

bool SimCommPort::openDevice(const QString &, const SerialSettings &, QString *)
{
    m_incoming.clear();
    return true;
}

QByteArray SimCommPort::readDevice()
{
    QByteArray bytes;
    bytes.swap(m_incoming);
    return bytes;
}
