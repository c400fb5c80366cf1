#pragma once

#include "data/CsvReader.h"

#include <QHash>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QVariant>

Q_DECLARE_LOGGING_CATEGORY(lcCsv)

// A CSV file as the imports read it: the first record names the columns,
// every further record is one row. Columns are found by name, without regard
// to case or surrounding blanks.
class CsvTable
{
public:
    // Files larger than this are refused before anything is read.
    static constexpr qint64 kMaxBytes = 64 * 1024 * 1024;

    // False, with *error, when the file cannot be read or holds no header.
    bool read(const QString &path, QString *error);
    bool readBytes(QByteArrayView bytes, QString *error);

    const QStringList &header() const { return m_header; }
    const QList<CsvReader::Record> &rows() const { return m_rows; }
    // Records the reader could not take, with their lines.
    const QList<CsvReader::Problem> &problems() const { return m_problems; }

    // The index of a column, -1 when the file has none of that name.
    int column(const QString &name) const;
    bool has(const QString &name) const { return column(name) >= 0; }
    // A row's value in a column: null when the file has no such column or
    // the row ends before it.
    static QString value(const CsvReader::Record &row, int column);
    // A stored value as a field and back: NULL is a null QString (an empty
    // field), an empty text an empty one ("").
    static QString fieldOf(const QVariant &stored);
    static QVariant storedOf(const QString &field);

    // The columns of the header that are none of these, in file order.
    QStringList unknownColumns(const QStringList &known) const;
    // Why a row cannot be taken as it stands (more fields than the header
    // names); empty when it can.
    QString shapeProblem(const CsvReader::Record &row) const;

private:
    QStringList m_header;
    QHash<QString, int> m_columns;
    QList<CsvReader::Record> m_rows;
    QList<CsvReader::Problem> m_problems;
};
