#include "data/CsvTable.h"

#include <QDir>
#include <QFile>

Q_LOGGING_CATEGORY(lcCsv, "orvendal.csv")

namespace {

QString key(const QString &name)
{
    return name.trimmed().toLower();
}

} // namespace

bool CsvTable::read(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    if (file.size() > kMaxBytes) {
        *error = QStringLiteral("%1 is too large for a channel list (%2 bytes)")
                     .arg(QDir::toNativeSeparators(path))
                     .arg(file.size());
        return false;
    }
    return readBytes(file.readAll(), error);
}

bool CsvTable::readBytes(QByteArrayView bytes, QString *error)
{
    CsvReader reader = CsvReader::parse(bytes);
    m_rows = reader.takeRecords();
    m_problems = reader.problems();
    m_header.clear();
    m_columns.clear();
    // The header is the first record, unless an unreadable line comes first.
    if (m_rows.isEmpty() || (!m_problems.isEmpty() && m_problems.front().line < m_rows.front().line)) {
        *error = m_problems.isEmpty()
            ? QStringLiteral("the file holds no header line")
            : QStringLiteral("the header line cannot be read (line %1: %2)")
                  .arg(m_problems.front().line)
                  .arg(m_problems.front().message);
        return false;
    }
    m_header = m_rows.takeFirst().fields;
    for (int i = 0; i < m_header.size(); ++i) {
        const QString name = key(m_header.at(i));
        if (name.isEmpty())
            continue;
        if (m_columns.contains(name)) {
            *error = QStringLiteral("the column %1 appears twice in the header").arg(m_header.at(i).trimmed());
            return false;
        }
        m_columns.insert(name, i);
    }
    return true;
}

int CsvTable::column(const QString &name) const
{
    return m_columns.value(key(name), -1);
}

QString CsvTable::value(const CsvReader::Record &row, int column)
{
    return column >= 0 && column < row.fields.size() ? row.fields.at(column) : QString();
}

QString CsvTable::fieldOf(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    const QString text = stored.toString();
    return text.isNull() ? QLatin1String("") : text;
}

QVariant CsvTable::storedOf(const QString &field)
{
    return field.isNull() ? QVariant() : QVariant(field);
}

QStringList CsvTable::unknownColumns(const QStringList &known) const
{
    QStringList unknown;
    for (int i = 0; i < m_header.size(); ++i) {
        const QString &name = m_header.at(i);
        if (name.trimmed().isEmpty()) {
            unknown << QStringLiteral("(column %1, without a name)").arg(i + 1);
            continue;
        }
        bool isKnown = false;
        for (const QString &k : known)
            isKnown = isKnown || key(k) == key(name);
        if (!isKnown)
            unknown << name.trimmed();
    }
    return unknown;
}

QString CsvTable::shapeProblem(const CsvReader::Record &row) const
{
    if (row.fields.size() <= m_header.size())
        return {};
    return QStringLiteral("%1 fields where the header names %2").arg(row.fields.size()).arg(m_header.size());
}
