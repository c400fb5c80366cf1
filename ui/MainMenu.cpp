#include "ui/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace MainMenu {

const QList<Menu> &menus()
{
    static const QList<Menu> list = {
        {"File", "&File"},           {"COM_Options", "&Port Setup"}, {"mnuView", "&View"},
        {"mnuOptions", "&Options"},  {"SCAN_FUNCTIONS", "&Scanning"}, {"DATABASE_FUNCTIONS", "&Database"}, {"WIPEOUT", "&WIPEOUT"},
        {"mnuHelp", "&HELP!"},
    };
    return list;
}

const QList<Entry> &entries()
{
    static const QList<Entry> list = {
        {"File", "File_Exit", "Exit", QKeySequence(Qt::CTRL | Qt::Key_X)},
        {"COM_Options", "mnuCom_Port", "Com Port", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {"COM_Options", "mnuCom_Speed", "Port Speed", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"COM_Options", "mnuSerialDevice", "Serial Device...", {}},
        {"mnuView", "mnuAuxDisp", "Aux Display", QKeySequence(Qt::CTRL | Qt::Key_A)},
        {"mnuView", "mnuTalkgroupActivity", "Talkgroup Activity", {}},
        {"mnuView", "mnuActivityStatistics", "Activity Statistics", {}},
        {"mnuView", "mnuSerialMonitor", "Serial Monitor", {}},
        {"mnuOptions", "mnuRemoteAccess", "Remote Access...", {}},
        {"mnuOptions", "mnuAlerts", "Alerts...", {}},
        {"mnuOptions", "mnuRecording", "Recording...", {}},
        {"mnuOptions", "mnuMqtt", "MQTT...", {}},
        {"SCAN_FUNCTIONS", "Manual", "Manual Mode", {}},
        {"SCAN_FUNCTIONS", "ScanMode", "Scan Mode", {}},
        {"SCAN_FUNCTIONS", "Search", "Search Mode", {}},
        {"DATABASE_FUNCTIONS", "Backup", "Backup Scanner Memory to Database", QKeySequence(Qt::CTRL | Qt::Key_B)},
        {"DATABASE_FUNCTIONS", "Restore", "Restore Database to Scanner Memory", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"DATABASE_FUNCTIONS", "EditBanks", "Edit Channel Banks", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {"DATABASE_FUNCTIONS", "EditTalkGroups", "Edit Talkgroups", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {"DATABASE_FUNCTIONS", "ExportBanksCsv", "Export Banks to CSV...", {}},
        {"DATABASE_FUNCTIONS", "ImportBanksCsv", "Import Banks from CSV...", {}},
        {"DATABASE_FUNCTIONS", "ExportTalkgroupsCsv", "Export Talkgroups to CSV...", {}},
        {"DATABASE_FUNCTIONS", "ImportTalkgroupsCsv", "Import Talkgroups from CSV...", {}},
        {"WIPEOUT", "ClearMemory", "Delete All Scanner Memory (BEWARE!)", {}},
        {"mnuHelp", "mnuGettingStarted", "Getting Started", {}},
        {"mnuHelp", "mnuTroubleShoot", "Troubleshooting Ideas", {}},
        {"mnuHelp", "About", "About", {}},
    };
    return list;
}

void build(QMenuBar *bar, const QHash<QString, std::function<void()>> &handlers)
{
    QHash<QString, QMenu *> byName;
    for (const Menu &m : menus()) {
        QMenu *menu = bar->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.name));
        byName.insert(menu->objectName(), menu);
    }
    for (const Entry &e : entries()) {
        QAction *action = byName.value(QString::fromLatin1(e.menu))->addAction(QString::fromLatin1(e.caption));
        action->setObjectName(QString::fromLatin1(e.name));
        action->setShortcut(e.shortcut);
        const std::function<void()> handler = handlers.value(action->objectName());
        if (handler)
            QObject::connect(action, &QAction::triggered, action, [handler] { handler(); });
    }
}

} // namespace MainMenu
