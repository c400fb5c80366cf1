#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

class TrafficTap;

// Line settings parsed from a settings string such as "9600,N,8,1".
struct SerialSettings
{
    int baud = 0;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;

    static bool parse(const QString &text, SerialSettings *out);
};

// The program's serial control: one per window that talks to the scanner.
// Mirrors what the program needs of a serial line: a port number and a
// settings string set before opening, open/close, writing a whole frame,
// reading everything that has arrived, a receive event that is raised from
// the first received byte on, and word when the device is lost.
class CommPort : public QObject
{
    Q_OBJECT
public:
    static constexpr int kNoEvent = 0;
    static constexpr int kReceived = 2;

    using DeviceResolver = std::function<QString(int comPort)>;

    explicit CommPort(QObject *parent = nullptr);
    ~CommPort() override;

    void setCommPort(int port) { m_commPort = port; }
    int commPort() const { return m_commPort; }

    // Applied at once when the port is open, otherwise at the next open.
    void setSettings(const QString &settings);
    QString settings() const { return m_settings; }

    void setDeviceResolver(DeviceResolver resolver) { m_resolver = std::move(resolver); }
    QString deviceName() const;

    // Opens the device behind the port number with the settings. On failure
    // the port stays closed and errorString() says why.
    bool open();
    // Closes the device; what it had received and not read is dropped.
    void close();
    bool isOpen() const { return m_open; }
    // Open, but the connection to the device is still being made (a device
    // over the network); connected() comes once it stands, lost() if it fails.
    bool isConnecting() const { return m_open && m_connecting; }
    // A device reached over the network, whose silence may mean a dead path.
    virtual bool isNetworkDevice() const { return false; }
    QString errorString() const { return m_error; }
    // The last loss was a connection that never stood: a failed open, whose
    // reason errorString() then gives.
    bool lostWhileConnecting() const { return m_lostConnecting; }

    // The user of the port gives up on the device (it stopped answering):
    // closed, and lost() said as for any other loss.
    void dropAsLost(const QString &reason) { notifyLost(reason); }

    // What may wait to be written to a device that does not take it; past it
    // the device counts as lost.
    static constexpr qint64 kMaxQueuedOutput = 64 * 1024;

    // Writes the bytes as they are. Ignored while the port is closed.
    void write(const QByteArray &bytes);
    // Writes one framed command (text plus carriage return).
    void send(const QString &command);

    // Every byte waiting, or nothing.
    QByteArray input();

    // A polled port is read on its reader's own rhythm: arriving bytes wake
    // nobody; poll() takes in what has arrived (making commEvent() current)
    // and input() then hands it out. Other ports raise received().
    void setPolled(bool polled);
    bool isPolled() const { return m_polled; }
    void poll();
    // kReceived once anything was received since the port opened.
    int commEvent() const { return m_commEvent; }

    // The serial monitor, while it records this port; null otherwise.
    void setTap(TrafficTap *tap) { m_tap = tap; }

    // Totals since construction, for measurements.
    qint64 bytesWritten() const { return m_bytesWritten; }
    qint64 bytesRead() const { return m_bytesRead; }

signals:
    // New bytes are waiting to be read.
    void received();
    // The device went away while open (removed, hung up, a read or write
    // error, a network connection closed). The port is closed already; this
    // comes once per loss.
    void lost(const QString &reason);
    // The port was opened or closed.
    void openChanged(bool open);
    // The connection of a port that was connecting now stands.
    void connected();

protected:
    virtual bool openDevice(const QString &device, const SerialSettings &settings, QString *error) = 0;
    virtual void closeDevice() = 0;
    virtual bool applySettings(const SerialSettings &settings) = 0;
    virtual void writeDevice(const QByteArray &bytes) = 0;
    virtual QByteArray readDevice() = 0;
    // Whether the device wakes the program for arriving bytes (on by default).
    virtual void setReadNotifications(bool) {}

    // Implementations call this when bytes arrive.
    void notifyReceived();
    // Implementations call this when the open device fails for good.
    void notifyLost(const QString &reason);
    // Implementations that connect in the background: from openDevice(), that
    // the connection is still being made; later, that it stands.
    void setConnecting() { m_connecting = true; }
    void notifyConnected();

private:
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    DeviceResolver m_resolver;
    bool m_open = false;
    bool m_connecting = false;
    bool m_lostConnecting = false;
    QString m_error;
    int m_commEvent = kNoEvent;
    bool m_polled = false;
    QByteArray m_polledInput;
    qint64 m_bytesWritten = 0;
    qint64 m_bytesRead = 0;
    TrafficTap *m_tap = nullptr;
};
