#pragma once

#include <QRect>
#include <QtMath>

// Window geometry is designed in twips (1440 to the inch); this converts it to
// pixels at the screen's logical resolution.
namespace Twips {

inline int toPixels(int twips, qreal dpi)
{
    return qRound(twips * dpi / 1440.0);
}

inline QRect rect(int left, int top, int width, int height, qreal dpi)
{
    return QRect(toPixels(left, dpi), toPixels(top, dpi), toPixels(width, dpi), toPixels(height, dpi));
}

} // namespace Twips
