#include "app/CommandLine.h"

#include "data/AppInfo.h"
#include "data/BankCsv.h"
#include "data/ChannelDatabase.h"
#include "data/ImportPlan.h"
#include "data/TalkgroupCsv.h"
#include "recording/QtAudioInput.h"
#include "remote/RemoteServer.h"
#include "alerts/MqttSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace CommandLine {

namespace {

const QStringList &batchOptions()
{
    static const QStringList names = {
        QStringLiteral("help"),          QStringLiteral("h"),            QStringLiteral("version"),
        QStringLiteral("v"),             QStringLiteral("export-banks"), QStringLiteral("import-banks"),
        QStringLiteral("export-talkgroups"), QStringLiteral("import-talkgroups"), QStringLiteral("list-audio-inputs"),
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
        {QStringLiteral("remote"),
         QStringLiteral("Turn the web front panel on for this run only (on 127.0.0.1 unless an address is given) and "
                        "print its address with the access token; the settings are left as they are."),
         QStringLiteral("[ADDRESS:]PORT")},
        {QStringLiteral("mqtt"),
         QStringLiteral("Send calls and the link state as events to this MQTT broker (port 1883 unless given) for "
                        "this run only; the settings are left as they are."),
         QStringLiteral("HOST[:PORT]")},
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
        {QStringLiteral("list-audio-inputs"),
         QStringLiteral("Print the audio inputs calls can be recorded from (id, then name) and exit.")},
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
    options.remote = parser.value(QStringLiteral("remote"));
    if (parser.isSet(QStringLiteral("remote"))) {
        QHostAddress address;
        quint16 port = 0;
        QString error;
        if (!RemoteServer::parseEndpoint(options.remote, &address, &port, &error)) {
            fail(QStringLiteral("--remote: %1").arg(error));
            std::exit(2);
        }
    }
    options.mqtt = parser.value(QStringLiteral("mqtt"));
    if (parser.isSet(QStringLiteral("mqtt"))) {
        QString host, error;
        quint16 port = 0;
        if (!MqttSettings::parseEndpoint(options.mqtt, &host, &port, &error)) {
            fail(QStringLiteral("--mqtt: %1").arg(error));
            std::exit(2);
        }
    }
    return options;
}

namespace {

// Exit statuses of the work without windows.
enum Status { Done = 0, Failed = 1, Usage = 2, LinesRefused = 3, NothingWritten = 4 };

int exportFile(bool banks, ChannelDatabase &db, const QString &file)
{
    int rows = 0;
    QString error;
    const bool ok = banks ? BankCsv::exportTo(db, file, &rows, &error) : TalkgroupCsv::exportTo(db, file, &rows, &error);
    if (!ok) {
        fail(error);
        return Failed;
    }
    std::printf("%d rows written to %s\n", rows, qPrintable(file));
    return Done;
}

int importFile(const ImportPlan &plan, ChannelDatabase &db, bool yes)
{
    if (!plan.isUsable()) {
        fail(plan.error());
        return Failed;
    }
    std::fputs(qPrintable(plan.summaryText()), stdout);
    std::fputs("\n", stdout);
    if (!yes) {
        std::printf("Nothing was written; add --yes to write it.\n");
        return NothingWritten;
    }
    if (plan.rowCount() == 0) {
        std::printf("Nothing to write.\n");
        return NothingWritten;
    }
    QString error;
    if (!plan.apply(db, &error)) {
        fail(QStringLiteral("nothing was written: %1").arg(error));
        return Failed;
    }
    std::printf("%d rows written.\n", plan.rowCount());
    return plan.refusedCount() > 0 ? LinesRefused : Done;
}

// Why the options cannot be carried out together; empty when they can.
QString conflict(const QCommandLineParser &parser)
{
    QStringList commands;
    for (const char *name : {"export-banks", "import-banks", "export-talkgroups", "import-talkgroups",
                             "list-audio-inputs"}) {
        if (parser.isSet(QLatin1String(name)))
            commands << QStringLiteral("--%1").arg(QLatin1String(name));
    }
    if (commands.size() > 1)
        return QStringLiteral("%1 cannot be given together: give one of them per run")
            .arg(commands.join(QStringLiteral(" and ")));
    for (const QString &name : parser.optionNames()) {
        if (parser.values(name).size() > 1)
            return QStringLiteral("%1%2 is given more than once").arg(QLatin1String(name.size() == 1 ? "-" : "--"), name);
    }
    if (parser.isSet(QStringLiteral("first-channel")) && !parser.isSet(QStringLiteral("import-banks")))
        return QStringLiteral("--first-channel belongs to --import-banks");
    if (parser.isSet(QStringLiteral("yes")) && !parser.isSet(QStringLiteral("import-banks"))
        && !parser.isSet(QStringLiteral("import-talkgroups")))
        return QStringLiteral("--yes belongs to --import-banks or --import-talkgroups");
    for (const char *name : {"device", "demo", "remote", "mqtt"}) {
        if (parser.isSet(QLatin1String(name)))
            return QStringLiteral("--%1 is for a run with windows; it cannot be given with %2")
                .arg(QLatin1String(name), commands.value(0));
    }
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().front());
    return {};
}

int listAudioInputs()
{
    const QList<QtAudioInput::Device> inputs = QtAudioInput::inputs();
    if (inputs.isEmpty())
        std::printf("No audio inputs.\n");
    for (const QtAudioInput::Device &d : inputs)
        std::printf("%s\t%s%s\n", qPrintable(d.id), qPrintable(d.description), d.isDefault ? " (default)" : "");
    return Done;
}

} // namespace

int runBatch(QCoreApplication &app)
{
    QCommandLineParser parser;
    process(parser, app);
    const QString problem = conflict(parser);
    if (!problem.isEmpty()) {
        fail(problem);
        fail(QStringLiteral("nothing was done; see --help"));
        return Usage;
    }
    if (parser.isSet(QStringLiteral("list-audio-inputs")))
        return listAudioInputs();
    QString database = AppInfo::databasePath();
    if (parser.isSet(QStringLiteral("database"))) {
        // A mistyped name must not become a new, empty database.
        database = parser.value(QStringLiteral("database"));
        if (!QFileInfo::exists(database)) {
            fail(QStringLiteral("the channel database %1 does not exist; nothing was done")
                     .arg(QDir::toNativeSeparators(database)));
            return Failed;
        }
    }
    ChannelDatabase db(database, QStringLiteral("orvendal-command-line"));
    QString error;
    if (!db.open(&error)) {
        fail(QStringLiteral("the channel database %1 cannot be used: %2").arg(database, error));
        return Failed;
    }
    const bool yes = parser.isSet(QStringLiteral("yes"));
    if (parser.isSet(QStringLiteral("export-banks")))
        return exportFile(true, db, parser.value(QStringLiteral("export-banks")));
    if (parser.isSet(QStringLiteral("export-talkgroups")))
        return exportFile(false, db, parser.value(QStringLiteral("export-talkgroups")));
    if (parser.isSet(QStringLiteral("import-banks"))) {
        BankCsv::Placement placement = BankCsv::Placement::ByLocation;
        int first = 1;
        if (parser.isSet(QStringLiteral("first-channel"))) {
            bool ok = false;
            first = parser.value(QStringLiteral("first-channel")).toInt(&ok);
            if (!ok || first < 1 || first > 1000) {
                fail(QStringLiteral("--first-channel takes a channel from 1 to 1000"));
                return Usage;
            }
            placement = BankCsv::Placement::FileOrder;
        }
        return importFile(BankCsv::plan(db, parser.value(QStringLiteral("import-banks")), placement, first), db, yes);
    }
    if (parser.isSet(QStringLiteral("import-talkgroups")))
        return importFile(TalkgroupCsv::plan(db, parser.value(QStringLiteral("import-talkgroups"))), db, yes);
    fail(QStringLiteral("nothing to do"));
    return Usage;
}

} // namespace CommandLine
