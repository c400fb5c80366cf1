#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

// The seven-segment face of the display, as near to the real panel as the
// machine's fonts allow.
namespace LcdFont {

inline QString family()
{
    const QStringList families = QFontDatabase::families();
    for (const QString &wanted : {QStringLiteral("LiquidCrystal"), QStringLiteral("DSEG14 Classic")}) {
        if (families.contains(wanted))
            return wanted;
    }
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

inline QFont font(qreal points, bool bold = true)
{
    QFont f(family());
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

} // namespace LcdFont
