#include "ui/ThemeMenu.h"

#include "ui/Theme.h"

#include <QActionGroup>
#include <QMenu>
#include <QSettings>
#include <QWidget>

namespace ThemeMenu {

QMenu *add(QMenu *view, Theme *theme, QSettings *store)
{
    QMenu *menu = view->addMenu(QStringLiteral("&Theme"));
    menu->setObjectName(QStringLiteral("mnuTheme"));
    auto *group = new QActionGroup(menu);
    group->setExclusive(true);
    for (Theme::Choice choice : {Theme::Choice::System, Theme::Choice::Light, Theme::Choice::Dark}) {
        QAction *action = menu->addAction(Theme::name(choice));
        action->setObjectName(QStringLiteral("mnuTheme") + Theme::name(choice));
        action->setCheckable(true);
        action->setChecked(theme->choice() == choice);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, theme, [theme, store, choice] {
            theme->apply(choice);
            if (store)
                Theme::save(*store, choice);
        });
    }
    return menu;
}

void paintPanel(QWidget *panel, bool dark)
{
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, dark ? QColor(62, 64, 68) : QColor(224, 224, 224));
    pal.setColor(QPalette::WindowText, dark ? QColor(235, 235, 235) : Qt::black);
    panel->setPalette(pal);
}

} // namespace ThemeMenu
