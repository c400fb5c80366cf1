// The program's command line: export and import without windows, as a
// script would run them; and the windowed program ended by a signal.

#include "MqttTestBroker.h"
#include "MqttTestSubscriber.h"
#include "SimOnPty.h"
#include "data/ChannelDatabase.h"
#include "protocol/Commands.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QWebSocket>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int status = -1;
    QString out;
};

Run orvendal(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY")); // work without windows needs no display
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ORVENDAL_PROGRAM), arguments);
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
}

// A home of its own for a windowed run of the program: settings that point
// COM1 at the given device, and the environment that makes it use them.
struct ProgramHome
{
    QTemporaryDir dir;

    bool pointAt(const QString &device)
    {
        if (!QDir(dir.path()).mkpath(QStringLiteral("config/OVKS4410")))
            return false;
        QFile conf(configFile());
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write("[Config]\nCom_Port=1\nCom_Speed=19200\nCom_Device_1=" + device.toUtf8() + "\n");
        return true;
    }
    QString configFile() const { return dir.filePath(QStringLiteral("config/OVKS4410/OVKS4410.conf")); }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        return env;
    }
};

int count(ChannelDatabase &db, const QString &sql)
{
    QSqlQuery q(db.database());
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void versionAndHelp();
    void exportAndImport();
    void refusesWhatItCannotDoSafely();
    void endsInOrderOnSignal();
    void remotePanelForOneRun();
    void mqttForOneRun();
};

void TestCommandLine::versionAndHelp()
{
    Run r = orvendal({QStringLiteral("--version")});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out.trimmed(), QStringLiteral("Orvendal 1.15.24"));
    r = orvendal({QStringLiteral("--help")});
    QCOMPARE(r.status, 0);
    for (const char *option : {"--device", "--database", "--demo", "--export-banks", "--import-banks",
                               "--first-channel", "--export-talkgroups", "--import-talkgroups", "--yes",
                               "--list-audio-inputs", "--remote", "--mqtt"})
        QVERIFY2(r.out.contains(QLatin1String(option)), option);
    // Without a sound server (a socket that is not there, so that none is
    // started for the user either): "none" and a clean exit.
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/orvendal-test");
    r = orvendal({QStringLiteral("--list-audio-inputs")});
    if (server.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", server);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out.trimmed(), QStringLiteral("No audio inputs."));
}

void TestCommandLine::exportAndImport()
{
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("Orvendal.db"));
    const QString csv = dir.filePath(QStringLiteral("in.csv"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Location,Frequency,Name\n0,154.415000,Fire\n1,155.000000,Police\n2,9999,Bad\n");
    file.close();
    const QStringList base = {QStringLiteral("--database"), dbPath};
    ChannelDatabase db(dbPath, QStringLiteral("cli-check"));
    QString error;
    QVERIFY(db.open(&error));

    // The summary only: nothing written, so not a success.
    Run r = orvendal(base + QStringList{QStringLiteral("--import-banks"), csv, QStringLiteral("--first-channel"),
                                        QStringLiteral("51")});
    QCOMPARE(r.status, 4);
    QVERIFY(r.out.contains(QLatin1String("line 4")));
    QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM BANK02")), 0);

    // Written with --yes, in file order from channel 51; the refused line
    // still makes the status non-zero.
    r = orvendal(base + QStringList{QStringLiteral("--import-banks"), csv, QStringLiteral("--first-channel"),
                                    QStringLiteral("51"), QStringLiteral("--yes")});
    QCOMPARE(r.status, 3);
    QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM BANK02 WHERE CHANNEL IN (51, 52)")), 2);
    QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM BANK02 WHERE sFREQ = '154.4150' AND CHANNEL = 51")), 1);

    // A channel outside 1..1000 is refused before anything is read.
    r = orvendal(base + QStringList{QStringLiteral("--import-banks"), csv, QStringLiteral("--first-channel"),
                                    QStringLiteral("1001")});
    QCOMPARE(r.status, 2);

    // Export, then the same file back: nothing refused, a clean success.
    const QString out = dir.filePath(QStringLiteral("banks.csv"));
    r = orvendal(base + QStringList{QStringLiteral("--export-banks"), out});
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.contains(QLatin1String("2 rows written")));
    r = orvendal(base + QStringList{QStringLiteral("--import-banks"), out, QStringLiteral("--yes")});
    QCOMPARE(r.status, 0);
    QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM BANK02")), 2);

    r = orvendal(base + QStringList{QStringLiteral("--export-talkgroups"), dir.filePath(QStringLiteral("tg.csv"))});
    QCOMPARE(r.status, 0);
}

void TestCommandLine::refusesWhatItCannotDoSafely()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("Typo/Orvendl.db"));
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    const auto nothingMade = [&] { return QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot); };

    // A database that does not exist is not made by a batch command.
    for (const char *command : {"--export-banks", "--import-talkgroups"}) {
        const Run r = orvendal({QStringLiteral("--database"), missing, QLatin1String(command), csv});
        QCOMPARE(r.status, 1);
        QVERIFY(nothingMade());
    }

    // Options that cannot go together do nothing at all.
    const QString dbPath = dir.filePath(QStringLiteral("Orvendal.db"));
    {
        ChannelDatabase db(dbPath, QStringLiteral("made"));
        QString error;
        QVERIFY(db.open(&error));
    }
    const QStringList base = {QStringLiteral("--database"), dbPath};
    for (const QStringList &extra : {QStringList{"--export-banks", csv, "--import-banks", csv},
                                     QStringList{"--export-banks", csv, "--export-talkgroups", csv},
                                     QStringList{"--export-banks", csv, "--first-channel", "5"},
                                     QStringList{"--export-banks", csv, "--yes"},
                                     QStringList{"--export-banks", csv, "--demo"},
                                     QStringList{"--export-banks", csv, "--remote", "8044"},
                                     QStringList{"--export-banks", csv, "--mqtt", "localhost"},
                                     QStringList{"--export-banks", csv, "stray"}}) {
        QCOMPARE(orvendal(base + extra).status, 2);
        QVERIFY2(!QFile::exists(csv), qPrintable(extra.join(' ')));
    }

    // An export onto the database itself fails and leaves it working.
    QCOMPARE(orvendal(base + QStringList{"--export-banks", dbPath}).status, 1);
    QCOMPARE(orvendal(base + QStringList{"--export-talkgroups", csv}).status, 0);

    // A window run asks before it makes the file: while the question is
    // open (past the splash, after which the faceplate would open the
    // database), nothing is there.
    QTemporaryDir home;
    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    window.setProcessEnvironment(env);
    window.start(QStringLiteral(ORVENDAL_PROGRAM), {QStringLiteral("--database"), missing});
    QVERIFY(window.waitForStarted());
    QVERIFY(!window.waitForFinished(6500)); // waiting for the answer
    QVERIFY(!QFileInfo::exists(QFileInfo(missing).absolutePath()));
    window.kill();
    window.waitForFinished();
}

void TestCommandLine::endsInOrderOnSignal()
{
    // The program polls the simulator in trunk search, hearing one talkgroup;
    // SIGTERM comes while the row for it may still be queued.
    SimOnPty sim;
    sim.engine.setMode(ScannerEngine::TrunkSearch);
    sim.engine.setTalkgroupDisplayOn(true);
    sim.engine.setTalkgroups({{'C', QStringLiteral("04711")}}, 600000);
    QVERIFY(sim.up());
    ProgramHome home;
    QVERIFY(home.pointAt(sim.path));
    const QTemporaryDir &dir = home.dir;

    QProcess program;
    QProcessEnvironment env = home.environment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("orvendal.*.debug=false;orvendal.link.info=true;orvendal.startup.info=true"));
    program.setProcessEnvironment(env);
    int modulationQueries = 0;
    connect(&sim.link, &SimLink::commandReceived, &program, [&](const QString &command) {
        if (command == QLatin1String("RM") && ++modulationQueries == 3)
            program.terminate(); // SIGTERM
    });
    const QString db = dir.filePath(QStringLiteral("Orvendal.db"));
    {
        ChannelDatabase made(db, QStringLiteral("signal-made")); // a --database must exist
        QString error;
        QVERIFY(made.open(&error));
    }
    program.start(QStringLiteral(ORVENDAL_PROGRAM), {QStringLiteral("--database"), db});
    QTRY_VERIFY_WITH_TIMEOUT(program.state() == QProcess::NotRunning, 60000);
    const QString log = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(modulationQueries >= 3, qPrintable(log));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(log.contains(QLatin1String("ending on signal 15")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("closed \"%1\"").arg(sim.path)), qPrintable(log));
    ChannelDatabase check(db, QStringLiteral("signal-check"));
    QString error;
    QVERIFY(check.open(&error));
    QVERIFY(count(check, QStringLiteral("SELECT count(*) FROM TALKGROUP_ACTIVITY WHERE ID = '4711'")) >= 1);
    // The settings are still there for the next start.
    QVERIFY(QFile(home.configFile()).size() > 0);
}

void TestCommandLine::remotePanelForOneRun()
{
    // The program polls the simulator; --remote prints the page's address,
    // the page loads with it, and a key sent over the WebSocket reaches the
    // simulator as a faceplate button's would.
    SimOnPty sim;
    QVERIFY(sim.up());
    ProgramHome home;
    QVERIFY(home.pointAt(sim.path));
    QStringList received;
    connect(&sim.link, &SimLink::commandReceived, this, [&](const QString &command) { received << command; });

    QProcess program;
    QProcessEnvironment env = home.environment();
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ORVENDAL_PROGRAM), {QStringLiteral("--remote"), QStringLiteral("127.0.0.1:0")});
    QString out;
    const QRegularExpression address(QStringLiteral("Web front panel: (http://127\\.0\\.0\\.1:(\\d+)/\\?token=([0-9a-f]{32}))"));
    QRegularExpressionMatch match;
    QTRY_VERIFY_WITH_TIMEOUT((out += QString::fromUtf8(program.readAllStandardOutput()), match = address.match(out)).hasMatch(),
                             30000);
    QNetworkAccessManager nam;
    std::unique_ptr<QNetworkReply> page(nam.get(QNetworkRequest(QUrl(match.captured(1)))));
    QTRY_VERIFY_WITH_TIMEOUT(page->isFinished(), 10000);
    QCOMPARE(page->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);

    QTRY_VERIFY_WITH_TIMEOUT(received.size() > 2, 30000); // polling
    QWebSocket socket;
    QSignalSpy up(&socket, &QWebSocket::connected);
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws?token=%2").arg(match.captured(2), match.captured(3))));
    QVERIFY(up.wait(10000));
    socket.sendTextMessage(QStringLiteral("{\"key\":\"btnHOLD\"}"));
    QTRY_VERIFY_WITH_TIMEOUT(received.contains(Command::key(Command::Key::Hold)), 10000);
    program.terminate();
    QVERIFY(program.waitForFinished(30000));
    // Nothing but the token was added to the settings.
    QSettings written(home.configFile(), QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("Config/Remote_Token")).toString(), match.captured(3));
}

void TestCommandLine::mqttForOneRun()
{
    // --mqtt: online and polling while the program runs, offline after it,
    // and nothing of it in the settings.
    if (MqttTestBroker::program().isEmpty())
        QSKIP("mosquitto is not installed");
    SimOnPty sim;
    QVERIFY(sim.up());
    ProgramHome home;
    QVERIFY(home.pointAt(sim.path));
    QTemporaryDir dir;
    MqttTestBroker broker(dir.path());
    QString error;
    QVERIFY2(broker.start(&error), qPrintable(error));
    MqttTestSubscriber sub(broker.port(), {QStringLiteral("orvendal/#")});
    QProcess program;
    program.setProcessEnvironment(home.environment());
    program.start(QStringLiteral(ORVENDAL_PROGRAM), {QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(broker.port())});
    QTRY_COMPARE_WITH_TIMEOUT(sub.last(QStringLiteral("orvendal/status")), QByteArray("online"), 30000);
    const auto link = [&sub] {
        return QJsonDocument::fromJson(sub.last(QStringLiteral("orvendal/link"))).object().value(QStringLiteral("state")).toString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(link(), QStringLiteral("polling"), 30000);
    program.terminate();
    QVERIFY(program.waitForFinished(30000));
    QTRY_COMPARE(sub.last(QStringLiteral("orvendal/status")), QByteArray("offline"));
    QCOMPARE(link(), QStringLiteral("ended"));
    QSettings written(home.configFile(), QSettings::IniFormat);
    for (const QString &key : written.allKeys())
        QVERIFY2(!key.contains(QLatin1String("Mqtt")), qPrintable(key));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
