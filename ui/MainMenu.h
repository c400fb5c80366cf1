#pragma once

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QString>

#include <functional>

class QMenuBar;

// The faceplate's menu bar: its menus and entries by name, caption and
// shortcut, and the handler each entry runs.
namespace MainMenu {

struct Entry
{
    const char *menu;    // object name of the menu it stands in
    const char *name;    // object name of the entry
    const char *caption;
    QKeySequence shortcut;
};

struct Menu
{
    const char *name;
    const char *caption;
};

const QList<Menu> &menus();
const QList<Entry> &entries();

// Builds the bar; entries without a handler are shown and do nothing.
void build(QMenuBar *bar, const QHash<QString, std::function<void()>> &handlers);

} // namespace MainMenu
