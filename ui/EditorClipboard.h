#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QTableView;
class RowTableModel;

// Cells of a grid editor to and from the clipboard as tab-separated text,
// the way spreadsheets exchange them.
class EditorClipboard
{
public:
    // One pasted cell, checked: the column it goes to and the value stored.
    struct Cell
    {
        QString column;
        QVariant stored;
    };
    using Line = QList<Cell>;

    // The block of cells selected (whole rows: every column shown), as text.
    static QString copyText(const QTableView *grid);
    // Whether the selection is made of whole rows only.
    static bool wholeRows(const QTableView *grid);
    // The rows of the model the selection touches, from the last.
    static QList<int> selectedRows(const QTableView *grid);
    // The grid's own rows the selection touches, in the order shown.
    static QList<int> gridRows(const QTableView *grid);
    // The columns a paste fills, in the order shown: from the current one
    // on, or all for whole rows selected.
    static QList<int> pasteColumns(const QTableView *grid);

    // Checks every pasted cell with the model's own rules. Returns the
    // refused cells, each named by where(line) and its column; *lines gets
    // the cells that fit. Cells past the last column are refused too.
    static QStringList check(const RowTableModel *model, const QList<QStringList> &rows, const QList<int> &columns,
                             const std::function<QString(int line)> &where, QList<Line> *lines);
    // Writes a checked line into a row of a model.
    static void write(RowTableModel *model, int row, const Line &line);
    // What the user is told of refused cells.
    static QString refusedText(const QStringList &names);
};
