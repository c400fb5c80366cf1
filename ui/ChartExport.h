#pragma once

#include <QString>

class QGraphicsView;

// A chart as a file: a PNG of what the view shows, or an SVG drawing of its
// scene. Written through a temporary file, so that a failed save leaves an
// existing file as it was.
namespace ChartExport {

// Whether this build can write SVG (it needs Qt SVG).
bool canWriteSvg();
// False, with *error, when the file cannot be written.
bool savePng(QGraphicsView *view, const QString &path, QString *error);
bool saveSvg(QGraphicsView *view, const QString &title, const QString &path, QString *error);

} // namespace ChartExport
