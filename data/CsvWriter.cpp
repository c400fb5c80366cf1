#include "data/CsvWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// What a path names now, following links: nothing, a regular file, or
// something else (a folder, a device, a pipe, a socket).
enum class Kind { Missing, Regular, Other };

struct Identity
{
    Kind kind = Kind::Missing;
    quint64 device = 0;
    quint64 inode = 0;
};

Identity identify(const QString &path)
{
    Identity id;
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return id;
    id.kind = S_ISREG(st.st_mode) ? Kind::Regular : Kind::Other;
    id.device = quint64(st.st_dev);
    id.inode = quint64(st.st_ino);
#else
    const QFileInfo info(path);
    if (info.exists())
        id.kind = info.isFile() ? Kind::Regular : Kind::Other;
#endif
    return id;
}

bool sameFile(const QString &a, const Identity &ida, const QString &b)
{
    const Identity idb = identify(b);
    if (idb.kind == Kind::Missing)
        return false;
#ifdef Q_OS_UNIX
    Q_UNUSED(a)
    return ida.device == idb.device && ida.inode == idb.inode;
#else
    Q_UNUSED(ida)
    return QFileInfo(a).canonicalFilePath().compare(QFileInfo(b).canonicalFilePath(), Qt::CaseInsensitive) == 0;
#endif
}

} // namespace

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

QStringList CsvWriter::databaseFiles(const QString &databasePath)
{
    return {databasePath, databasePath + QLatin1String("-wal"), databasePath + QLatin1String("-shm"),
            databasePath + QLatin1String("-journal")};
}

bool CsvWriter::checkTarget(const QString &path, const QStringList &keep, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    const Identity target = identify(path);
    if (target.kind == Kind::Other) {
        *error = QStringLiteral("%1 is not a regular file (a folder, a device or a pipe); nothing was written to it")
                     .arg(shown);
        return false;
    }
    if (target.kind == Kind::Missing)
        return true;
    for (const QString &kept : keep) {
        if (sameFile(path, target, kept)) {
            *error = QStringLiteral("%1 is the channel database in use (or one of its files); it is left as it is. "
                                    "Choose another file.")
                         .arg(shown);
            return false;
        }
    }
    return true;
}

bool CsvWriter::save(const QString &path, const QByteArray &bytes, QString *error, const QStringList &keep)
{
    if (!checkTarget(path, keep, error))
        return false;
    // A temporary file beside the target, renamed over it once complete.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}
