// The Talkgroup Activity window's recordings: which calls have one, playing
// one (through a PulseAudio server the test starts, where there is one),
// opening its folder and deleting it.

#include "ActivityChecks.h"
#include "SoundServer.h"
#include "TestSupport.h"
#include "data/ActivityModels.h"
#include "data/ChannelDatabase.h"
#include "data/DataChanges.h"
#include "data/TalkgroupActivityLog.h"
#include "recording/AudioFile.h"
#include "recording/AudioInput.h"
#include "recording/RecordingStore.h"
#include "ui/ActivityWindow.h"
#include "ui/RecordingPlayer.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numbers>

namespace {

constexpr double kSeconds = 3.0;

QStringList column(const QAbstractItemModel &model, int col)
{
    QStringList values;
    for (int r = 0; r < model.rowCount(); ++r)
        values << model.index(r, col).data().toString();
    return values;
}

// A database with three calls (talkgroup 123 recorded, channel 7, talkgroup
// 456) and a recording whose call has no row (talkgroup 999).
struct Rig
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Orvendal.db"));
    QString folder = dir.filePath(QStringLiteral("Recordings/2026-05-04"));
    QString file = folder + QStringLiteral("/120000_123_Fire.wav");
    QString unlisted = folder + QStringLiteral("/120500_999_unnamed.wav");
    QStringList messages;
    bool answer = true;
    std::unique_ptr<ActivityWindow> window;

    Rig()
    {
        const QDateTime start = QDateTime::currentDateTime().addSecs(-600);
        {
            QDateTime clock = start;
            TalkgroupActivityLog log(path);
            log.setClock([&clock] { return clock; });
            log.record(QStringLiteral("123"), QLatin1Char('C'));
            clock = start.addSecs(60);
            log.recordChannel(QStringLiteral("007"), QStringLiteral("154.4150"));
            clock = start.addSecs(120);
            log.record(QStringLiteral("456"), QLatin1Char('C'));
            QVERIFY(log.flush());
        }
        QVERIFY(QDir().mkpath(folder));
        RecordingStore store(path, dir.filePath(QStringLiteral("Recordings")));
        QString error;
        for (const QString &f : {file, unlisted}) {
            QVERIFY2(writeTone(f, &error), qPrintable(error));
            RecordingRow row{f, start.addSecs(f == file ? 0 : 300), {}, kSeconds, {}, {}, {}, QFileInfo(f).size()};
            row.talkgroup = f == file ? QStringLiteral("123") : QStringLiteral("999");
            row.end = row.start.addSecs(int(kSeconds));
            QVERIFY2(store.addRow(row, &error), qPrintable(error));
        }
        window = std::make_unique<ActivityWindow>(path, nullptr, [this](MessageKind, const QString &, const QString &text) {
            messages << text;
            return answer;
        });
        QVERIFY(window->load());
    }

    static bool writeTone(const QString &path, QString *error)
    {
        QByteArray pcm(int(AudioInput::kSampleRate * kSeconds) * 2, Qt::Uninitialized);
        auto *s = reinterpret_cast<qint16 *>(pcm.data());
        for (int i = 0; i < pcm.size() / 2; ++i)
            s[i] = qint16(8000 * std::sin(2 * std::numbers::pi * 440 * i / AudioInput::kSampleRate));
        AudioFile out;
        return out.create(path, RecordingSettings::Format::Wav, QStringLiteral("Fire (123)"), {}, error)
               && out.write(pcm, error) && out.close(error);
    }

    ActivityListModel *list() const { return window->listModel(); }
    // The list's row of a talkgroup or channel.
    int rowOf(const QString &what) const
    {
        for (int r = 0; r < list()->rowCount(); ++r) {
            if (list()->index(r, ActivityListModel::Id).data().toString() == what
                || list()->index(r, ActivityListModel::Channel).data().toString() == what)
                return r;
        }
        return -1;
    }
    int count(const QString &sql) const
    {
        ChannelDatabase db(path, QStringLiteral("check"), 100);
        QString error;
        return db.open(&error) ? ::count(db.database(), sql) : -1;
    }
};

} // namespace

class TestActivityWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void rowsWithRecordingsAreMarked();
    void playStopAndSeek();
    void missingOrBrokenFileIsSaid();
    void openFolderAndDelete();

private:
    SoundServer m_server;
    bool m_sound = false;
};

void TestActivityWindow::initTestCase()
{
    RecordingPlayer::chooseBackend(); // as the program does
    // A sound server of our own with a null sink to play into, where
    // PulseAudio is installed; playback states are checked only with it.
    QString why;
    m_sound = m_server.start({}, &why);
}

// The recorded call shows its length; a recording without its call's row is
// listed by itself; Open Folder and Delete Recording go with recordings only.
void TestActivityWindow::rowsWithRecordingsAreMarked()
{
    Rig rig;
    QCOMPARE(rig.list()->rowCount(), 4);
    QCOMPARE(column(*rig.list(), ActivityListModel::Id), QStringList({"999", "456", "", "123"}));
    const int recorded = rig.rowOf(QStringLiteral("123"));
    QCOMPARE(rig.list()->index(recorded, ActivityListModel::Recording).data().toString(), QStringLiteral("0:03"));
    QCOMPARE(rig.list()->fileAt(recorded), rig.file);
    QCOMPARE(rig.list()->fileAt(rig.rowOf(QStringLiteral("999"))), rig.unlisted);
    for (const QString &plain : {QStringLiteral("456"), QStringLiteral("007")}) {
        QVERIFY(rig.list()->index(rig.rowOf(plain), ActivityListModel::Recording).data().isNull());
        QVERIFY(rig.list()->fileAt(rig.rowOf(plain)).isEmpty());
    }
    QVERIFY(rig.window->listView()->isColumnHidden(ActivityListModel::File));
    auto *openFolder = rig.window->findChild<QPushButton *>(QStringLiteral("cmdOpenFolder"));
    auto *remove = rig.window->findChild<QPushButton *>(QStringLiteral("cmdDeleteRecording"));
    rig.window->selectRow(rig.rowOf(QStringLiteral("456")));
    QVERIFY(!openFolder->isEnabled() && !remove->isEnabled() && !rig.window->player()->playButton()->isEnabled());
    QVERIFY(!rig.window->playRow(rig.rowOf(QStringLiteral("456"))));
    rig.window->selectRow(recorded);
    QVERIFY(openFolder->isEnabled() && remove->isEnabled() && rig.window->player()->playButton()->isEnabled());
    // A recording registered while the window is open shows, and the
    // choice stays on its call as the list is read again.
    rig.window->show();
    RecordingStore store(rig.path, rig.dir.path());
    QString error;
    const QDateTime start = QDateTime::currentDateTime().addSecs(-480);
    QVERIFY(store.addRow({rig.folder + QStringLiteral("/x.wav"), start, start.addSecs(61), 61.0, {}, {},
                          QStringLiteral("456"), 1},
                         &error));
    DataChanges::announce({QStringLiteral("RECORDINGS")});
    QTRY_COMPARE(rig.list()->index(rig.rowOf(QStringLiteral("456")), ActivityListModel::Recording).data().toString(),
                 QStringLiteral("1:01"));
    QCOMPARE(rig.window->currentRow(), recorded);
    QVERIFY(rig.messages.isEmpty());
}

void TestActivityWindow::playStopAndSeek()
{
    Rig rig;
    RecordingPlayer *player = rig.window->player();
    if (!m_sound) {
        // Nothing to play on: said, not tried.
        QVERIFY(!rig.window->playRow(rig.rowOf(QStringLiteral("123"))));
        QVERIFY(rig.messages.value(0).contains(QStringLiteral("no sound output")));
        QSKIP("no sound server here (PulseAudio): playback is not followed");
    }
    QVERIFY(rig.window->playRow(rig.rowOf(QStringLiteral("123"))));
    QCOMPARE(player->file(), rig.file);
    QTRY_VERIFY_WITH_TIMEOUT(player->player()->duration() > 0 || !rig.messages.isEmpty(), 5000);
    QVERIFY2(rig.messages.isEmpty(), qPrintable(rig.messages.join(QLatin1Char('\n'))));
    QVERIFY(std::abs(player->player()->duration() - kSeconds * 1000) < 100);
    QCOMPARE(player->slider()->maximum(), int(player->player()->duration()));
    QTRY_COMPARE_WITH_TIMEOUT(player->player()->playbackState(), QMediaPlayer::PlayingState, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(player->player()->position() > 200, 5000);
    QVERIFY(player->stopButton()->isEnabled());
    // The slider moved by the user: the player follows.
    player->slider()->setValue(2000);
    QTRY_VERIFY_WITH_TIMEOUT(player->player()->position() >= 2000, 5000);
    QVERIFY(player->timeLabel()->text().startsWith(QStringLiteral("0:02 / 0:03")));
    player->stopButton()->click();
    QTRY_COMPARE(player->player()->playbackState(), QMediaPlayer::StoppedState);
    QCOMPARE(player->slider()->value(), 0);
    QCOMPARE(player->timeLabel()->text(), QStringLiteral("0:00 / 0:03"));
    // Play again with the row chosen; the window closed, it stops.
    rig.window->show();
    rig.window->selectRow(rig.rowOf(QStringLiteral("123")));
    player->playButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(player->player()->playbackState(), QMediaPlayer::PlayingState, 5000);
    rig.window->close();
    QCOMPARE(player->player()->playbackState(), QMediaPlayer::StoppedState);
}

// A file gone since it was recorded, and one that is no sound at all: said
// in a message each, nothing played.
void TestActivityWindow::missingOrBrokenFileIsSaid()
{
    Rig rig;
    QVERIFY(QFile::remove(rig.file));
    QVERIFY(!rig.window->playRow(rig.rowOf(QStringLiteral("123"))));
    QCOMPARE(rig.messages.size(), 1);
    QVERIFY2(rig.messages.first().contains(QStringLiteral("cannot be played: the file is missing")),
             qPrintable(rig.messages.first()));
    QVERIFY(rig.messages.first().contains(QDir::toNativeSeparators(rig.file)));

    QFile broken(rig.unlisted);
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write(QByteArray(4096, 'x'));
    broken.close();
    rig.window->playRow(rig.rowOf(QStringLiteral("999")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.messages.size(), 2, 5000);
    QVERIFY2(rig.messages.last().contains(QStringLiteral("cannot be played")), qPrintable(rig.messages.last()));
    QTest::qWait(200);
    QCOMPARE(rig.messages.size(), 2); // said once
    const QMediaPlayer *player = rig.window->player()->player(); // none where there is no sound output
    QVERIFY(!player || player->playbackState() != QMediaPlayer::PlayingState);
}

// Open Folder shows the recording's folder; Delete Recording asks, then
// removes the file and its entry while the call stays listed.
void TestActivityWindow::openFolderAndDelete()
{
    Rig rig;
    QList<QUrl> opened;
    rig.window->setOpenUrl([&opened](const QUrl &url) {
        opened << url;
        return true;
    });
    const int row = rig.rowOf(QStringLiteral("123"));
    QVERIFY(rig.window->openFolderOf(row));
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(rig.folder)});

    rig.window->playRow(row); // let go of before it is deleted
    rig.messages.clear();     // (where there is no sound output, that was said)
    rig.answer = false;
    QVERIFY(!rig.window->deleteRecordingAt(row));
    QVERIFY(QFileInfo::exists(rig.file));
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM RECORDINGS")), 2);

    rig.answer = true;
    QVERIFY(rig.window->deleteRecordingAt(row));
    QCOMPARE(rig.messages.size(), 2);
    QVERIFY(rig.messages.first().startsWith(QStringLiteral("Delete the recording ")));
    QVERIFY(!QFileInfo::exists(rig.file));
    QVERIFY(rig.window->player()->file().isEmpty());
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM RECORDINGS")), 1);
    QCOMPARE(rig.count(QStringLiteral("SELECT count(*) FROM TALKGROUP_ACTIVITY")), 2);
    QCOMPARE(rig.list()->rowCount(), 4);
    QVERIFY(rig.list()->index(rig.rowOf(QStringLiteral("123")), ActivityListModel::Recording).data().isNull());

    // A folder gone since: said, not opened.
    QVERIFY(QDir(rig.folder).removeRecursively());
    QVERIFY(!rig.window->openFolderOf(rig.rowOf(QStringLiteral("999"))));
    QCOMPARE(opened.size(), 1);
    QVERIFY(rig.messages.last().contains(QStringLiteral("is missing")));
}

QTEST_MAIN(TestActivityWindow)
#include "tst_activitywindow.moc"
