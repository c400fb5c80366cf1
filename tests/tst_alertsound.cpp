// The bundled alert sound is played: heard at a sound server of the test's
// own.
#include "AlertRig.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

class TestAlertSound : public QObject
{
    Q_OBJECT
private slots:
    void soundIsHeard();
};

// The bundled chime reaches a sound server of the test's own (a PulseAudio
// null sink, listened to at its monitor), set before Qt Multimedia starts.
void TestAlertSound::soundIsHeard()
{
    const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (pulseaudio.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty())
        QSKIP("pulseaudio and parec are needed (Debian: pulseaudio pulseaudio-utils)");
    QTemporaryDir runtime;
    const QString socket = runtime.filePath(QStringLiteral("native"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), runtime.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), runtime.filePath(QStringLiteral("pulse")));
    QProcess server;
    server.setProcessEnvironment(env);
    server.start(pulseaudio, {QStringLiteral("--daemonize=no"), QStringLiteral("-n"), QStringLiteral("--exit-idle-time=-1"),
                              QStringLiteral("--use-pid-file=no"), QStringLiteral("--system=false"),
                              QStringLiteral("--log-level=error"),
                              QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=alerts_test"),
                              QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=%1").arg(socket)});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket) || server.state() == QProcess::NotRunning, 10000);
    if (server.state() == QProcess::NotRunning)
        QSKIP("pulseaudio would not start here");
    qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());
    qputenv("PULSE_RUNTIME_PATH", runtime.filePath(QStringLiteral("pulse")).toLocal8Bit());
    QProcess listener;
    listener.start(QStringLiteral("parec"), {QStringLiteral("--device=alerts_test.monitor"), QStringLiteral("--raw"),
                                             QStringLiteral("--format=s16le"), QStringLiteral("--rate=22050"),
                                             QStringLiteral("--channels=1")});
    QVERIFY(listener.waitForStarted());

    AlertRig a;
    AlertRule r = rule(QStringLiteral("Chime"), AlertRule::Match::Talkgroups, QStringLiteral("150"), 0);
    r.notify = false;
    r.sound = true;
    a.save(r);
    QByteArray heard;
    connect(&listener, &QProcess::readyReadStandardOutput, this, [&] { heard += listener.readAllStandardOutput(); });
    const auto loudest = [&] {
        int peak = 0;
        const auto *s = reinterpret_cast<const qint16 *>(heard.constData());
        for (qsizetype i = 0; i < heard.size() / 2; ++i)
            peak = std::max(peak, std::abs(int(s[i])));
        return peak;
    };
    a.talkgroup(QStringLiteral("150"));
    QTRY_VERIFY_WITH_TIMEOUT(loudest() > 5000, 10000); // the chime is at a third of full scale
    listener.kill();
    listener.waitForFinished();
    server.terminate();
    if (!server.waitForFinished(5000))
        server.kill();
}

QTEST_GUILESS_MAIN(TestAlertSound)
#include "tst_alertsound.moc"
