// A recording through a real sound server: PulseAudio, started here with a
// null sink whose monitor is the input, and a tone played into it.

#include "RecordingRig.h"
#include "SoundServer.h"
#include "recording/QtAudioInput.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>
#include <numbers>

class TestRecordingAudio : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void toneThroughTheSoundServer();
    void inputRemovedAndBack();

private:
    SoundServer m_sound;
};

void TestRecordingAudio::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pacat")).isEmpty())
        QSKIP("pacat is needed (Debian: pulseaudio-utils)");
    // Qt lists no monitor sources, so the sink's monitor is remapped to a
    // source of its own.
    QString why;
    if (!m_sound.start({QStringLiteral("module-remap-source master=orvendal_test.monitor source_name=orvendal_input")}, &why))
        QSKIP(qPrintable(why));
}

// A 1 kHz tone played into the null sink during a call: the call's file
// holds it, at its pitch and level.
void TestRecordingAudio::toneThroughTheSoundServer()
{
    const QString source = QStringLiteral("orvendal_input");
    QStringList ids;
    for (const QtAudioInput::Device &d : QtAudioInput::inputs())
        ids << d.id;
    QVERIFY2(ids.contains(source), qPrintable(ids.join(QLatin1Char(' '))));
    // The program lists it too.
    QProcess list;
    list.start(QStringLiteral(ORVENDAL_PROGRAM), {QStringLiteral("--list-audio-inputs")});
    QVERIFY(list.waitForFinished(30000));
    QCOMPARE(list.exitCode(), 0);
    QVERIFY(QString::fromLocal8Bit(list.readAllStandardOutput()).contains(source + QLatin1Char('\t')));

    QtAudioInput input(source);
    RecordingRig r;
    r.rig.enterMode(ScannerMode::Scan);
    r.recorder = std::make_unique<Recorder>(r.settings, r.databasePath, &input, &r.tracker);
    QSignalSpy finished(r.recorder.get(), &Recorder::recordingFinished);
    constexpr int kTone = 1000;
    QByteArray pcm(AudioInput::kSampleRate * 5 * 2, Qt::Uninitialized);
    auto *s = reinterpret_cast<qint16 *>(pcm.data());
    for (int i = 0; i < AudioInput::kSampleRate * 5; ++i)
        s[i] = qint16(16000 * std::sin(2 * std::numbers::pi * kTone * i / AudioInput::kSampleRate));
    QProcess player;
    player.start(QStringLiteral("pacat"), {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                                           QStringLiteral("--rate=16000"), QStringLiteral("--channels=1"),
                                           QStringLiteral("--device=orvendal_test"),
                                           // a short latency, else the null sink renders seconds at a time
                                           QStringLiteral("--latency-msec=20")});
    QVERIFY(player.waitForStarted());
    player.write(pcm);
    player.closeWriteChannel();
    QTest::qWait(300); // the tone is under way
    QSignalSpy sound(&input, &AudioInput::captured);
    r.recorder->start();
    QCOMPARE(r.recorder->state(), Recorder::State::Recording);

    // The server's first sound comes a second or two after the start.
    QTRY_VERIFY_WITH_TIMEOUT(!sound.isEmpty(), 10000);
    QTest::qWait(r.settings.preRollMillis + 200);
    r.channelCall(31, 1500);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    player.kill();
    player.waitForFinished();

    QByteArray got;
    QString error;
    QVERIFY(AudioFile::readSamples(finished.first().first().toString(), &got, &error));
    const auto *g = reinterpret_cast<const qint16 *>(got.constData());
    const qsizetype n = got.size() / 2;
    QVERIFY2(n > AudioInput::kSampleRate, qPrintable(QString::number(n)));
    int crossings = 0;
    for (qsizetype i = 1; i < n; ++i)
        crossings += (g[i - 1] < 0) != (g[i] < 0);
    const double pitch = crossings / 2.0 * AudioInput::kSampleRate / double(n);
    QVERIFY2(std::abs(pitch - kTone) < 50, qPrintable(QString::number(pitch)));
    QVERIFY2(AudioInput::rms(got) > 0.2, qPrintable(QString::number(AudioInput::rms(got))));
}

// The input's source goes from the server mid-capture: said once; when a
// source of that name is back, capture starts again by itself.
void TestRecordingAudio::inputRemovedAndBack()
{
    // What pactl printed; nullopt when it failed.
    auto pactl = [](const QStringList &args) -> std::optional<QString> {
        QProcess p;
        p.start(QStringLiteral("pactl"), args);
        if (!p.waitForFinished(5000) || p.exitCode() != 0)
            return std::nullopt;
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    };
    if (QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty())
        QSKIP("pactl is needed (Debian: pulseaudio-utils)");
    const QStringList load{QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                           QStringLiteral("master=orvendal_test.monitor"), QStringLiteral("source_name=orvendal_spare")};
    const std::optional<QString> module = pactl(load);
    QVERIFY(module && !module->isEmpty());
    QTRY_VERIFY(QtAudioInput::inputs().size() >= 2);
    QtAudioInput input(QStringLiteral("orvendal_spare"));
    QSignalSpy lost(&input, &AudioInput::lost);
    QSignalSpy returned(&input, &AudioInput::returned);
    QString error;
    QVERIFY2(input.start(&error), qPrintable(error));
    QVERIFY(pactl({QStringLiteral("unload-module"), *module}));
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
    QVERIFY(!input.isActive());
    QTest::qWait(300);
    QCOMPARE(lost.size(), 1);
    QVERIFY(pactl(load));
    QTRY_COMPARE_WITH_TIMEOUT(returned.size(), 1, 5000);
    QVERIFY(input.isActive());
    input.stop();

    // Not there at the start: capture starts once it comes.
    QtAudioInput late(QStringLiteral("orvendal_late"));
    QSignalSpy lateBack(&late, &AudioInput::returned);
    QVERIFY(!late.start(&error));
    QVERIFY(pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                   QStringLiteral("master=orvendal_test.monitor"), QStringLiteral("source_name=orvendal_late")}));
    QTRY_COMPARE_WITH_TIMEOUT(lateBack.size(), 1, 5000);
    QVERIFY(late.isActive());
}

QTEST_MAIN(TestRecordingAudio)
#include "tst_recordingaudio.moc"
