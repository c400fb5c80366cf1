// A scanner on another machine: its serial port shared over TCP by a real
// serial-to-network server (ser2net), here on 127.0.0.1 in front of the
// simulator's pseudo-terminal.

#include "SessionRig.h"
#include "SimOnPty.h"
#include "link/SerialCommPort.h"
#include "transfer/BankBackup.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// ser2net sharing a device on a loopback port.
class Server
{
public:
    Server(const QString &device, const QString &folder)
        : m_config(folder + QStringLiteral("/ser2net.yaml"))
    {
        QTcpServer probe; // a free port
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
        probe.close();
        QFile file(m_config);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("%YAML 1.1\n---\nconnection: &scanner\n  accepter: tcp,127.0.0.1,%1\n  enable: on\n"
                                  "  options:\n    kickolduser: true\n  connector: serialdev,%2,19200n81,local\n")
                       .arg(m_port)
                       .arg(device)
                       .toUtf8());
    }
    ~Server() { stop(); }

    quint16 port() const { return m_port; }
    QString address() const { return QStringLiteral("socket://127.0.0.1:%1").arg(m_port); }

    static QString program()
    {
        return QStandardPaths::findExecutable(QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    }
    bool start()
    {
        const QString program = Server::program();
        if (program.isEmpty())
            return false;
        m_process.start(program, {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), m_config});
        if (!m_process.waitForStarted(5000))
            return false;
        // Listening once a connection is taken.
        return QTest::qWaitFor([this] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            return socket.waitForConnected(200);
        }, 5000);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

private:
    QString m_config;
    quint16 m_port = 0;
    QProcess m_process;
};

// A TCP relay in front of the server that can stop forwarding without
// closing anything: a network path that dies silently.
class Relay : public QObject
{
public:
    explicit Relay(quint16 target)
        : m_target(target)
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *in = m_server.nextPendingConnection()) {
                auto *out = new QTcpSocket(in);
                out->connectToHost(QHostAddress::LocalHost, m_target);
                auto pass = [this](QTcpSocket *from, QTcpSocket *to) {
                    const QByteArray bytes = from->readAll();
                    if (m_forwarding)
                        to->write(bytes);
                };
                QObject::connect(in, &QTcpSocket::readyRead, this, [=] { pass(in, out); });
                QObject::connect(out, &QTcpSocket::readyRead, this, [=] { pass(out, in); });
                QObject::connect(in, &QTcpSocket::disconnected, in, &QObject::deleteLater);
            }
        });
    }
    QString address() const { return QStringLiteral("socket://127.0.0.1:%1").arg(m_server.serverPort()); }
    void setForwarding(bool on) { m_forwarding = on; }

private:
    QTcpServer m_server;
    quint16 m_target;
    bool m_forwarding = true;
};

// A session on the real serial control, pointed at a network address.
struct NetSession
{
    TempSettings store;
    SerialCommPort port;
    SessionParts parts{&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db"))};
    ScannerSession &session = parts.session;

    explicit NetSession(const QString &address)
    {
        store->setValue("Config/Com_Port", "1");
        store->setValue("Config/Com_Speed", "19200");
        store->setValue("Config/Com_Device_1", address);
        session.setSelfTestPause(1);
    }
};

} // namespace

class TestSer2net : public QObject
{
    Q_OBJECT
private slots:
    void socketAddresses();
    void scannerOnAnotherMachine();
    void serverDownIsSaidOnce();
    void silentPathIsReconnected();
};

void TestSer2net::socketAddresses()
{
    QString host;
    quint16 port = 0;
    QVERIFY(SerialCommPort::parseSocketAddress(QStringLiteral("socket://attic-pc:3001"), &host, &port));
    QCOMPARE(host, QStringLiteral("attic-pc"));
    QCOMPARE(port, quint16(3001));
    QVERIFY(SerialCommPort::parseSocketAddress(QStringLiteral("SOCKET://127.0.0.1:7"), &host, &port));
    for (const char *bad : {"socket://attic-pc", "socket://:3001", "socket://host:0", "socket://host:99999",
                            "socket://host:3001/x", "/dev/ttyUSB0", "tcp://host:3001"})
        QVERIFY2(!SerialCommPort::parseSocketAddress(QLatin1String(bad), &host, &port), bad);

    // A malformed address is refused at open, with a reason.
    SerialCommPort serial;
    serial.setDeviceResolver([](int) { return QStringLiteral("socket://nowhere"); });
    serial.setSettings(QStringLiteral("19200,N,8,1"));
    QVERIFY(!serial.open());
    QVERIFY(serial.errorString().contains(QLatin1String("socket://HOST:PORT")));
}

void TestSer2net::scannerOnAnotherMachine()
{
    SimOnPty sim;
    QVERIFY(sim.up());
    sim.engine.setChannel(53, {1544150, false, true, false, true});
    Server server(sim.path, sim.dir.path());
    if (Server::program().isEmpty())
        QSKIP("ser2net is not installed (scripts/lib.sh installs it)");
    QVERIFY2(server.start(), "ser2net must be able to listen on 127.0.0.1");

    TempSettings store;
    store->setValue("Config/Com_Port", "1");
    store->setValue("Config/Com_Speed", "19200");
    store->setValue("Config/Com_Device_1", server.address());
    SerialCommPort port;
    const QString dbPath = store.dir.filePath(QStringLiteral("Data/Orvendal.db"));
    SessionParts parts(&port, store.store.get(), dbPath);
    ScannerSession &session = parts.session;
    session.setSelfTestPause(1);
    session.load();
    QTRY_COMPARE(session.phase(), ScannerSession::Phase::Polling);
    QCOMPARE(parts.display.statusLine(), QStringLiteral("COMM PORT #1 OPENED at 19200,N,8,1"));

    // A conversation: scanning, then manual mode on channel 53.
    sim.engine.setCurrentChannel(53);
    sim.engine.forceSquelch(1);
    QTRY_COMPARE(parts.display.text(DisplayModel::FREQ), QStringLiteral("154.4150"));
    parts.keypad.press(QStringLiteral("btnMAN"));
    QTRY_COMPARE(session.state().mode, ScannerMode::Manual);
    QTRY_COMPARE(parts.display.text(DisplayModel::MANUAL), QStringLiteral("MANUAL"));
    QTRY_COMPARE(parts.display.text(DisplayModel::CHAN), QStringLiteral("053"));

    // A one-bank backup over the network, on a port of its own.
    const LinkLoan saved = session.lendLink();
    {
        ChannelDatabase db(dbPath, QStringLiteral("ser2net-backup"));
        SerialCommPort transferPort;
        transferPort.setDeviceResolver([&server](int) { return server.address(); });
        BankBackup backup(&transferPort, &db, session.link(), {2});
        QSignalSpy finished(&backup, &BankTransfer::finished);
        backup.start();
        QVERIFY(finished.wait(30000));
        QCOMPARE(backup.result().outcome, BankTransfer::Outcome::Completed);
        QSqlQuery q(db.database());
        QVERIFY(q.exec(QStringLiteral("SELECT count(*), sum(sFREQ = '154.4150') FROM BANK02")) && q.next());
        QCOMPARE(q.value(0).toInt(), 50);
        QCOMPARE(q.value(1).toInt(), 1);
    }
    session.returnLink(saved);
    QTRY_COMPARE(session.phase(), ScannerSession::Phase::Polling);

    // The server goes away and comes back: lost, then resumed.
    server.stop();
    QTRY_COMPARE(session.phase(), ScannerSession::Phase::Waiting);
    QVERIFY(parts.display.statusLine().contains(QLatin1String("LOST")));
    QVERIFY(server.start());
    QTRY_COMPARE_WITH_TIMEOUT(session.phase(), ScannerSession::Phase::Polling, 3000 + ScannerSession::kRetryMillis);
    sim.engine.clearCommandLog();
    QTRY_VERIFY(sim.engine.commandLog().contains(QStringLiteral("MD")));
    session.shutdown();
}

void TestSer2net::serverDownIsSaidOnce()
{
    SimOnPty sim;
    QVERIFY(sim.up());
    Server server(sim.path, sim.dir.path());
    NetSession net(server.address());
    WarningCounter warnings;
    QStringList statuses;
    connect(&net.parts.display, &DisplayModel::statusLineChanged, this, [&] { statuses << net.parts.display.statusLine(); });
    net.session.load();
    // Nobody listens: refused at once, tried again every 2 s, never "OPENED".
    QTest::qWait(3 * ScannerSession::kRetryMillis + 500);
    QCOMPARE(net.session.phase(), ScannerSession::Phase::Waiting);
    for (const QString &status : std::as_const(statuses))
        QVERIFY2(!status.contains(QLatin1String("OPENED")), qPrintable(status));
    QVERIFY2(net.parts.display.statusLine().endsWith(QLatin1String("- retrying")), qPrintable(net.parts.display.statusLine()));
    QCOMPARE(warnings.count(), 1);

    QVERIFY2(server.start(), "ser2net must be installed and able to listen on 127.0.0.1");
    QTRY_COMPARE_WITH_TIMEOUT(net.session.phase(), ScannerSession::Phase::Polling, 3000 + ScannerSession::kRetryMillis);
    QVERIFY(net.parts.display.statusLine().contains(QLatin1String("OPENED")));
    net.session.shutdown();
}

void TestSer2net::silentPathIsReconnected()
{
    SimOnPty sim;
    QVERIFY(sim.up());
    Server server(sim.path, sim.dir.path());
    QVERIFY2(server.start(), "ser2net must be installed and able to listen on 127.0.0.1");
    Relay relay(server.port());
    NetSession net(relay.address());
    net.session.load();
    QTRY_COMPARE(net.session.phase(), ScannerSession::Phase::Polling);

    // The path goes dead with no FIN and no RST: after 5 s without a reply
    // the link counts as lost and is tried again.
    relay.setForwarding(false);
    QTRY_COMPARE_WITH_TIMEOUT(net.session.phase(), ScannerSession::Phase::Waiting, PollLoop::kQuietMillis + 2000);
    QVERIFY2(net.parts.display.statusLine().contains(QLatin1String("LOST")), qPrintable(net.parts.display.statusLine()));
    QVERIFY(!net.port.isOpen()); // nothing piles up in a dead connection

    relay.setForwarding(true);
    QTRY_COMPARE_WITH_TIMEOUT(net.session.phase(), ScannerSession::Phase::Polling, 3000 + ScannerSession::kRetryMillis);
    sim.engine.clearCommandLog();
    QTRY_VERIFY(sim.engine.commandLog().contains(QStringLiteral("SQ")));
    net.session.shutdown();
}

QTEST_GUILESS_MAIN(TestSer2net)
#include "tst_ser2net.moc"
