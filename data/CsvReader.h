#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringConverter>
#include <QStringList>

#include <utility>

// A strict reader of comma-separated text (RFC 4180) in UTF-8, fed in pieces
// of any size (a file, or bytes as they arrive).
//
// - Fields are separated by ",", records end at CR LF, LF or CR.
// - A field in double quotes may hold commas, line breaks and quotes (written
//   twice: ""). After the closing quote only ",", a line end or the end of
//   the text may follow.
// - A quote inside an unquoted field, text after a closing quote, a quoted
//   field never closed and bytes that are not UTF-8 make the record a
//   problem, reported with the line it starts on; reading goes on with the
//   next line.
// - A UTF-8 byte-order mark at the very start is skipped; lines starting with
//   "#" and blank lines are not records.
//
// An unquoted empty field is read as a null QString, a quoted one ("") as an
// empty but not null QString: the tables tell "no value" (NULL) from an empty
// text, and the two survive a round trip through CsvWriter.
class CsvReader
{
public:
    struct Record
    {
        int line = 0; // where the record starts, 1-based
        QStringList fields;
    };
    struct Problem
    {
        int line = 0;
        QString message;
    };

    void feed(QByteArrayView bytes);
    // The end of the text: completes the last record.
    void finish();

    // The records and problems found so far; take* hands them over.
    QList<Record> takeRecords();
    QList<Problem> takeProblems() { return std::exchange(m_problems, {}); }
    const QList<Problem> &problems() const { return m_problems; }

    // Reads a whole text at once.
    static CsvReader parse(QByteArrayView bytes);

private:
    enum class State { RecordStart, FieldStart, Unquoted, Quoted, QuoteInQuoted, Comment, SkipLine };

    void step(char c);
    void lineBreakSeen(char c);
    void endField();
    void endRecord();
    void fail(const QString &message);

    State m_state = State::RecordStart;
    int m_line = 1;
    int m_recordLine = 1;
    bool m_lastWasCr = false;
    // Bytes of a possible byte-order mark at the start, held until decided.
    QByteArray m_head;
    bool m_headDone = false;
    QByteArray m_field;
    bool m_quoted = false;
    QStringList m_fields;
    QString m_error;
    // Kept: a field may begin with U+FEFF.
    QStringDecoder m_decoder{QStringDecoder::Utf8,
                             QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom};
    QList<Record> m_records;
    QList<Problem> m_problems;
};
