#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Blocks of cells as spreadsheets put them on the clipboard: a line per row,
// cells split by tabs. A cell holding a tab, a line break or a quote is
// written in quotes, its quotes doubled.
namespace TabText {

QString write(const QList<QStringList> &rows);
// Reads such text; a last line break ends the last row and adds none.
QList<QStringList> read(const QString &text);

} // namespace TabText
