// A recording run for the fault tests, in a process of its own:
//   recording_helper kill DATABASE FOLDER
//       records one call, then stays in a second call ("INCALL" once its
//       file is being written) until it is killed;
//   recording_helper fsize DATABASE FOLDER BYTES
//       records a long WAV call with files limited to BYTES, and says each
//       problem ("PROBLEM text") and the state at the end.

#include "RecordingRig.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    const QString mode = args.at(1);
    if (mode == QLatin1String("fsize")) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = args.value(4).toULongLong();
        const rlimit lim{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            return 3;
    }
    RecordingRig r;
    r.databasePath = args.at(2);
    r.settings.folder = args.at(3);
    r.rig.enterMode(ScannerMode::Scan);
    if (mode == QLatin1String("fsize"))
        r.settings.format = RecordingSettings::Format::Wav;
    Recorder &recorder = r.start();
    QObject::connect(&recorder, &Recorder::problem, [](const QString &text) {
        if (!text.isEmpty())
            std::printf("PROBLEM %s\n", qPrintable(text));
        std::fflush(stdout);
    });
    QSignalSpy finished(&recorder, &Recorder::recordingFinished);
    if (mode == QLatin1String("fsize")) {
        r.channelCall(21, 4000);
        r.turnFor(1000);
        std::printf("STATE %d FILES %d\n", int(recorder.state()), int(finished.size()));
        return 0;
    }
    r.channelCall(22, 600);
    if (!finished.wait(5000))
        return 4;
    std::printf("FINISHED %s\n", qPrintable(finished.first().first().toString()));
    r.rig.reply(QStringLiteral("+"));
    r.rig.reply(QStringLiteral("C023 F01544150 TF DF LF AF PF"));
    bool said = false;
    for (;;) {
        r.turnFor(50);
        const QStringList parts = r.partFiles();
        if (!said && !parts.isEmpty() && QFileInfo(parts.first()).size() > 4096) {
            std::printf("INCALL\n");
            std::fflush(stdout);
            said = true;
        }
    }
}
