#include "app/Startup.h"

#include <QApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    // Our own modules report warnings and above unless asked for more.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("orvendal.*.debug=false\norvendal.*.info=false"));

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("OVKS4410"));
    QApplication::setApplicationName(QStringLiteral("OVKS4410"));
    // No display name: the window manager would add it to every caption. The
    // desktop learns the program's name from its desktop file.
    QGuiApplication::setDesktopFileName(QStringLiteral("orvendal"));
    QApplication::setQuitOnLastWindowClosed(false);

    Startup startup;
    startup.run();
    return app.exec();
}
