// Recordings when things go wrong: a folder that cannot be written, a write
// that fails part-way, the input going away, a kill in mid-call; and
// retention by age and size.

#include "RecordingRig.h"
#include "data/ChannelDatabase.h"
#include "recording/RecordingStore.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

namespace {

QStringList rowFiles(const QString &databasePath)
{
    ChannelDatabase db(databasePath, QStringLiteral("check"), 2000);
    QString error;
    if (!db.open(&error))
        return {QStringLiteral("<%1>").arg(error)};
    QSqlQuery q(db.database());
    q.exec(QStringLiteral("SELECT FILE FROM RECORDINGS ORDER BY FILE"));
    QStringList files;
    while (q.next())
        files << q.value(0).toString();
    return files;
}

QStringList problems(const QSignalSpy &spy)
{
    QStringList said;
    for (const QList<QVariant> &args : spy)
        if (!args.first().toString().isEmpty())
            said << args.first().toString();
    return said;
}

// A finished recording of a second of tone, dated start, and its row.
QString makeRecording(RecordingStore &store, const QDateTime &start, const QString &talkgroup)
{
    QString error;
    const QString path = store.newPath(start, {talkgroup, QLatin1Char('C'), {}, {}}, {}, QStringLiteral("wav"), &error);
    AudioFile file;
    QByteArray second(AudioInput::kSampleRate * 2, '\x11');
    if (!file.create(path, RecordingSettings::Format::Wav, talkgroup, {{QStringLiteral("talkgroup"), talkgroup}}, &error)
        || !file.write(second, &error) || !file.close(&error))
        return {};
    RecordingRow row;
    RecordingStore::rowFromFile(path, &row);
    row.start = start.toUTC();
    return store.addRow(row, &error) ? path : QString();
}

} // namespace

class TestRecordingFaults : public QObject
{
    Q_OBJECT
private slots:
    void folderThatCannotBeWritten();
    void writeFailingPartWay();
    void inputDisappearsMidCall();
    void killedMidCallThenRestarted();
    void retentionByAgeAndSize();
};

// The folder cannot be made, or a day's folder cannot: recording stops and
// says so once; polling goes on.
void TestRecordingFaults::folderThatCannotBeWritten()
{
    {
        RecordingRig r;
        QFile blocker(r.rig.store.dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        r.settings.folder = blocker.fileName() + QStringLiteral("/Recordings");
        r.rig.enterMode(ScannerMode::Scan);
        QSignalSpy said(&r.tracker, &CallTracker::callStarted); // made before start(): nothing missed
        r.recorder = std::make_unique<Recorder>(r.settings, r.databasePath, &r.tone, &r.tracker);
        QSignalSpy problem(r.recorder.get(), &Recorder::problem);
        r.recorder->start();
        QCOMPARE(r.recorder->state(), Recorder::State::Failed);
        QVERIFY(!r.tone.isActive());
        r.channelCall(12, 300);
        QCOMPARE(said.size(), 1); // the call was seen, the poll loop untouched
        QCOMPARE(r.rig.session.phase(), ScannerSession::Phase::Polling);
        QCOMPARE(problems(problem).size(), 1);
        QVERIFY(problems(problem).first().contains(QStringLiteral("cannot be written")));
    }
    RecordingRig r;
    r.rig.enterMode(ScannerMode::Scan);
    // Today's folder is a file.
    QDir().mkpath(r.folder());
    QFile day(QDir(r.folder()).filePath(QDate::currentDate().toString(Qt::ISODate)));
    QVERIFY(day.open(QIODevice::WriteOnly));
    day.close();
    Recorder &recorder = r.start();
    QSignalSpy problem(&recorder, &Recorder::problem);
    r.channelCall(12, 400);
    QTRY_COMPARE(recorder.state(), Recorder::State::Failed);
    r.turnFor(500);
    r.channelCall(13, 400);
    r.turnFor(500);
    QCOMPARE(problems(problem).size(), 1);
    QVERIFY(r.files().isEmpty() && r.partFiles().isEmpty());
    QVERIFY(rowFiles(r.databasePath).isEmpty());
}

// Files limited in size (setrlimit, in a process of its own): the write
// fails part-way, the unfinished file goes, no row, said once.
void TestRecordingFaults::writeFailingPartWay()
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Orvendal.db"));
    const QString folder = dir.filePath(QStringLiteral("Recordings"));
    {
        ChannelDatabase create(db, QStringLiteral("create"), 2000);
        QString error;
        QVERIFY(create.open(&error));
    }
    QProcess helper;
    helper.start(QStringLiteral(ORVENDAL_RECORDING_HELPER),
                 {QStringLiteral("fsize"), db, folder, QString::number(64 * 1024)});
    QVERIFY(helper.waitForFinished(30000));
    const QString out = QString::fromLocal8Bit(helper.readAllStandardOutput());
    QCOMPARE(helper.exitCode(), 0);
    QCOMPARE(out.count(QStringLiteral("PROBLEM")), 1);
    QVERIFY2(out.contains(QStringLiteral("PROBLEM Recording stopped: writing")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("STATE %1 FILES 0").arg(int(Recorder::State::Failed))), qPrintable(out));
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QVERIFY2(!it.hasNext(), qPrintable(it.hasNext() ? it.next() : QString()));
    QVERIFY(rowFiles(db).isEmpty());
}

// The input goes in mid-call: what was heard is kept, said once; recording
// goes on by itself when it is back.
void TestRecordingFaults::inputDisappearsMidCall()
{
    RecordingRig r;
    r.rig.enterMode(ScannerMode::Scan);
    Recorder &recorder = r.start();
    QSignalSpy problem(&recorder, &Recorder::problem);
    QSignalSpy finished(&recorder, &Recorder::recordingFinished);
    r.rig.reply(QStringLiteral("+"));
    r.rig.reply(QStringLiteral("C012 F01544150 TF DF LF AF PF"));
    r.turnFor(600);
    r.tone.simulateLoss(QStringLiteral("the audio input was removed"));
    r.turnFor(300);
    r.rig.reply(QStringLiteral("-"));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(recorder.state(), Recorder::State::InputLost);
    QCOMPARE(problems(problem), QStringList{QStringLiteral("Recording stopped: the audio input was removed; it goes on "
                                                           "when the input is back")});
    r.channelCall(13, 400); // not recorded while it is gone
    r.turnFor(300);
    r.tone.simulateReturn();
    QCOMPARE(recorder.state(), Recorder::State::Recording);
    QVERIFY(problem.last().first().toString().isEmpty());
    QTest::qWait(r.settings.preRollMillis);
    r.channelCall(14, 400);
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(r.files().size(), 2);
    QCOMPARE(rowFiles(r.databasePath), r.files());
}

// kill -9 while a call is being written, then a new start: the finished
// file has its row, the unfinished one is finished or removed, a finished
// file left without its row is registered and a row without its file goes;
// said once.
void TestRecordingFaults::killedMidCallThenRestarted()
{
    RecordingRig r;
    QProcess helper;
    // What the killed helper cannot clean up stays in this test's folder.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), r.rig.store.dir.path());
    helper.setProcessEnvironment(env);
    helper.start(QStringLiteral(ORVENDAL_RECORDING_HELPER), {QStringLiteral("kill"), r.databasePath, r.folder()});
    QVERIFY(helper.waitForStarted());
    QString out;
    QTRY_VERIFY_WITH_TIMEOUT((out += QString::fromLocal8Bit(helper.readAllStandardOutput())).contains(QStringLiteral("INCALL")),
                             20000);
    helper.kill();
    QVERIFY(helper.waitForFinished());
    QCOMPARE(r.partFiles().size(), 1);
    const QStringList before = r.files();
    QCOMPARE(before.size(), 1);
    QCOMPARE(rowFiles(r.databasePath), before);
    // As if killed between the rename and the row, and a file removed by hand.
    const QString unregistered = QFileInfo(before.first()).dir().filePath(QStringLiteral("000000_C099_copy.flac"));
    QVERIFY(QFile::copy(before.first(), unregistered));
    {
        RecordingStore store(r.databasePath, r.folder());
        RecordingRow gone;
        gone.file = r.folder() + QStringLiteral("/2020-01-01/000000_C001_gone.flac");
        gone.start = gone.end = QDateTime::currentDateTimeUtc();
        QString error;
        QVERIFY(store.addRow(gone, &error));
    }

    r.rig.enterMode(ScannerMode::Scan);
    r.recorder = std::make_unique<Recorder>(r.settings, r.databasePath, &r.tone, &r.tracker);
    QSignalSpy notice(r.recorder.get(), &Recorder::notice);
    r.recorder->start();
    QTRY_COMPARE(notice.size(), 1);
    const QString said = notice.first().first().toString();
    // The unfinished file is completed when what was written of it can be
    // read (libsndfile reads a FLAC cut short up to its last whole frame).
    const bool completed = said.contains(QStringLiteral("1 unfinished files completed, 0 removed"));
    QVERIFY2(completed || said.contains(QStringLiteral("0 unfinished files completed, 1 removed")), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("%1 files without a row registered").arg(completed ? 2 : 1)), qPrintable(said));
    QVERIFY(said.contains(QStringLiteral("1 rows of missing files removed")));
    QCOMPARE(r.files().size(), completed ? 3 : 2);
    QVERIFY(r.partFiles().isEmpty());
    QCOMPARE(rowFiles(r.databasePath), r.files());
    QVERIFY(r.files().contains(unregistered) && r.files().contains(before.first()));
    r.recorder.reset();
    // Nothing more to put in order.
    r.recorder = std::make_unique<Recorder>(r.settings, r.databasePath, &r.tone, &r.tracker);
    QSignalSpy again(r.recorder.get(), &Recorder::notice);
    r.recorder->start();
    QTest::qWait(200);
    QCOMPARE(again.size(), 0);
}

// Older than the days kept, then oldest first until the total fits: file
// and row together.
void TestRecordingFaults::retentionByAgeAndSize()
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Orvendal.db"));
    RecordingStore store(db, dir.filePath(QStringLiteral("Recordings")));
    const QDateTime now = QDateTime::currentDateTime();
    const QString old = makeRecording(store, now.addDays(-40), QStringLiteral("1"));
    const QString older = makeRecording(store, now.addDays(-20), QStringLiteral("2"));
    const QString recent = makeRecording(store, now.addDays(-1), QStringLiteral("3"));
    const QString newest = makeRecording(store, now, QStringLiteral("4"));
    QVERIFY(!old.isEmpty() && !older.isEmpty() && !recent.isEmpty() && !newest.isEmpty());
    const qint64 size = QFileInfo(newest).size();
    QString error;
    QCOMPARE(store.prune(30, 0, now.toUTC(), &error), 1);
    QVERIFY(!QFileInfo::exists(old));
    QCOMPARE(store.prune(30, 2 * size + 10, now.toUTC(), &error), 1);
    QVERIFY(!QFileInfo::exists(older));
    QCOMPARE(store.prune(30, 2 * size + 10, now.toUTC(), &error), 0);
    QVERIFY(QFileInfo::exists(recent) && QFileInfo::exists(newest));
    QStringList left{recent, newest};
    left.sort();
    QCOMPARE(rowFiles(db), left);
    // One deleted by hand: row and file.
    QVERIFY(store.remove(recent, &error));
    QVERIFY(!QFileInfo::exists(recent));
    QCOMPARE(rowFiles(db), QStringList{newest});
}

QTEST_MAIN(TestRecordingFaults)
#include "tst_recordingfaults.moc"
