#include "link/SerialCommPort.h"

#include <QSocketNotifier>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

SerialCommPort::SerialCommPort(QObject *parent)
    : CommPort(parent)
{
    connect(&m_serial, &QSerialPort::readyRead, this, &SerialCommPort::notifyReceived);
    connect(&m_serial, &QSerialPort::errorOccurred, this, &SerialCommPort::serialError);
    connect(&m_socket, &QTcpSocket::readyRead, this, &SerialCommPort::notifyReceived);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &SerialCommPort::socketError);
    connect(&m_socket, &QTcpSocket::connected, this, &SerialCommPort::socketConnected);
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        if (isConnecting())
            notifyLost(tr("no connection within %1 s").arg(kConnectTimeoutMs / 1000));
    });
}

void SerialCommPort::socketConnected()
{
    m_connectTimer.stop();
    // A network path that dies without a word (a cable, a router, a machine
    // switched off) is found by keep-alive probes even while nothing is sent.
    m_socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
#ifdef Q_OS_LINUX
    const int fd = int(m_socket.socketDescriptor());
    const int idle = kKeepAliveIdleS, interval = kKeepAliveIntervalS, probes = kKeepAliveProbes;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    // Unacknowledged data is given up on after as long as the probes take.
    const unsigned timeoutMs = (idle + interval * probes) * 1000u;
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &timeoutMs, sizeof timeoutMs);
#endif
    notifyConnected();
}

bool SerialCommPort::outputStuck(qint64 queued)
{
    if (queued <= kMaxQueuedOutput)
        return false;
    notifyLost(tr("the device takes nothing of what is sent (%1 bytes waiting)").arg(queued));
    return true;
}

bool SerialCommPort::parseSocketAddress(const QString &device, QString *host, quint16 *port)
{
    if (!device.startsWith(QLatin1String(kSocketScheme), Qt::CaseInsensitive))
        return false;
    const QUrl url(QStringLiteral("tcp://") + device.mid(int(qstrlen(kSocketScheme))), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0 || !url.path().isEmpty())
        return false;
    *host = url.host();
    *port = quint16(url.port());
    return true;
}

void SerialCommPort::serialError(QSerialPort::SerialPortError error)
{
    // A device that is gone keeps failing: once it does, the port is closed
    // and the loss said once.
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::PermissionError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::UnknownError:
        if (isOpen() && !m_overNetwork)
            notifyLost(m_serial.errorString());
        return;
    default:
        qCWarning(lcLink) << "serial error on" << m_serial.portName() << ":" << m_serial.errorString();
        return;
    }
}

void SerialCommPort::socketError(QAbstractSocket::SocketError)
{
    if (isOpen() && m_overNetwork)
        notifyLost(m_socket.errorString());
}

bool SerialCommPort::applySettings(const SerialSettings &s)
{
    if (m_overNetwork)
        return true;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (s.parity) {
    case 'E': parity = QSerialPort::EvenParity; break;
    case 'O': parity = QSerialPort::OddParity; break;
    case 'M': parity = QSerialPort::MarkParity; break;
    case 'S': parity = QSerialPort::SpaceParity; break;
    default: break;
    }
    bool ok = m_serial.setBaudRate(s.baud);
    ok = m_serial.setParity(parity) && ok;
    ok = m_serial.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) && ok;
    ok = m_serial.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) && ok;
    return ok;
}

bool SerialCommPort::openDevice(const QString &device, const SerialSettings &settings, QString *error)
{
    QString host;
    quint16 port = 0;
    m_overNetwork = parseSocketAddress(device, &host, &port);
    if (m_overNetwork) {
        // The connection is made on the event loop; what is written meanwhile
        // waits in the socket, and a connection that fails is a lost device.
        m_socket.abort();
        setConnecting();
        m_socket.connectToHost(host, port);
        m_connectTimer.start(kConnectTimeoutMs);
        return true;
    }
    if (device.startsWith(QLatin1String(kSocketScheme), Qt::CaseInsensitive)) {
        *error = QStringLiteral("%1 is no network address (socket://HOST:PORT)").arg(device);
        return false;
    }
    m_serial.setPortName(device);
    applySettings(settings);
    if (!m_serial.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("%1 (%2)").arg(m_serial.errorString(), device);
        return false;
    }
    // Settings given before opening are applied by open(); set them again in
    // case the driver reset any of them.
    applySettings(settings);
    m_serial.clear();
    m_fd = int(m_serial.handle());
    m_portWriting = false;
    m_emptyReads = 0;
    return true;
}

void SerialCommPort::closeDevice()
{
    m_connectTimer.stop();
    if (m_overNetwork)
        m_socket.abort();
    else
        m_serial.close();
    m_fd = -1;
}

void SerialCommPort::writeDevice(const QByteArray &bytes)
{
    if (m_overNetwork) {
        m_socket.write(bytes);
        outputStuck(m_socket.bytesToWrite());
        return;
    }
#ifdef Q_OS_UNIX
    // A command is a few bytes and the driver's buffer takes it at once: hand
    // it over directly, so that no write notifier is armed and disarmed (and
    // the event loop woken) for every poll query. Only what the driver did
    // not take goes through the port's own buffer.
    if (!m_portWriting || m_serial.bytesToWrite() == 0) {
        m_portWriting = false;
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else if (n < 0 && errno != EAGAIN)
                return notifyLost(QString::fromLocal8Bit(strerror(errno)));
            else
                break;
        }
        if (done < bytes.size() && !outputStuck(m_serial.bytesToWrite() + bytes.size() - done)) {
            m_serial.write(bytes.mid(done));
            m_portWriting = true;
        }
        return;
    }
#endif
    if (!outputStuck(m_serial.bytesToWrite() + bytes.size()))
        m_serial.write(bytes);
}

void SerialCommPort::setReadNotifications(bool on)
{
    m_readDirectly = false;
#ifdef Q_OS_UNIX
    if (m_overNetwork || !m_serial.isOpen())
        return;
    // The serial port reads whenever its descriptor is readable, waking the
    // program for every few bytes. A polled port turns that reader off and
    // reads the descriptor itself when asked.
    for (QSocketNotifier *notifier : m_serial.findChildren<QSocketNotifier *>()) {
        if (notifier->type() == QSocketNotifier::Read) {
            notifier->setEnabled(on);
            m_readDirectly = !on;
            // What the port took in while its reader was on is handed out first.
            m_portMayHoldInput = !on;
        }
    }
#else
    Q_UNUSED(on);
#endif
}

QByteArray SerialCommPort::readDevice()
{
    if (m_overNetwork)
        return m_socket.readAll();
    if (!m_readDirectly)
        return m_serial.readAll();
    QByteArray bytes;
#ifdef Q_OS_UNIX
    // Reading through the port arms its own reader again: only for what it
    // took in before its reader was turned off, and only once.
    if (m_portMayHoldInput) {
        m_portMayHoldInput = false;
        if (m_serial.bytesAvailable() > 0) {
            bytes = m_serial.readAll();
            setReadNotifications(false);
            m_portMayHoldInput = false;
        }
    }
    // A plain read, the port being non-blocking with no minimum count: it
    // gives what is waiting, or nothing at once. A device that has gone away
    // fails it.
    const int fd = m_fd;
    char chunk[512];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (bytes.isEmpty())
                notifyLost(QString::fromLocal8Bit(strerror(errno)));
            return bytes;
        }
        if (n <= 0)
            break;
        bytes.append(chunk, n);
        if (size_t(n) < sizeof chunk)
            break;
    }
    // A terminal that was hung up (a USB adapter pulled out) reads as empty
    // for ever; a write would fail, but a turn may have nothing to write.
    // Now and then an empty read asks the descriptor whether it hung up.
    if (bytes.isEmpty() && ++m_emptyReads >= kHangUpCheckEvery) {
        m_emptyReads = 0;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            notifyLost(tr("the device hung up"));
    }
#endif
    return bytes;
}
