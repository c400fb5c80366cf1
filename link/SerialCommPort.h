#pragma once

#include "link/CommPort.h"

#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

// The serial control over a real device: a serial port (or a pseudo-terminal),
// or, for a device written "socket://HOST:PORT", a raw TCP connection to a
// serial port shared over the network. Over the network the line speed is
// the server's business.
class SerialCommPort : public CommPort
{
    Q_OBJECT
public:
    explicit SerialCommPort(QObject *parent = nullptr);

    static constexpr const char *kSocketScheme = "socket://";
    // Host and port of a "socket://HOST:PORT" device; false for any other text.
    static bool parseSocketAddress(const QString &device, QString *host, quint16 *port);
    // A polled port asks whether its terminal hung up after this many empty reads.
    static constexpr int kHangUpCheckEvery = 50;
    // How long a network connection may take to stand.
    static constexpr int kConnectTimeoutMs = 5000;
    // TCP keep-alive on a network connection: first probe after this many
    // idle seconds, then every few seconds; so many unanswered probes drop it.
    static constexpr int kKeepAliveIdleS = 10;
    static constexpr int kKeepAliveIntervalS = 5;
    static constexpr int kKeepAliveProbes = 3;

    bool isNetworkDevice() const override { return m_overNetwork; }

protected:
    bool openDevice(const QString &device, const SerialSettings &settings, QString *error) override;
    void closeDevice() override;
    bool applySettings(const SerialSettings &settings) override;
    void writeDevice(const QByteArray &bytes) override;
    QByteArray readDevice() override;
    void setReadNotifications(bool on) override;

private:
    void serialError(QSerialPort::SerialPortError error);
    void socketError(QAbstractSocket::SocketError error);
    void socketConnected();
    // A device that takes nothing of what is written is as good as gone.
    bool outputStuck(qint64 queued);

    QSerialPort m_serial;
    QTcpSocket m_socket;
    QTimer m_connectTimer;
    bool m_overNetwork = false;
    bool m_readDirectly = false; // the port's own read notifier is off
    bool m_portMayHoldInput = false; // it may have read something before that
    bool m_portWriting = false; // the port's own buffer took part of a write
    int m_fd = -1; // the open device's descriptor
    int m_emptyReads = 0;
};
