#include "data/EditorModels.h"

#include "data/ChannelRecord.h"
#include "data/Frequency.h"

#include <QDate>
#include <QTime>

namespace {

bool normaliseFlag(const QVariant &value, QVariant *stored)
{
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("1") || text == QLatin1String("true") || text == QLatin1String("yes")) {
        *stored = 1;
        return true;
    }
    if (text == QLatin1String("0") || text == QLatin1String("false") || text == QLatin1String("no")) {
        *stored = 0;
        return true;
    }
    return false;
}

} // namespace

bool BankTableModel::normalise(const QString &column, const QVariant &value, QVariant *stored)
{
    const QString text = value.toString().trimmed();
    if (column == QLatin1String("CHANNEL")) {
        bool ok = false;
        const int channel = text.toInt(&ok);
        if (!ok || channel < 1 || channel > 1000)
            return false;
        *stored = channel;
        return true;
    }
    if (column == QLatin1String("FREQUENCY") || column == QLatin1String("sFREQ")) {
        QVariant mhz;
        QVariant sFreq;
        if (!frequencyPair(value, &mhz, &sFreq))
            return false;
        *stored = column == QLatin1String("FREQUENCY") ? mhz : sFreq;
        return true;
    }
    if (column == QLatin1String("TRUNKED") || column == QLatin1String("DELAY") || column == QLatin1String("LOCKOUT")
        || column == QLatin1String("PRIORITY"))
        return normaliseFlag(value, stored);
    *stored = value;
    return true;
}

bool BankTableModel::frequencyPair(const QVariant &value, QVariant *mhz, QVariant *sFreq)
{
    const QString text = value.toString().trimmed();
    // Nothing, nought or the scanner's own mark: an empty channel.
    if (text.isEmpty() || text == ChannelRecord::kEmpty || text.toDouble() == 0.0) {
        bool number = false;
        text.toDouble(&number);
        if (!text.isEmpty() && !number)
            return false;
        *mhz = 0.0;
        *sFreq = ChannelRecord::kEmpty;
        return true;
    }
    const std::optional<Frequency> f = Frequency::fromText(text);
    if (!f)
        return false;
    *mhz = f->mhz();
    *sFreq = f->scannerText();
    return true;
}

bool BankTableModel::accepts(int column, const QVariant &value, QVariant *stored) const
{
    const QString name = fieldName(column);
    if (value.toString().trimmed().isEmpty()
        && (name == QLatin1String("TRUNKED") || name == QLatin1String("DELAY") || name == QLatin1String("LOCKOUT")
            || name == QLatin1String("PRIORITY"))) {
        *stored = QVariant();
        return true;
    }
    return normalise(name, value, stored);
}

QVariant BankTableModel::data(const QModelIndex &index, int role) const
{
    const QVariant v = RowTableModel::data(index, role);
    if ((role == Qt::DisplayRole || role == Qt::EditRole) && fieldName(index.column()) == QLatin1String("FREQUENCY")
        && !v.isNull()) {
        bool number = false;
        const double mhz = v.toDouble(&number);
        if (number)
            return QString::number(mhz, 'f', 4);
    }
    return v;
}

bool BankTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const QString column = fieldName(index.column());
    if (role == Qt::EditRole && (column == QLatin1String("FREQUENCY") || column == QLatin1String("sFREQ"))) {
        // The two columns hold one frequency: either sets both.
        QVariant mhz;
        QVariant sFreq;
        if (!frequencyPair(value, &mhz, &sFreq))
            return false;
        const int mhzColumn = fieldIndex(QStringLiteral("FREQUENCY"));
        const int sFreqColumn = fieldIndex(QStringLiteral("sFREQ"));
        bool ok = true;
        if (mhzColumn >= 0)
            ok = setValue(index.row(), mhzColumn, mhz) && ok;
        if (sFreqColumn >= 0)
            ok = setValue(index.row(), sFreqColumn, sFreq) && ok;
        return ok;
    }
    QVariant stored = value;
    if (role == Qt::EditRole && !normalise(fieldName(index.column()), value, &stored))
        return false;
    return RowTableModel::setData(index, stored, role);
}

bool TalkgroupTableModel::normalise(const QString &column, const QVariant &value, QVariant *stored)
{
    const QString text = value.toString().trimmed();
    if (column == QLatin1String("ID")) {
        if (text.isEmpty())
            return false;
        *stored = text;
        return true;
    }
    if (column == QLatin1String("DATE")) {
        if (!text.isEmpty() && !QDate::fromString(text, Qt::ISODate).isValid())
            return false;
        *stored = text;
        return true;
    }
    if (column == QLatin1String("TIME")) {
        if (!text.isEmpty() && !QTime::fromString(text, QStringLiteral("HH:mm:ss")).isValid()
            && !QTime::fromString(text, QStringLiteral("HH:mm")).isValid())
            return false;
        *stored = text;
        return true;
    }
    *stored = value;
    return true;
}

bool TalkgroupTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    QVariant stored = value;
    if (role == Qt::EditRole && !normalise(fieldName(index.column()), value, &stored))
        return false;
    return RowTableModel::setData(index, stored, role);
}

bool TalkgroupTableModel::checkRow(int row, QString *why) const
{
    // A row stored earlier without one is left as it is.
    if (rowId(row) == 0 && value(row, fieldIndex(QStringLiteral("ID"))).toString().trimmed().isEmpty()) {
        *why = tr("A talkgroup needs an ID.");
        return false;
    }
    return true;
}
