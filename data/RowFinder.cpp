#include "data/RowFinder.h"

#include "data/Frequency.h"
#include "data/RowTableModel.h"

namespace {

const QString kFrequency = QStringLiteral("FREQUENCY");

// What a model's row is matched on: the columns, and the text wanted.
struct Matcher
{
    QList<int> columns;
    QString text;
    bool exact = false;
};

Matcher matcherFor(const RowTableModel *model, const RowFinder::Query &query)
{
    Matcher m;
    m.text = query.text.trimmed();
    if (query.column == kFrequency) {
        // The frequency as the scanner writes it, in sFREQ.
        if (const std::optional<Frequency> f = Frequency::fromText(m.text)) {
            m.text = f->scannerText();
            m.exact = true;
        }
        m.columns << model->fieldIndex(QStringLiteral("sFREQ"));
    } else if (!query.column.isEmpty()) {
        m.columns << model->fieldIndex(query.column);
    } else {
        for (int c = 0; c < model->columnCount(); ++c) {
            if (RowFinder::isTextColumn(model->fieldName(c)))
                m.columns << c;
        }
    }
    m.columns.removeAll(-1);
    return m;
}

int matchIn(const RowTableModel *model, const Matcher &m, int row)
{
    for (const int c : m.columns) {
        const QString value = model->value(row, c).toString();
        if (m.exact ? value == m.text : value.contains(m.text, Qt::CaseInsensitive))
            return c;
    }
    return -1;
}

} // namespace

bool RowFinder::isTextColumn(const QString &column)
{
    static const QStringList notText = {QStringLiteral("CHANNEL"), kFrequency,       QStringLiteral("sFREQ"),
                                        QStringLiteral("TRUNKED"), QStringLiteral("DELAY"), QStringLiteral("LOCKOUT"),
                                        QStringLiteral("PRIORITY")};
    return !notText.contains(column);
}

std::optional<RowFinder::Hit> RowFinder::find(const QList<const RowTableModel *> &models, const Query &query,
                                              int model, int row)
{
    if (models.isEmpty() || query.text.trimmed().isEmpty())
        return std::nullopt;
    const int count = int(models.size());
    model = qBound(0, model, count - 1);
    // Every model once, the one started in twice: its rows after the place
    // first, those before it last.
    for (int step = 0; step <= count; ++step) {
        const int index = (model + step) % count;
        const RowTableModel *m = models.at(index);
        if (!m)
            continue;
        const Matcher matcher = matcherFor(m, query);
        const int from = step == 0 ? row + 1 : 0;
        const int to = step == count ? qMin(row + 1, m->rowCount()) : m->rowCount();
        for (int r = qMax(0, from); r < to; ++r) {
            const int column = matchIn(m, matcher, r);
            if (column >= 0)
                return Hit{index, r, column};
        }
    }
    return std::nullopt;
}
