#include "link/CommPort.h"

#include "link/Framing.h"
#include "link/TrafficTap.h"

Q_LOGGING_CATEGORY(lcLink, "orvendal.link")

bool SerialSettings::parse(const QString &text, SerialSettings *out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok = false;
    SerialSettings s;
    s.baud = parts[0].toInt(&ok);
    if (!ok || s.baud <= 0)
        return false;
    if (parts[1].size() != 1 || !QStringLiteral("NEOMS").contains(parts[1].at(0).toUpper()))
        return false;
    s.parity = parts[1].at(0).toUpper().toLatin1();
    s.dataBits = parts[2].toInt(&ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return false;
    s.stopBits = parts[3].toInt(&ok);
    if (!ok || (s.stopBits != 1 && s.stopBits != 2))
        return false;
    *out = s;
    return true;
}

CommPort::CommPort(QObject *parent)
    : QObject(parent)
{
}

CommPort::~CommPort() = default;

void CommPort::setSettings(const QString &settings)
{
    m_settings = settings;
    if (!m_open)
        return;
    SerialSettings parsed;
    if (!SerialSettings::parse(settings, &parsed) || !applySettings(parsed))
        qCWarning(lcLink) << "could not apply settings" << settings << "to" << deviceName();
}

QString CommPort::deviceName() const
{
    if (m_resolver)
        return m_resolver(m_commPort);
    return QStringLiteral("COM%1").arg(m_commPort);
}

bool CommPort::open()
{
    if (m_open)
        return true;
    m_error.clear();
    SerialSettings parsed;
    if (!SerialSettings::parse(m_settings, &parsed)) {
        m_error = tr("invalid settings \"%1\"").arg(m_settings);
        return false;
    }
    const QString device = deviceName();
    QString error;
    m_connecting = false;
    if (!openDevice(device, parsed, &error)) {
        m_error = error.isEmpty() ? tr("unknown error") : error;
        // Said to the user by whoever opened the port; a port that is retried
        // must not fill the log.
        qCInfo(lcLink) << "could not open" << device << ":" << m_error;
        return false;
    }
    m_open = true;
    m_commEvent = kNoEvent;
    m_polledInput.clear();
    setReadNotifications(!m_polled);
    qCInfo(lcLink) << "opened" << device << "at" << m_settings;
    emit openChanged(true);
    return true;
}

void CommPort::close()
{
    if (!m_open)
        return;
    if (!m_connecting)
        readDevice(); // nothing received before the close belongs to the next user
    // Closed before the device is: an error the device raises while closing
    // is no loss.
    m_open = false;
    m_connecting = false;
    closeDevice();
    qCInfo(lcLink) << "closed" << deviceName();
    emit openChanged(false);
}

void CommPort::write(const QByteArray &bytes)
{
    if (!m_open)
        return;
    m_bytesWritten += bytes.size();
    if (m_tap)
        m_tap->sent(this, bytes);
    writeDevice(bytes);
}

void CommPort::send(const QString &command)
{
    qCDebug(lcLink) << "send" << command;
    write(Framing::frame(command));
}

QByteArray CommPort::input()
{
    if (!m_open)
        return {};
    if (m_polled) {
        // Taken in by poll() just before.
        QByteArray bytes;
        bytes.swap(m_polledInput);
        return bytes;
    }
    const QByteArray bytes = readDevice();
    m_bytesRead += bytes.size();
    if (m_tap && !bytes.isEmpty())
        m_tap->received(this, bytes);
    return bytes;
}

void CommPort::setPolled(bool polled)
{
    m_polled = polled;
    if (m_open)
        setReadNotifications(!polled);
}

void CommPort::poll()
{
    if (!m_open || !m_polled)
        return;
    const QByteArray bytes = readDevice();
    if (bytes.isEmpty())
        return;
    m_bytesRead += bytes.size();
    if (m_tap)
        m_tap->received(this, bytes);
    m_polledInput.append(bytes);
    m_commEvent = kReceived;
}

void CommPort::notifyLost(const QString &reason)
{
    if (!m_open)
        return;
    // A connection that never stood is a failed open, said by whoever retries
    // it; only the loss of a working device is a fault worth the log.
    m_lostConnecting = m_connecting;
    if (m_connecting) {
        m_error = reason;
        qCInfo(lcLink) << "could not connect to" << deviceName() << ":" << reason;
    } else {
        qCWarning(lcLink) << "lost" << deviceName() << ":" << reason;
    }
    m_open = false;
    m_connecting = false;
    closeDevice();
    emit openChanged(false);
    emit lost(reason);
}

void CommPort::notifyConnected()
{
    if (!m_open || !m_connecting)
        return;
    m_connecting = false;
    qCInfo(lcLink) << "connected to" << deviceName();
    emit connected();
}

void CommPort::notifyReceived()
{
    m_commEvent = kReceived;
    emit received();
}
