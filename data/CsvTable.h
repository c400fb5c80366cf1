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
//
// Only regular files are read, up to kMaxBytes. The rows are kept compactly
// (their text in one string, each field as a place in it), so that memory and
// time grow in step with the file and no more.
class CsvTable
{
public:
    // Files larger than this are refused before anything is read.
    static constexpr qint64 kMaxBytes = 32 * 1024 * 1024;
    // Of the records the reader cannot take, this many are kept with their
    // reasons; the rest are only counted.
    static constexpr int kMaxProblems = 1000;

    // One row: where it starts in the file and where its fields are kept.
    struct Row
    {
        int line = 0; // 1-based
        int fieldCount = 0;
        qsizetype firstField = 0;
    };

    // False, with *error, when the file cannot be read (not a regular file,
    // larger than kMaxBytes) or holds no header.
    bool read(const QString &path, QString *error);
    bool readBytes(QByteArrayView bytes, QString *error);

    const QStringList &header() const { return m_header; }
    const QList<Row> &rows() const { return m_rows; }
    // Records the reader could not take, with their lines (the first
    // kMaxProblems of them), and how many there were in all.
    const QList<CsvReader::Problem> &problems() const { return m_problems; }
    qsizetype problemCount() const { return m_problemCount; }

    // The index of a column, -1 when the file has none of that name.
    int column(const QString &name) const;
    bool has(const QString &name) const { return column(name) >= 0; }
    // A row's value in a column: null when the file has no such column or
    // the row ends before it.
    QString value(const Row &row, int column) const;
    // A stored value as a field and back: NULL is a null QString (an empty
    // field), an empty text an empty one ("").
    static QString fieldOf(const QVariant &stored);
    static QVariant storedOf(const QString &field);
    // A value of the file as a message quotes it: in double quotes, line
    // breaks shown as spaces, a long one cut short with "...".
    static QString quoted(const QString &value);

    // The columns of the header that are none of these, in file order.
    QStringList unknownColumns(const QStringList &known) const;
    // Why a row cannot be taken as it stands (more fields than the header
    // names); empty when it can.
    QString shapeProblem(const Row &row) const;

private:
    void take(CsvReader &reader);
    void keepProblems(const QList<CsvReader::Problem> &problems);
    bool findHeader(QString *error);

    // Each field as its end in m_text, the top bit set for a null field; a
    // field starts where the one before it ends (m_text holds less than 2^31
    // characters: the file is at most kMaxBytes).
    static constexpr quint32 kNullBit = 0x80000000u;
    QString m_text;
    QList<quint32> m_fieldEnds;
    int m_headerLine = 0;
    int m_firstProblemLine = 0;
    QStringList m_header;
    QHash<QString, int> m_columns;
    QList<Row> m_rows;
    QList<CsvReader::Problem> m_problems;
    qsizetype m_problemCount = 0;
};
