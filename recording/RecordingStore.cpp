#include "recording/RecordingStore.h"

#include "data/ChannelDatabase.h"
#include "data/TalkgroupActivityLog.h"
#include "link/LinkSettings.h"
#include "recording/AudioFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// How far from a call's start its talkgroup activity row may be dated.
constexpr int kActivityWindowSecs = 10;

} // namespace

RecordingStore::RecordingStore(const QString &databasePath, const QString &folder, int busyMillis)
    : m_databasePath(databasePath)
    , m_folder(folder)
    , m_busyMillis(busyMillis)
{
}

RecordingStore::~RecordingStore()
{
    if (m_db)
        m_db->close();
}

bool RecordingStore::ensureOpen(QString *error)
{
    if (!m_db) {
        m_db = std::make_unique<ChannelDatabase>(
            m_databasePath, QStringLiteral("orvendal-recordings-%1").arg(quintptr(this), 0, 16), m_busyMillis);
    }
    return m_db->isOpen() || m_db->open(error);
}

QString RecordingStore::safeName(const QString &text)
{
    QString out;
    for (const QChar c : text.trimmed()) {
        const bool keep = (c.isLetterOrNumber() && c.unicode() < 0x80) || c == QLatin1Char('-')
                          || c == QLatin1Char('.') || c == QLatin1Char('_');
        out += keep ? c : QLatin1Char('_');
    }
    // No run of "_", no dots at the ends (hidden files, Windows), short.
    while (out.contains(QLatin1String("__")))
        out.replace(QLatin1String("__"), QLatin1String("_"));
    while (out.startsWith(QLatin1Char('.')) || out.startsWith(QLatin1Char('_')))
        out.remove(0, 1);
    out.truncate(40);
    while (out.endsWith(QLatin1Char('.')) || out.endsWith(QLatin1Char('_')))
        out.chop(1);
    return out.isEmpty() ? QStringLiteral("unnamed") : out;
}

QString RecordingStore::partPath(const QString &finalPath)
{
    const QFileInfo f(finalPath);
    return f.dir().filePath(QLatin1Char('.') + f.fileName() + QLatin1String(kPartSuffix));
}

QString RecordingStore::finalPathOf(const QString &part)
{
    const QFileInfo f(part);
    QString name = f.fileName();
    if (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    name.chop(int(qstrlen(kPartSuffix)));
    return f.dir().filePath(name);
}

RecordingStore::Names RecordingStore::lookup(const CallInfo &call)
{
    Names names;
    QString error;
    if (!ensureOpen(&error))
        return names;
    if (!call.talkgroup.isEmpty()) {
        std::optional<ChannelDatabase::Talkgroup> tg;
        if (m_db->lookupTalkgroup(call.talkgroup, &tg, &error) && tg) {
            names.city = tg->city;
            names.service = tg->serviceDesc;
            names.name = tg->serviceDesc;
        }
    } else {
        std::optional<ChannelDatabase::ChannelNotes> ch;
        const int channel = LinkSettings::leadingNumber(call.channel);
        if (channel > 0 && m_db->lookupChannel(channel, &ch, &error) && ch)
            names.name = ch->companyName;
    }
    return names;
}

QString RecordingStore::newPath(const QDateTime &start, const CallInfo &call, const Names &names,
                                const QString &extension, QString *error)
{
    const QDateTime local = start.toLocalTime();
    QDir day(QDir(m_folder).filePath(local.toString(QStringLiteral("yyyy-MM-dd"))));
    if (!day.mkpath(QStringLiteral("."))) {
        *error = QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(day.path()));
        return {};
    }
    const QString what = safeName(call.talkgroup.isEmpty() ? call.channel : call.talkgroup);
    const QString stem = local.toString(QStringLiteral("HHmmss")) + QLatin1Char('_') + what + QLatin1Char('_')
                         + safeName(names.name);
    QString path = day.filePath(stem + QLatin1Char('.') + extension);
    for (int n = 2; QFileInfo::exists(path) || QFileInfo::exists(partPath(path)); ++n)
        path = day.filePath(stem + QStringLiteral("-%1.").arg(n) + extension);
    return path;
}

bool RecordingStore::addRow(const RecordingRow &row, QString *error)
{
    if (!ensureOpen(error))
        return false;
    QSqlDatabase db = m_db->database();
    QVariant activity;
    QVariant channelActivity;
    // The activity row of the call: its talkgroup's, or its channel's (same
    // channel and frequency) when it had none.
    const bool onChannel = row.talkgroup.isEmpty() && !row.channel.isEmpty();
    if (!row.talkgroup.isEmpty() || onChannel) {
        QSqlQuery find(db);
        find.prepare(onChannel ? QStringLiteral("SELECT rowid FROM CHANNEL_ACTIVITY WHERE CHANNEL = ? AND FREQUENCY IS ? "
                                                "AND HEARD BETWEEN ? AND ? "
                                                "ORDER BY abs(julianday(HEARD) - julianday(?)) LIMIT 1")
                               : QStringLiteral("SELECT rowid FROM TALKGROUP_ACTIVITY WHERE ID = ? AND HEARD BETWEEN ? AND ? "
                                                "ORDER BY abs(julianday(HEARD) - julianday(?)) LIMIT 1"));
        const QString at = TalkgroupActivityLog::heardText(row.start);
        find.addBindValue(onChannel ? row.channel : row.talkgroup);
        if (onChannel)
            find.addBindValue(row.frequency.isEmpty() ? QVariant() : QVariant(row.frequency));
        find.addBindValue(TalkgroupActivityLog::heardText(row.start.addSecs(-kActivityWindowSecs)));
        find.addBindValue(TalkgroupActivityLog::heardText(row.end.addSecs(kActivityWindowSecs)));
        find.addBindValue(at.left(at.size() - 1));
        if (find.exec() && find.next())
            (onChannel ? channelActivity : activity) = find.value(0);
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO RECORDINGS (FILE, START_UTC, END_UTC, DURATION, CHANNEL, "
                             "FREQUENCY, TALKGROUP, ACTIVITY, BYTES, CHANNEL_ACTIVITY) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const auto orNull = [](const QString &s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    q.addBindValue(row.file);
    q.addBindValue(TalkgroupActivityLog::heardText(row.start));
    q.addBindValue(TalkgroupActivityLog::heardText(row.end));
    q.addBindValue(row.seconds);
    q.addBindValue(orNull(row.channel));
    q.addBindValue(orNull(row.frequency));
    q.addBindValue(orNull(row.talkgroup));
    q.addBindValue(activity);
    q.addBindValue(row.bytes);
    q.addBindValue(channelActivity);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    return true;
}

bool RecordingStore::remove(const QString &file, QString *error)
{
    if (!ensureOpen(error))
        return false;
    QSqlQuery del(m_db->database());
    del.prepare(QStringLiteral("DELETE FROM RECORDINGS WHERE FILE = ?"));
    del.addBindValue(file);
    if (!del.exec()) {
        *error = del.lastError().text();
        return false;
    }
    if (QFile::exists(file) && !QFile::remove(file)) {
        // Found and registered again at the next start.
        *error = QStringLiteral("%1 could not be deleted").arg(QDir::toNativeSeparators(file));
        return false;
    }
    return true;
}

bool RecordingStore::rowFromFile(const QString &path, RecordingRow *row)
{
    AudioFile::Info info;
    QString error;
    if (!AudioFile::read(path, &info, &error))
        return false;
    row->file = path;
    row->seconds = info.seconds;
    row->start = QDateTime::fromString(info.tags.value(QStringLiteral("start"), info.date), Qt::ISODate);
    if (!row->start.isValid())
        row->start = QFileInfo(path).lastModified().addMSecs(-qint64(info.seconds * 1000));
    row->start = row->start.toUTC();
    row->end = row->start.addMSecs(qint64(info.seconds * 1000));
    row->channel = info.tags.value(QStringLiteral("channel"));
    row->frequency = info.tags.value(QStringLiteral("frequency"));
    row->talkgroup = info.tags.value(QStringLiteral("talkgroup"));
    row->bytes = QFileInfo(path).size();
    return true;
}

bool RecordingStore::finishPart(const QString &part, RecordingSettings::Format format)
{
    // What was written of it, written again as a whole file with its tags.
    AudioFile::Info info;
    QByteArray samples;
    QString error;
    if (!AudioFile::read(part, &info, &error) || !AudioFile::readSamples(part, &samples, &error) || samples.isEmpty())
        return false;
    const QString finalPath = finalPathOf(part);
    const QString redo = part + QStringLiteral(".redo");
    AudioFile out;
    const bool written = out.create(redo, format, info.title, info.tags, &error) && out.write(samples, &error)
                         && out.close(&error);
    if (!written || QFileInfo::exists(finalPath) || !QFile::rename(redo, finalPath)) {
        QFile::remove(redo);
        return false;
    }
    QFile::remove(part);
    return true;
}

bool RecordingStore::recover(RecordingSettings::Format format, Recovery *done, QString *error)
{
    if (!ensureOpen(error))
        return false;
    QSqlDatabase db = m_db->database();
    QSet<QString> known;
    QStringList gone;
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT FILE FROM RECORDINGS"))) {
            *error = q.lastError().text();
            return false;
        }
        while (q.next()) {
            const QString file = q.value(0).toString();
            known.insert(file);
            if (file.startsWith(m_folder + QLatin1Char('/')) && !QFileInfo::exists(file))
                gone << file;
        }
    }
    QStringList unregistered;
    const QStringList audio{QStringLiteral("*.flac"), QStringLiteral("*.opus"), QStringLiteral("*.wav")};
    QStringList filters = audio;
    filters << QStringLiteral(".*") + QLatin1String(kPartSuffix) << QStringLiteral("*.redo");
    QDirIterator it(m_folder, filters, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList parts;
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String(kPartSuffix)) || path.endsWith(QLatin1String(".redo")))
            parts << path;
        else if (!known.contains(path))
            unregistered << path;
    }
    for (const QString &part : parts) {
        if (part.endsWith(QLatin1String(kPartSuffix)) && finishPart(part, format)) {
            ++done->partsFinished;
            unregistered << finalPathOf(part);
        } else if (QFile::remove(part)) {
            ++done->partsRemoved;
        }
    }
    for (const QString &file : unregistered) {
        RecordingRow row;
        if (rowFromFile(file, &row) && addRow(row, error))
            ++done->filesRegistered;
    }
    if (!gone.isEmpty()) {
        QSqlQuery del(db);
        del.prepare(QStringLiteral("DELETE FROM RECORDINGS WHERE FILE = ?"));
        db.transaction();
        for (const QString &file : gone) {
            del.addBindValue(file);
            if (del.exec())
                ++done->rowsRemoved;
        }
        db.commit();
    }
    return true;
}

int RecordingStore::prune(int days, qint64 maxBytes, const QDateTime &now, QString *error)
{
    if ((days <= 0 && maxBytes <= 0) || !ensureOpen(error))
        return days <= 0 && maxBytes <= 0 ? 0 : -1;
    QSqlDatabase db = m_db->database();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT FILE, START_UTC, BYTES FROM RECORDINGS ORDER BY START_UTC"))) {
        *error = q.lastError().text();
        return -1;
    }
    struct Entry { QString file; QString start; qint64 bytes; };
    QList<Entry> all;
    qint64 total = 0;
    while (q.next()) {
        all.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong()});
        total += all.last().bytes;
    }
    q.finish();
    const QString cutoff = days > 0 ? TalkgroupActivityLog::heardText(now.addDays(-days)) : QString();
    QStringList doomed;
    for (const Entry &e : all) {
        const bool old = days > 0 && e.start < cutoff;
        const bool over = maxBytes > 0 && total > maxBytes;
        if (!old && !over)
            break; // oldest first: the rest are newer and within the limit
        doomed << e.file;
        total -= e.bytes;
    }
    if (doomed.isEmpty())
        return 0;
    // Rows first: a file left by a crash in between is found and registered
    // again at the next start, never a row without its file.
    QSqlQuery del(db);
    del.prepare(QStringLiteral("DELETE FROM RECORDINGS WHERE FILE = ?"));
    db.transaction();
    for (const QString &file : doomed) {
        del.addBindValue(file);
        if (!del.exec()) {
            *error = del.lastError().text();
            db.rollback();
            return -1;
        }
    }
    if (!db.commit()) {
        *error = db.lastError().text();
        return -1;
    }
    for (const QString &file : doomed)
        QFile::remove(file);
    return int(doomed.size());
}
