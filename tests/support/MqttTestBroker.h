#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// A mosquitto broker of the test's own on 127.0.0.1, on a free port that it
// keeps when started again.
class MqttTestBroker
{
public:
    explicit MqttTestBroker(const QString &folder)
        : m_folder(folder)
    {
    }
    ~MqttTestBroker() { stop(); }

    // The broker program, or empty when it is not installed.
    static QString program()
    {
        QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        if (found.isEmpty())
            found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                                   {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
        return found;
    }

    quint16 port() const { return m_port; }

    bool start(QString *error)
    {
        if (m_port == 0) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0)) {
                *error = probe.errorString();
                return false;
            }
            m_port = probe.serverPort();
        }
        const QString conf = QDir(m_folder).filePath(QStringLiteral("mosquitto.conf"));
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = f.errorString();
            return false;
        }
        f.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n").arg(m_port).toUtf8());
        f.close();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program(), {QStringLiteral("-c"), conf});
        if (!m_process.waitForStarted(5000)) {
            *error = m_process.errorString();
            return false;
        }
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(200))
                return true;
            if (m_process.state() != QProcess::Running)
                break;
            QTest::qWait(50);
        }
        *error = QStringLiteral("the broker does not listen on port %1").arg(m_port);
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

private:
    QString m_folder;
    quint16 m_port = 0;
    QProcess m_process;
};
