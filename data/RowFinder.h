#pragma once

#include <QList>
#include <QString>

#include <optional>

class RowTableModel;

// Finds rows of the channel banks (or any grid models) by the text of a
// column, or by frequency, going on from a place and round to it again.
class RowFinder
{
public:
    // What is looked for: a text in a column (or in any text column when
    // column is empty), or, with column "FREQUENCY", a frequency (154.415
    // finds 154.4150; text that is no frequency is looked for within it).
    struct Query
    {
        QString text;
        QString column;
    };
    struct Hit
    {
        int model = -1; // index in the list searched
        int row = -1;
        int column = -1;
    };

    // The first match after row `row` of model `model` (-1: from the very
    // start), going on through the models after it and round again.
    static std::optional<Hit> find(const QList<const RowTableModel *> &models, const Query &query, int model,
                                   int row);
    // The columns a search without a column looks in: those holding text.
    static bool isTextColumn(const QString &column);
};
