// Per-call recordings: calls the poll loop sees become files and rows, with
// the tone generator as the sound card.

#include "ActivityChecks.h"
#include "RecordingRig.h"
#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"
#include "recording/RecordingStore.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

#include <cmath>

namespace {

double seconds(const QString &path)
{
    AudioFile::Info info;
    QString error;
    return AudioFile::read(path, &info, &error) ? info.seconds : -1.0;
}

// The pitch of the loudest stretch of a file, from its zero crossings.
double pitch(const QString &path)
{
    QByteArray pcm;
    QString error;
    if (!AudioFile::readSamples(path, &pcm, &error))
        return -1;
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype n = pcm.size() / 2;
    qsizetype crossings = 0, loud = 0;
    for (qsizetype i = 1; i < n; ++i) {
        if (std::abs(s[i]) > 1000 || std::abs(s[i - 1]) > 1000) {
            ++loud;
            crossings += (s[i - 1] < 0) != (s[i] < 0);
        }
    }
    return loud ? crossings / 2.0 * AudioInput::kSampleRate / double(loud) : 0;
}

struct Row
{
    QString file, channel, frequency, talkgroup;
    double duration;
    QVariant activity;
    QVariant channelActivity;
};

QList<Row> rows(const QString &databasePath)
{
    ChannelDatabase db(databasePath, QStringLiteral("check"), 2000);
    QString error;
    if (!db.open(&error))
        return {};
    QSqlQuery q(db.database());
    q.exec(QStringLiteral("SELECT FILE, CHANNEL, FREQUENCY, TALKGROUP, DURATION, ACTIVITY, CHANNEL_ACTIVITY FROM RECORDINGS "
                          "ORDER BY START_UTC"));
    QList<Row> out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                    q.value(4).toDouble(), q.value(5), q.value(6)});
    return out;
}

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT
private slots:
    void conventionalCallsBecomeFiles();
    void talkgroupCallsCarryTheirActivity();
    void callsEndWithTheModeOrTheLink();
    void namesAndSettings();
    void everyFormatReadsBack();
};

// Scan mode: one file per call, its length the call's plus the pre-roll
// (within a poll turn and a sound block); a call that resumes within the hang
// time goes on in the same file; one shorter than the shortest kept is
// dropped; another channel while the squelch stays open is another call.
// Each file's row points at its call's row in the channels' activity.
void TestRecording::conventionalCallsBecomeFiles()
{
    RecordingRig r;
    r.rig.enterMode(ScannerMode::Scan);
    Recorder &recorder = r.start();
    QSignalSpy finished(&recorder, &Recorder::recordingFinished);
    QSignalSpy dropped(&recorder, &Recorder::recordingDropped);
    QSignalSpy announced(DataChanges::instance(), &DataChanges::changed);

    QList<qint64> expected;
    expected << r.channelCall(12, 800);
    r.turnFor(600); // past the hang time
    // Resumed after 150 ms: one call, the gap within the pre-roll kept.
    QElapsedTimer joined;
    joined.start();
    r.channelCall(13, 300);
    r.turnFor(150);
    r.channelCall(13, 300);
    expected << joined.elapsed();
    r.turnFor(600);
    r.channelCall(14, 100); // too short
    r.turnFor(600);
    // Channel 15, then 16 without the squelch closing between them.
    r.rig.reply(QStringLiteral("+"));
    r.rig.reply(QStringLiteral("C015 F01544150 TF DF LF AF PF"));
    QElapsedTimer t;
    t.start();
    r.turnFor(500);
    r.rig.reply(QStringLiteral("C016 F01545000 TF DF LF AF PF"));
    expected << t.restart();
    r.turnFor(500);
    r.rig.reply(QStringLiteral("-"));
    expected << t.elapsed();

    QTRY_COMPARE_WITH_TIMEOUT(finished.size() + dropped.size(), 5, 5000);
    QCOMPARE(dropped.size(), 1);
    // Windows listing recordings hear of each one.
    QCOMPARE(announced.size(), 4);
    QCOMPARE(announced.first().first().toStringList(), QStringList{QStringLiteral("RECORDINGS")});
    const QStringList files = r.files();
    QCOMPARE(files.size(), 4);
    QVERIFY(r.partFiles().isEmpty());
    const QList<Row> table = rows(r.rig.databasePath());
    QCOMPARE(table.size(), 4);
    ChannelDatabase db(r.rig.databasePath(), QStringLiteral("calls"), 2000);
    QString error;
    QVERIFY(db.open(&error));
    // Every call has its row, the dropped one too; the one that resumed has two.
    QTRY_COMPARE(count(db.database(), QStringLiteral("SELECT count(*) FROM CHANNEL_ACTIVITY")), 6);
    const QStringList channels{QStringLiteral("012"), QStringLiteral("013"), QStringLiteral("015"), QStringLiteral("016")};
    const double preRoll = r.settings.preRollMillis / 1000.0;
    const double slack = (PollLoop::kTurnMillis + 2 * ToneGenerator::kBlockMillis + 30) / 1000.0;
    for (int i = 0; i < 4; ++i) {
        const Row &row = table.at(i);
        QVERIFY2(row.channel.endsWith(channels.at(i)), qPrintable(row.channel));
        QVERIFY(files.contains(row.file));
        const double call = expected.at(i) / 1000.0;
        const double length = seconds(row.file);
        QVERIFY2(length >= call - slack && length <= call + preRoll + slack,
                 qPrintable(QStringLiteral("%1: %2 s for a call of %3 s").arg(row.file).arg(length).arg(call)));
        QCOMPARE(row.duration, length);
        QVERIFY(row.activity.isNull());
        QSqlQuery heard(db.database());
        heard.prepare(QStringLiteral("SELECT CHANNEL, FREQUENCY FROM CHANNEL_ACTIVITY WHERE rowid = ?"));
        heard.addBindValue(row.channelActivity);
        QVERIFY2(heard.exec() && heard.next(), qPrintable(row.file));
        QCOMPARE(heard.value(0).toString(), row.channel);
        QCOMPARE(heard.value(1).toString(), row.frequency);
        QVERIFY(row.file.contains(QRegularExpression(QStringLiteral("/\\d{4}-\\d\\d-\\d\\d/\\d{6}_%1_unnamed\\.flac$")
                                                         .arg(channels.at(i)))));
    }
    // The channel's tone is in its file.
    QVERIFY(std::abs(pitch(table.first().file) - ToneGenerator::frequencyFor(QStringLiteral("012"))) < 30);
}

// Trunk search: a file per talkgroup shown, tagged with the talkgroup's
// names, its row pointing at the talkgroup's activity row.
void TestRecording::talkgroupCallsCarryTheirActivity()
{
    RecordingRig r;
    {
        ChannelDatabase db(r.rig.databasePath(), QStringLiteral("setup"), 2000);
        QString error;
        QVERIFY(db.open(&error));
        QVERIFY(db.addTalkgroup({QStringLiteral("123"), QStringLiteral("Ashby"), QStringLiteral("Fire/Rescue: Dispatch"),
                                 QString()},
                                QDateTime::currentDateTime(), &error));
    }
    r.rig.enterMode(ScannerMode::TrunkSearch);
    Recorder &recorder = r.start();
    QSignalSpy finished(&recorder, &Recorder::recordingFinished);
    r.talkgroupCall(QStringLiteral("00123"), 700);
    r.turnFor(100);
    r.talkgroupCall(QStringLiteral("00456"), 700);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 5000);
    QVERIFY(finished.at(0).at(1).toBool() && finished.at(1).at(1).toBool());

    const QList<Row> table = rows(r.rig.databasePath());
    QCOMPARE(table.size(), 2);
    ChannelDatabase db(r.rig.databasePath(), QStringLiteral("check2"), 2000);
    QString error;
    QVERIFY(db.open(&error));
    for (const Row &row : table) {
        QSqlQuery q(db.database());
        q.prepare(QStringLiteral("SELECT ID FROM TALKGROUP_ACTIVITY WHERE rowid = ?"));
        q.addBindValue(row.activity);
        QVERIFY(q.exec() && q.next());
        QCOMPARE(q.value(0).toString(), row.talkgroup);
        QVERIFY(std::abs(pitch(row.file) - ToneGenerator::frequencyFor(row.talkgroup)) < 30);
    }
    AudioFile::Info info;
    QVERIFY(AudioFile::read(table.first().file, &info, &error));
    QCOMPARE(table.first().talkgroup, QStringLiteral("123"));
    QVERIFY(table.first().file.endsWith(QStringLiteral("_123_Fire_Rescue_Dispatch.flac")));
    QCOMPARE(info.title, QStringLiteral("Fire/Rescue: Dispatch (123)"));
    QCOMPARE(info.tags.value(QStringLiteral("talkgroup")), QStringLiteral("123"));
    QCOMPARE(info.tags.value(QStringLiteral("city")), QStringLiteral("Ashby"));
    QCOMPARE(info.tags.value(QStringLiteral("service")), QStringLiteral("Fire/Rescue: Dispatch"));
    const QDateTime start = QDateTime::fromString(info.tags.value(QStringLiteral("start")), Qt::ISODate);
    QVERIFY(start.isValid());
    QVERIFY(info.tags.value(QStringLiteral("start")).contains(QRegularExpression(QStringLiteral("[+-]\\d\\d:\\d\\d$|Z$"))));
    QVERIFY(std::abs(start.secsTo(QDateTime::currentDateTime())) < 30);
}

// A change of mode ends a call; so does a transfer taking the link.
void TestRecording::callsEndWithTheModeOrTheLink()
{
    RecordingRig r;
    QSignalSpy started(&r.tracker, &CallTracker::callStarted);
    QSignalSpy ended(&r.tracker, &CallTracker::callEnded);
    r.rig.enterMode(ScannerMode::Scan);
    r.rig.reply(QStringLiteral("+"));
    r.rig.reply(QStringLiteral("C012 F01544150 TF DF LF AF PF"));
    QCOMPARE(started.size(), 1);
    r.rig.reply(QStringLiteral("MD01"));
    QCOMPARE(ended.size(), 1);
    r.rig.reply(QStringLiteral("+"));
    r.rig.reply(QStringLiteral("C012 F01544150 TF DF LF AF PF"));
    QCOMPARE(started.size(), 2);
    // Trunk modes follow talkgroups, not the squelch.
    r.rig.enterMode(ScannerMode::TrunkScan);
    QCOMPARE(ended.size(), 2);
    r.rig.reply(QStringLiteral("+"));
    QCOMPARE(started.size(), 2);
    r.talkgroupCall(QStringLiteral("77"), 0);
    QCOMPARE(started.size(), 3);
    QCOMPARE(ended.size(), 3);
    for (int i = 0; i < PollLoop::kAgreeingReplies; ++i)
        r.rig.reply(QStringLiteral("ID C 78"));
    QCOMPARE(started.size(), 4);
    const LinkLoan loan = r.rig.session.lendLink();
    QVERIFY(loan.id != 0);
    QCOMPARE(ended.size(), 4);
    QCOMPARE(started.last().first().value<CallInfo>().talkgroup, QStringLiteral("78"));
}

// Names safe on every file system; settings read back clamped.
void TestRecording::namesAndSettings()
{
    QCOMPARE(RecordingStore::safeName(QStringLiteral("  CON: <Fire>/\"Dispatch\"?* ")), QStringLiteral("CON_Fire_Dispatch"));
    QCOMPARE(RecordingStore::safeName(QStringLiteral("...")), QStringLiteral("unnamed"));
    QCOMPARE(RecordingStore::safeName(QStringLiteral("Zürich Süd")), QStringLiteral("Z_rich_S_d"));
    QCOMPARE(RecordingStore::safeName(QString(80, QLatin1Char('x'))).size(), 40);
    const QString part = RecordingStore::partPath(QStringLiteral("/r/2026-01-02/101010_C12_x.flac"));
    QCOMPARE(part, QStringLiteral("/r/2026-01-02/.101010_C12_x.flac.part"));
    QCOMPARE(RecordingStore::finalPathOf(part), QStringLiteral("/r/2026-01-02/101010_C12_x.flac"));

    TempSettings store;
    QCOMPARE(RecordingSettings::load(*store).enabled, false);
    QCOMPARE(RecordingSettings::load(*store, true).enabled, true);
    store->setValue(RecordingSettings::kPreRollKey, "99999999");
    store->setValue(RecordingSettings::kHangKey, "-5");
    store->setValue(RecordingSettings::kShortestKey, "soon");
    store->setValue(RecordingSettings::kFormatKey, "OPUS");
    store->setValue(RecordingSettings::kEnabledKey, "0");
    RecordingSettings s = RecordingSettings::load(*store, true);
    QCOMPARE(s.preRollMillis, RecordingSettings::kMaxPreRollMillis);
    QCOMPARE(s.hangMillis, 0);
    QCOMPARE(s.shortestMillis, 500);
    QCOMPARE(s.format, RecordingSettings::Format::OggOpus);
    QCOMPARE(s.enabled, false);
    QCOMPARE(s.folderFor(QStringLiteral("/data/Orvendal.db")), QStringLiteral("/data/Recordings"));
    s.retentionDays = 7;
    QVERIFY(s.save(*store));
    QCOMPARE(RecordingSettings::load(*store).retentionDays, 7);
    QCOMPARE(store->value(LinkSettings::kPortKey), QVariant()); // nothing else written
}

// FLAC, Ogg Opus and WAV: a second of tone written reads back as a second
// with its tags.
void TestRecording::everyFormatReadsBack()
{
    QTemporaryDir dir;
    QByteArray second(AudioInput::kSampleRate * 2, Qt::Uninitialized);
    auto *s = reinterpret_cast<qint16 *>(second.data());
    for (int i = 0; i < AudioInput::kSampleRate; ++i)
        s[i] = qint16(10000 * std::sin(2 * 3.14159265 * 800 * i / AudioInput::kSampleRate));
    for (auto format : {RecordingSettings::Format::Flac, RecordingSettings::Format::OggOpus, RecordingSettings::Format::Wav}) {
        const QString path = dir.filePath(QStringLiteral("t.") + RecordingSettings::extension(format));
        AudioFile file;
        QString error;
        QVERIFY2(file.create(path, format, QStringLiteral("Title"), {{QStringLiteral("talkgroup"), QStringLiteral("42")}},
                             &error)
                     && file.write(second, &error) && file.close(&error),
                 qPrintable(RecordingSettings::formatName(format) + QLatin1Char(' ') + error));
        AudioFile::Info info;
        QVERIFY(AudioFile::read(path, &info, &error));
        QVERIFY2(std::abs(info.seconds - 1.0) < 0.05, qPrintable(QString::number(info.seconds)));
        QCOMPARE(info.title, QStringLiteral("Title"));
        QCOMPARE(info.tags.value(QStringLiteral("talkgroup")), QStringLiteral("42"));
    }
}

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
