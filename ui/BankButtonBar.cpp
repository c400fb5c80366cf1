#include "ui/BankButtonBar.h"

#include "ui/Twips.h"

#include <QPushButton>

namespace {

struct BarButton
{
    const char *name;
    const char *caption;
    int left;
    bool visible;
};

const BarButton kBarButtons[] = {
    {"cmdAdd", "&Add", 59, true},         {"cmdEdit", "&Edit", 1213, true},
    {"cmdUpdate", "&Update", 59, false},  {"cmdCancel", "&Cancel", 1213, false},
    {"cmdDelete", "&Delete", 2367, false}, {"cmdRefresh", "&Refresh", 3521, false},
    {"cmdClose", "&Close", 4675, false},
};

} // namespace

BankButtonBar::BankButtonBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picButtons"));
    const qreal dpi = parent->logicalDpiX();
    const int barHeight = qMax(Twips::toPixels(300, dpi), QPushButton().sizeHint().height());
    setFixedHeight(barHeight);
    for (const BarButton &b : kBarButtons) {
        auto *button = new QPushButton(QLatin1String(b.caption), this);
        button->setObjectName(QLatin1String(b.name));
        button->setGeometry(Twips::toPixels(b.left, dpi), 0, Twips::toPixels(1095, dpi), barHeight);
        button->setVisible(b.visible);
    }
}
