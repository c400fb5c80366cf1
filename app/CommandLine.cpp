#include "app/CommandLine.h"

#include "data/AppInfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace CommandLine {

namespace {

const QStringList &batchOptions()
{
    static const QStringList names = {
        QStringLiteral("help"),          QStringLiteral("h"),            QStringLiteral("version"),
        QStringLiteral("v"),             QStringLiteral("export-banks"), QStringLiteral("import-banks"),
        QStringLiteral("export-talkgroups"), QStringLiteral("import-talkgroups"),
    };
    return names;
}

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Orvendal controls a VKS-4410 trunking radio scanner: a live front panel, backup and restore "
                       "of its channel memory, and a talkgroup log."));
    parser.addHelpOption();
    parser.addOptions({
        {{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Displays version information.")},
        {QStringLiteral("device"), QStringLiteral("Use this serial device or socket://HOST:PORT for this run only; "
                                                  "the settings are left as they are."),
         QStringLiteral("PATH")},
        {QStringLiteral("database"), QStringLiteral("Use this channel database file."), QStringLiteral("FILE")},
        {QStringLiteral("demo"), QStringLiteral("Run against a simulated scanner, to try every window without one.")},
        {QStringLiteral("export-banks"), QStringLiteral("Write the channel banks to a CSV file and exit."),
         QStringLiteral("FILE")},
        {QStringLiteral("import-banks"),
         QStringLiteral("Read channels from a CSV file and print what would change; writes only with --yes."),
         QStringLiteral("FILE")},
        {QStringLiteral("first-channel"),
         QStringLiteral("With --import-banks: place the rows in file order from this channel (1-1000) instead of by "
                        "their Location."),
         QStringLiteral("N")},
        {QStringLiteral("export-talkgroups"), QStringLiteral("Write the talkgroup log to a CSV file and exit."),
         QStringLiteral("FILE")},
        {QStringLiteral("import-talkgroups"),
         QStringLiteral("Read talkgroups from a CSV file and print what would change; writes only with --yes."),
         QStringLiteral("FILE")},
        {QStringLiteral("yes"), QStringLiteral("Write what an import found, without asking.")},
    });
}

void fail(const QString &text)
{
    std::fprintf(stderr, "orvendal: %s\n", qPrintable(text));
}

// Parses the arguments; help and version are answered and end the program.
void process(QCommandLineParser &parser, QCoreApplication &app)
{
    describe(parser);
    parser.process(app);
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("Orvendal %s\n", qPrintable(AppInfo::version()));
        std::exit(0);
    }
}

} // namespace

bool isBatch(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        QString arg = QString::fromLocal8Bit(argv[i]);
        if (!arg.startsWith(QLatin1Char('-')))
            continue;
        while (arg.startsWith(QLatin1Char('-')))
            arg.remove(0, 1);
        arg = arg.section(QLatin1Char('='), 0, 0);
        if (batchOptions().contains(arg))
            return true;
    }
    return false;
}

RunOptions parseRun(QCoreApplication &app)
{
    QCommandLineParser parser;
    process(parser, app);
    RunOptions options;
    options.device = parser.value(QStringLiteral("device"));
    options.database = parser.value(QStringLiteral("database"));
    options.demo = parser.isSet(QStringLiteral("demo"));
    return options;
}

int runBatch(QCoreApplication &app)
{
    QCommandLineParser parser;
    process(parser, app);
    fail(QStringLiteral("nothing to do"));
    return 2;
}

} // namespace CommandLine
