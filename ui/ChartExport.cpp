#include "ui/ChartExport.h"

#include <QGraphicsView>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>

#ifdef ORVENDAL_HAVE_SVG
#include <QSvgGenerator>
#endif

namespace ChartExport {

namespace {

bool commit(QSaveFile &file, QString *error)
{
    if (file.commit())
        return true;
    *error = file.errorString();
    return false;
}

} // namespace

bool canWriteSvg()
{
#ifdef ORVENDAL_HAVE_SVG
    return true;
#else
    return false;
#endif
}

bool savePng(QGraphicsView *view, const QString &path, QString *error)
{
    const QPixmap picture = view->grab();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (picture.isNull() || !picture.save(&file, "PNG")) {
        file.cancelWriting();
        *error = QStringLiteral("the picture could not be made");
        return false;
    }
    return commit(file, error);
}

bool saveSvg(QGraphicsView *view, const QString &title, const QString &path, QString *error)
{
#ifdef ORVENDAL_HAVE_SVG
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    const QRect area(QPoint(0, 0), view->viewport()->size());
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(area.size());
    svg.setViewBox(area);
    svg.setTitle(title);
    QPainter painter;
    if (!painter.begin(&svg)) {
        file.cancelWriting();
        *error = QStringLiteral("the drawing could not be started");
        return false;
    }
    // The scene itself, so that lines and texts stay lines and texts.
    view->render(&painter, area, area);
    painter.end();
    return commit(file, error);
#else
    Q_UNUSED(view);
    Q_UNUSED(title);
    Q_UNUSED(path);
    *error = QStringLiteral("this build of the program cannot write SVG (it was built without Qt SVG)");
    return false;
#endif
}

} // namespace ChartExport
