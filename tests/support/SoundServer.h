#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// A PulseAudio server of the test's own: its own runtime folder and socket,
// nothing of the user's session (as root, in CI, it warns and runs), with a
// null sink "orvendal_test" to play into and any further modules. Once it
// runs, this process's sound goes to it and to no other; set it up before
// anything of Qt Multimedia starts.
class SoundServer
{
public:
    ~SoundServer()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000))
                m_server.kill();
        }
    }

    // False, with *why, where it cannot run.
    bool start(const QStringList &moreModules, QString *why)
    {
        const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (pulseaudio.isEmpty() || !m_runtime.isValid()) {
            *why = QStringLiteral("pulseaudio is needed (Debian: pulseaudio)");
            return false;
        }
        const QString socket = m_runtime.filePath(QStringLiteral("native"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_runtime.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_runtime.filePath(QStringLiteral("pulse")));
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The sink and the other modules first: once the socket is there, so are they.
        QStringList args{QStringLiteral("--daemonize=no"), QStringLiteral("-n"), QStringLiteral("--exit-idle-time=-1"),
                         QStringLiteral("--use-pid-file=no"), QStringLiteral("--system=false"),
                         QStringLiteral("--log-level=error"), QStringLiteral("-L"),
                         QStringLiteral("module-null-sink sink_name=orvendal_test")};
        for (const QString &module : moreModules)
            args << QStringLiteral("-L") << module;
        args << QStringLiteral("-L") << QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=%1").arg(socket);
        m_server.start(pulseaudio, args);
        if (!m_server.waitForStarted()) {
            *why = QStringLiteral("pulseaudio would not start here");
            return false;
        }
        for (int i = 0; i < 200 && !QFileInfo::exists(socket) && m_server.state() != QProcess::NotRunning; ++i)
            QTest::qWait(50);
        if (m_server.state() == QProcess::NotRunning || !QFileInfo::exists(socket)) {
            *why = QStringLiteral("pulseaudio would not start here");
            return false;
        }
        qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());
        qputenv("PULSE_RUNTIME_PATH", m_runtime.filePath(QStringLiteral("pulse")).toLocal8Bit());
        return true;
    }

private:
    QTemporaryDir m_runtime;
    QProcess m_server;
};
