#include "data/CsvTable.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcCsv, "orvendal.csv")

namespace {

QString key(const QString &name)
{
    return name.trimmed().toLower();
}

constexpr qsizetype kChunkBytes = 1024 * 1024;
// How much of a value a message quotes.
constexpr qsizetype kQuotedChars = 40;

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024 * 1024), 'f', 1);
}

// Opens a regular file for reading and nothing else: a folder, a device or a
// pipe is refused before a byte is read (and without waiting for a writer).
bool openRegular(QFile *file, const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString notAFile =
        QStringLiteral("%1 is not a regular file (a folder, a device or a pipe); only files are imported").arg(shown);
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot read %1: %2").arg(shown, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = notAFile;
        return false;
    }
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = QStringLiteral("cannot read %1: %2").arg(shown, file->errorString());
        return false;
    }
#else
    file->setFileName(path);
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile()) {
        *error = notAFile;
        return false;
    }
    if (!file->open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(shown, file->errorString());
        return false;
    }
#endif
    return true;
}

} // namespace

bool CsvTable::read(const QString &path, QString *error)
{
    QFile file;
    if (!openRegular(&file, path, error))
        return false;
    const QString tooLarge = QStringLiteral("%1 is larger than the %2 MB an import reads (%3 MB)")
                                 .arg(QDir::toNativeSeparators(path))
                                 .arg(kMaxBytes / (1024 * 1024));
    if (file.size() > kMaxBytes) {
        *error = tooLarge.arg(megabytes(file.size()));
        return false;
    }
    *this = CsvTable();
    CsvReader reader;
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0) {
            *error = QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
            return false;
        }
        if (n == 0)
            break;
        total += n;
        // The file grew while it was read.
        if (total > kMaxBytes) {
            *error = tooLarge.arg(megabytes(total));
            *this = CsvTable();
            return false;
        }
        reader.feed(QByteArrayView(chunk.constData(), n));
        take(reader);
    }
    reader.finish();
    take(reader);
    return findHeader(error);
}

bool CsvTable::readBytes(QByteArrayView bytes, QString *error)
{
    *this = CsvTable();
    CsvReader reader;
    for (qsizetype at = 0; at < bytes.size(); at += kChunkBytes) {
        reader.feed(bytes.sliced(at, qMin(kChunkBytes, bytes.size() - at)));
        take(reader);
    }
    reader.finish();
    take(reader);
    return findHeader(error);
}

void CsvTable::take(CsvReader &reader)
{
    keepProblems(reader.takeProblems());
    const QList<CsvReader::Record> records = reader.takeRecords();
    for (const CsvReader::Record &record : records) {
        if (m_headerLine == 0) {
            m_headerLine = record.line;
            m_header = record.fields;
            continue;
        }
        m_rows.append(Row{record.line, int(record.fields.size()), m_fieldEnds.size()});
        for (const QString &field : record.fields) {
            m_text += field;
            m_fieldEnds.append(quint32(m_text.size()) | (field.isNull() ? kNullBit : 0));
        }
    }
}

void CsvTable::keepProblems(const QList<CsvReader::Problem> &problems)
{
    if (problems.isEmpty())
        return;
    if (m_firstProblemLine == 0)
        m_firstProblemLine = problems.front().line;
    m_problemCount += problems.size();
    for (const CsvReader::Problem &p : problems) {
        if (m_problems.size() >= kMaxProblems)
            break;
        m_problems.append(p);
    }
}

bool CsvTable::findHeader(QString *error)
{
    m_columns.clear();
    // The header is the first record, unless an unreadable line comes first.
    if (m_headerLine == 0 || (m_firstProblemLine > 0 && m_firstProblemLine < m_headerLine)) {
        *error = m_firstProblemLine == 0
            ? QStringLiteral("the file holds no header line")
            : QStringLiteral("the header line cannot be read (line %1: %2)")
                  .arg(m_problems.front().line)
                  .arg(m_problems.front().message);
        return false;
    }
    for (int i = 0; i < m_header.size(); ++i) {
        const QString name = key(m_header.at(i));
        if (name.isEmpty())
            continue;
        if (m_columns.contains(name)) {
            *error = QStringLiteral("the column %1 appears twice in the header").arg(quoted(m_header.at(i).trimmed()));
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

QString CsvTable::value(const Row &row, int column) const
{
    if (column < 0 || column >= row.fieldCount)
        return {};
    const qsizetype index = row.firstField + column;
    const quint32 end = m_fieldEnds.at(index);
    if (end & kNullBit)
        return {};
    const quint32 start = index == 0 ? 0 : m_fieldEnds.at(index - 1) & ~kNullBit;
    if (end == start)
        return QLatin1String(""); // quoted and empty: a value, not NULL
    return m_text.mid(start, end - start);
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

QString CsvTable::quoted(const QString &value)
{
    QString text = value.size() > kQuotedChars ? value.left(kQuotedChars) + QStringLiteral("...") : value;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QLatin1Char('"') + text + QLatin1Char('"');
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

QString CsvTable::shapeProblem(const Row &row) const
{
    if (row.fieldCount <= m_header.size())
        return {};
    return QStringLiteral("%1 fields where the header names %2").arg(row.fieldCount).arg(m_header.size());
}
