#include "app/CommandLine.h"
#include "app/Startup.h"
#include "data/AppInfo.h"
#include "link/TerminationSignals.h"
#include "ui/RecordingPlayer.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>

namespace {

void nameTheProgram()
{
    QCoreApplication::setOrganizationName(QStringLiteral("OVKS4410"));
    QCoreApplication::setApplicationName(QStringLiteral("OVKS4410"));
    QCoreApplication::setApplicationVersion(AppInfo::version());
}

} // namespace

int main(int argc, char *argv[])
{
    // Our own modules report warnings and above unless asked for more.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("orvendal.*.debug=false\norvendal.*.info=false"));
    RecordingPlayer::chooseBackend();

    // Work without windows needs no display.
    if (CommandLine::isBatch(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameTheProgram();
        return CommandLine::runBatch(app);
    }

    QApplication app(argc, argv);
    nameTheProgram();
    // No display name: the window manager would add it to every caption. The
    // desktop learns the program's name from its desktop file.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvendal.Orvendal"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/orvendal/icons/orvendal-256.png")));
    QApplication::setQuitOnLastWindowClosed(false);

    Startup startup(CommandLine::parseRun(app));
    // A logout, systemctl or kill ends the program as closing its window
    // does: the call log written, the port closed, the settings saved.
    TerminationSignals termination;
    QString error;
    if (!termination.install(&error))
        qWarning("orvendal: termination signals are not handled: %s", qPrintable(error));
    QObject::connect(&termination, &TerminationSignals::received, &startup, &Startup::terminate);
    if (!startup.run())
        return 1;
    return app.exec();
}
