#pragma once

#include "SessionRig.h"
#include "recording/AudioFile.h"
#include "scanner/CallTracker.h"
#include "recording/Recorder.h"
#include "recording/ToneGenerator.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTest>

// A session turned by hand, the tone generator as the sound card (its tone
// following the calls, as in the demo) and a recorder on both. Short times,
// so that a test runs in seconds.
struct RecordingRig
{
    SessionRig rig;
    ToneGenerator tone;
    CallTracker tracker{&rig.session};
    RecordingSettings settings = quickSettings();
    std::unique_ptr<Recorder> recorder;
    QString databasePath = rig.databasePath(); // where the recorder writes its rows

    static RecordingSettings quickSettings()
    {
        RecordingSettings s;
        s.enabled = true;
        s.preRollMillis = 300;
        s.hangMillis = 400;
        s.shortestMillis = 250;
        return s;
    }

    RecordingRig()
    {
        settings.folder = rig.store.dir.filePath(QStringLiteral("Recordings"));
        QObject::connect(&tracker, &CallTracker::callStarted, &tone,
                         [this](const CallInfo &call) { tone.open(call.talkgroup.isEmpty() ? call.channel : call.talkgroup); });
        QObject::connect(&tracker, &CallTracker::callEnded, &tone, [this] { tone.close(); });
        rig.parts.log.setFlushDelay(0);
        tracker.logChannelCalls(&rig.parts.log); // as the program does
    }
    ~RecordingRig() { recorder.reset(); }

    Recorder &start()
    {
        recorder = std::make_unique<Recorder>(settings, databasePath, &tone, &tracker);
        recorder->start();
        QTest::qWait(settings.preRollMillis + 100); // the ring fills
        return *recorder;
    }

    // The poll loop's turns for ms milliseconds, each handling the last reply again.
    void turnFor(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            rig.turnWith({});
            QTest::qWait(PollLoop::kTurnMillis);
        }
    }

    // A conventional call on a channel for about ms; returns how long the
    // squelch was open as the poll loop saw it.
    qint64 channelCall(int channel, int ms)
    {
        QElapsedTimer t;
        t.start();
        rig.reply(QStringLiteral("+"));
        rig.reply(QStringLiteral("C%1 F01544150 TF DF LF AF PF").arg(channel, 3, 10, QLatin1Char('0')));
        turnFor(ms - int(t.elapsed()));
        rig.reply(QStringLiteral("-"));
        return t.elapsed();
    }

    // A talkgroup shown for about ms (the replies agree at once), then none.
    qint64 talkgroupCall(const QString &id, int ms)
    {
        for (int i = 0; i < PollLoop::kAgreeingReplies; ++i) {
            rig.reply(QStringLiteral("ID C %1").arg(id));
            rig.reply(QStringLiteral("RM NFM"));
        }
        QElapsedTimer t;
        t.start();
        turnFor(ms);
        for (int i = 0; i < PollLoop::kAgreeingReplies; ++i) {
            rig.reply(QStringLiteral("ID E"));
            rig.reply(QStringLiteral("RM NFM"));
        }
        return t.elapsed();
    }

    QString folder() const { return settings.folder; }

    // Finished recordings in the folder, oldest name first.
    QStringList files() const
    {
        QStringList found;
        QDirIterator it(settings.folder, {QStringLiteral("*.flac"), QStringLiteral("*.opus"), QStringLiteral("*.wav")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        found.sort();
        return found;
    }
    QStringList partFiles() const
    {
        QStringList found;
        QDirIterator it(settings.folder, {QStringLiteral("*.part")}, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        return found;
    }
};
