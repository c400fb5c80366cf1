#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Writes comma-separated text (RFC 4180) in UTF-8, records ending in CR LF,
// as CsvReader reads it back: a null QString becomes an empty field, an empty
// one a quoted empty field (""), and a field is quoted when it holds a comma,
// a quote, a line break, starts with "#" or U+FEFF or has spaces at either end.
class CsvWriter
{
public:
    static QByteArray field(const QString &value);
    static void appendRecord(QByteArray *out, const QStringList &fields);

    // Writes the bytes to the file as a whole: on failure the file that was
    // there is left as it was. False with *error.
    static bool save(const QString &path, const QByteArray &bytes, QString *error);
};
