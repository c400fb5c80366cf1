#include "data/CsvWriter.h"

#include <QDir>
#include <QSaveFile>

QByteArray CsvWriter::field(const QString &value)
{
    if (value.isNull())
        return {};
    const bool quote = value.isEmpty() || value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"'))
        || value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')) || value.startsWith(QLatin1Char('#'))
        || value.front().isSpace() || value.back().isSpace()
        || value.front() == QChar(0xFEFF); // else read as a byte-order mark at the start of a file
    QByteArray bytes = value.toUtf8();
    if (!quote)
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

void CsvWriter::appendRecord(QByteArray *out, const QStringList &fields)
{
    // One null field alone would read back as a blank line.
    if (fields.size() == 1 && fields.front().isNull()) {
        out->append("\"\"\r\n");
        return;
    }
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out->append(',');
        out->append(field(fields.at(i)));
    }
    out->append("\r\n");
}

bool CsvWriter::save(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}
