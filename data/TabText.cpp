#include "data/TabText.h"

namespace TabText {

QString write(const QList<QStringList> &rows)
{
    QString out;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (const QString &cell : row) {
            if (cell.contains(QLatin1Char('\t')) || cell.contains(QLatin1Char('\n'))
                || cell.contains(QLatin1Char('\r')) || cell.contains(QLatin1Char('"'))) {
                QString quoted = cell;
                quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
                cells << QLatin1Char('"') + quoted + QLatin1Char('"');
            } else {
                cells << cell;
            }
        }
        out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

QList<QStringList> read(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;    // inside a quoted cell
    bool cellStart = true;  // nothing of the cell read yet
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    cell += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && cellStart) {
            quoted = true;
            cellStart = false;
        } else if (c == QLatin1Char('\t')) {
            row << cell;
            cell.clear();
            cellStart = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            row << cell;
            rows << row;
            row.clear();
            cell.clear();
            cellStart = true;
        } else {
            cell += c;
            cellStart = false;
        }
    }
    if (!cellStart || !row.isEmpty())
        rows << (row << cell);
    return rows;
}

} // namespace TabText
