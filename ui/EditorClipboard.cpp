#include "ui/EditorClipboard.h"

#include "data/RowTableModel.h"
#include "data/TabText.h"

#include <QAbstractProxyModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>

namespace {

// The logical columns shown, in the order shown, but for those that follow
// another.
QList<int> shownColumns(const QTableView *grid)
{
    const auto *proxy = qobject_cast<const QAbstractProxyModel *>(grid->model());
    const auto *model = qobject_cast<const RowTableModel *>(proxy ? proxy->sourceModel() : grid->model());
    QList<int> columns;
    const QHeaderView *header = grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!grid->isColumnHidden(logical) && !(model && model->follows(logical)))
            columns << logical;
    }
    return columns;
}

// At most this many refused cells are named one by one.
constexpr int kNamed = 12;

} // namespace

bool EditorClipboard::wholeRows(const QTableView *grid)
{
    const QItemSelectionModel *selection = grid->selectionModel();
    if (!selection || !selection->hasSelection())
        return false;
    for (const QModelIndex &index : selection->selectedIndexes()) {
        if (!selection->isRowSelected(index.row()))
            return false;
    }
    return true;
}

QList<int> EditorClipboard::selectedRows(const QTableView *grid)
{
    const auto *proxy = qobject_cast<const QAbstractProxyModel *>(grid->model());
    QList<int> rows;
    for (const int row : gridRows(grid)) {
        const QModelIndex index = grid->model()->index(row, 0);
        rows << (proxy ? proxy->mapToSource(index).row() : row);
    }
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    return rows;
}

QList<int> EditorClipboard::gridRows(const QTableView *grid)
{
    QList<int> rows;
    if (const QItemSelectionModel *selection = grid->selectionModel()) {
        for (const QModelIndex &index : selection->selectedIndexes()) {
            if (!rows.contains(index.row()))
                rows << index.row();
        }
    }
    if (rows.isEmpty() && grid->currentIndex().isValid())
        rows << grid->currentIndex().row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString EditorClipboard::copyText(const QTableView *grid)
{
    const QItemSelectionModel *selection = grid->selectionModel();
    QModelIndexList cells = selection ? selection->selectedIndexes() : QModelIndexList();
    if (cells.isEmpty() && grid->currentIndex().isValid())
        cells << grid->currentIndex();
    if (cells.isEmpty())
        return {};
    const QList<int> shown = shownColumns(grid);
    QList<int> columns;
    if (wholeRows(grid)) {
        columns = shown;
    } else {
        for (const int logical : shown) {
            const bool used = std::any_of(cells.cbegin(), cells.cend(),
                                          [logical](const QModelIndex &i) { return i.column() == logical; });
            if (used)
                columns << logical;
        }
    }
    const QList<int> rows = gridRows(grid);
    QList<QStringList> block;
    for (const int row : std::as_const(rows)) {
        QStringList line;
        for (const int column : std::as_const(columns))
            line << grid->model()->index(row, column).data(Qt::EditRole).toString();
        block << line;
    }
    return TabText::write(block);
}

QList<int> EditorClipboard::pasteColumns(const QTableView *grid)
{
    const QList<int> shown = shownColumns(grid);
    if (wholeRows(grid) || !grid->currentIndex().isValid())
        return shown;
    const int from = int(shown.indexOf(grid->currentIndex().column()));
    return from < 0 ? shown : shown.mid(from);
}

QStringList EditorClipboard::check(const RowTableModel *model, const QList<QStringList> &rows,
                                   const QList<int> &columns, const std::function<QString(int line)> &where,
                                   QList<Line> *lines)
{
    QStringList refused;
    for (int l = 0; l < rows.size(); ++l) {
        Line line;
        const QStringList &cells = rows.at(l);
        for (int i = 0; i < cells.size(); ++i) {
            const QString shown = cells.at(i).size() > 40 ? cells.at(i).left(40) + RowTableModel::kCutMark : cells.at(i);
            if (i >= columns.size()) {
                refused << QObject::tr("%1, past the last column: \"%2\"").arg(where(l), shown);
                continue;
            }
            QVariant stored;
            if (!model->accepts(columns.at(i), cells.at(i), &stored)) {
                refused << QObject::tr("%1, %2: \"%3\"").arg(where(l), model->fieldName(columns.at(i)), shown);
                continue;
            }
            line << Cell{model->fieldName(columns.at(i)), cells.at(i).isEmpty() ? stored : QVariant(cells.at(i))};
        }
        *lines << line;
    }
    return refused;
}

void EditorClipboard::write(RowTableModel *model, int row, const Line &line)
{
    for (const Cell &cell : line) {
        const int column = model->fieldIndex(cell.column);
        if (column < 0)
            continue;
        // Through the model's own rules (a frequency sets both its columns);
        // a value they take only when pasted is stored as checked.
        if (!model->setData(model->index(row, column), cell.stored)) {
            QVariant stored;
            if (model->accepts(column, cell.stored, &stored))
                model->setValue(row, column, stored);
        }
    }
}

QString EditorClipboard::refusedText(const QStringList &names)
{
    QStringList shown = names.mid(0, kNamed);
    if (names.size() > kNamed)
        shown << QObject::tr("and %1 more").arg(names.size() - kNamed);
    return QObject::tr("Nothing was pasted: %n cell(s) do not fit their columns:\n%1", nullptr, int(names.size()))
        .arg(shown.join(QLatin1Char('\n')));
}
