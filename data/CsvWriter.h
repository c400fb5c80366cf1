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

    // Writes the bytes to the file as a whole, through a temporary file in
    // the same folder that is renamed into place: on failure the file that
    // was there is left as it was. A target that is not a regular file (a
    // folder, a device, a pipe) or that is one of the files in keep (compared
    // as files, so another name or a link for one is caught too) is refused
    // untouched. False with *error.
    static bool save(const QString &path, const QByteArray &bytes, QString *error, const QStringList &keep = {});
    // Why save() would refuse the target; true when it may be written.
    static bool checkTarget(const QString &path, const QStringList &keep, QString *error);
    // The files of an SQLite database at databasePath: the file itself and
    // the journals beside it, none of which an export may replace.
    static QStringList databaseFiles(const QString &databasePath);
};
