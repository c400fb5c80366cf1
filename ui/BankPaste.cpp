#include "ui/BankPaste.h"

#include "data/BankTables.h"
#include "data/ChannelDatabase.h"
#include "data/ChannelRecord.h"
#include "ui/EditorHistory.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("BankPaste", text);
}

const QString kChannel = QStringLiteral("CHANNEL");

bool isFrequency(const QString &column)
{
    return column == QLatin1String("FREQUENCY") || column == QLatin1String("sFREQ");
}

} // namespace

BankPaste::BankPaste(BankTables *tables, EditorHistory *history, MessageFn message)
    : m_tables(tables)
    , m_history(history)
    , m_message(std::move(message))
{
}

bool BankPaste::ask(const QString &text)
{
    return m_message && m_message(MessageKind::OkCancel, QString(), text);
}

bool BankPaste::holdsData(const RowTableModel *model, int row)
{
    for (int c = 0; c < model->columnCount(); ++c) {
        const QVariant v = model->value(row, c);
        if (model->fieldName(c) == kChannel || v.isNull())
            continue;
        const QString text = v.toString().trimmed();
        if (!text.isEmpty() && text != ChannelRecord::kEmpty && !(isFrequency(model->fieldName(c)) && v.toDouble() == 0)
            && text != QLatin1String("0"))
            return true;
    }
    return false;
}

int BankPaste::channelsToFill(int first, int count, const QString &what)
{
    constexpr int kLast = ChannelDatabase::kBanks * ChannelDatabase::kChannelsPerBank;
    const int n = qMin(count, kLast - first + 1);
    if (first < 1 || n < 1) {
        m_message(MessageKind::Warning, QString(), tr("There is no channel %1.").arg(first));
        return 0;
    }
    const int bank = ChannelDatabase::bankOfChannel(first);
    const int bankEnd = bank * ChannelDatabase::kChannelsPerBank;
    if (first + n - 1 <= bankEnd)
        return n;
    const QString question =
        tr("%1 %2 channels from channel %3, but bank %4 ends at channel %5.\n"
           "OK goes on into bank %6 and the banks after it up to channel %7; Cancel stops at channel %5.")
            .arg(what).arg(n).arg(first).arg(bank).arg(bankEnd).arg(bank + 1).arg(first + n - 1);
    return ask(question) ? n : bankEnd - first + 1;
}

bool BankPaste::writeChannel(int channel, const EditorClipboard::Line &line, const QString &text,
                             QList<RowTableModel *> *begun)
{
    QString error;
    const int bank = ChannelDatabase::bankOfChannel(channel);
    BankTableModel *model = m_tables->bank(bank, &error);
    if (!model) {
        m_message(MessageKind::Warning, QString(), tr("Bank %1 could not be opened:\n%2").arg(bank).arg(error));
        return false;
    }
    if (!begun->contains(model)) {
        model->beginChange(text);
        *begun << model;
    }
    EditorClipboard::Line cells;
    for (const EditorClipboard::Cell &cell : line) {
        // The row's channel is where it is written, whatever the text says.
        if (cell.column != kChannel)
            cells << cell;
    }
    EditorClipboard::write(model, BankTables::ensureChannel(model, channel), cells);
    return true;
}

bool BankPaste::paste(const RowTableModel *shown, int firstChannel, const QList<QStringList> &lines,
                      const QList<int> &columns)
{
    QList<EditorClipboard::Line> checked;
    const QStringList refused = EditorClipboard::check(
        shown, lines, columns,
        [firstChannel](int line) { return tr("line %1 (channel %2)").arg(line + 1).arg(firstChannel + line); },
        &checked);
    if (!refused.isEmpty()) {
        m_message(MessageKind::Warning, QString(), EditorClipboard::refusedText(refused));
        return false;
    }
    const int n = channelsToFill(firstChannel, int(checked.size()), tr("The paste fills"));
    if (n < 1)
        return false;
    const QString text = tr("Paste");
    m_history->beginStep(text);
    QList<RowTableModel *> begun;
    bool ok = true;
    for (int i = 0; i < n && ok; ++i)
        ok = writeChannel(firstChannel + i, checked.at(i), text, &begun);
    for (RowTableModel *model : std::as_const(begun))
        model->endChange();
    m_history->endStep();
    // Lines past the last channel (when the user let the paste go on).
    const int fits = qMin(int(checked.size()), ChannelDatabase::kBanks * ChannelDatabase::kChannelsPerBank - firstChannel + 1);
    if (ok && n == fits && fits < checked.size())
        m_message(MessageKind::Warning, QString(),
                  tr("%1 lines went past channel 1000 and were not pasted.").arg(checked.size() - fits));
    return ok;
}

bool BankPaste::move(RowTableModel *from, const QList<int> &rows, int firstChannel)
{
    if (rows.isEmpty())
        return false;
    const int n = channelsToFill(firstChannel, int(rows.size()), tr("The move fills"));
    if (n < 1)
        return false;
    QList<EditorClipboard::Line> lines;
    QList<qint64> keys;
    for (const int row : rows.mid(0, n)) {
        EditorClipboard::Line line;
        for (int c = 0; c < from->columnCount(); ++c)
            line << EditorClipboard::Cell{from->fieldName(c), from->value(row, c)};
        lines << line;
        keys << from->rowKey(row);
    }
    // Channels that hold data and are not among those moved.
    QStringList replaced;
    for (int i = 0; i < n; ++i) {
        QString error;
        const int channel = firstChannel + i;
        const BankTableModel *model = m_tables->bank(ChannelDatabase::bankOfChannel(channel), &error);
        const int row = model ? BankTables::rowOfChannel(model, channel) : -1;
        if (row >= 0 && holdsData(model, row) && !(model == from && keys.contains(model->rowKey(row))))
            replaced << QString::number(channel);
    }
    if (!replaced.isEmpty()
        && !ask(tr("Channel(s) %1 hold data that the move replaces. Replace them?").arg(replaced.join(QStringLiteral(", ")))))
        return false;
    const QString text = tr("Move to Channel");
    m_history->beginStep(text);
    QList<RowTableModel *> begun{from};
    from->beginChange(text);
    // The channels left are emptied first: the block may overlap itself.
    for (const qint64 key : std::as_const(keys)) {
        const int row = from->rowOfKey(key);
        for (int c = 0; c < from->columnCount(); ++c) {
            if (isFrequency(from->fieldName(c)))
                from->setData(from->index(row, c), QString());
            else if (from->fieldName(c) != kChannel)
                from->setValue(row, c, QVariant());
        }
    }
    bool ok = true;
    for (int i = 0; i < n && ok; ++i)
        ok = writeChannel(firstChannel + i, lines.at(i), text, &begun);
    for (RowTableModel *model : std::as_const(begun))
        model->endChange();
    m_history->endStep();
    return ok;
}
