// The bundled alert sound is played: heard at a sound server of the test's
// own.
#include "AlertRig.h"
#include "SoundServer.h"

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
    if (QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty())
        QSKIP("pulseaudio and parec are needed (Debian: pulseaudio pulseaudio-utils)");
    SoundServer server;
    QString why;
    if (!server.start({}, &why))
        QSKIP(qPrintable(why));
    QProcess listener;
    listener.start(QStringLiteral("parec"), {QStringLiteral("--device=orvendal_test.monitor"), QStringLiteral("--raw"),
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
}

QTEST_GUILESS_MAIN(TestAlertSound)
#include "tst_alertsound.moc"
