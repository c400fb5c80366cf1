#include "data/DatabaseSchema.h"

#include "data/ChannelDatabase.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

// The schema is compiled into the program; a static library needs its
// resources registered by hand.
static void initSchemaResource()
{
    Q_INIT_RESOURCE(orvendal);
}

namespace {

int userVersion(QSqlDatabase db, bool *ok, bool *busy)
{
    QSqlQuery q(db);
    *ok = q.exec(QStringLiteral("PRAGMA user_version")) && q.next();
    if (!*ok)
        *busy = ChannelDatabase::isBusy(q.lastError());
    return *ok ? q.value(0).toInt() : 0;
}

// Runs the statements in one transaction; on failure nothing of them stays.
// With fromVersion, only while the file is still at that version once the
// write lock is held: another program opening the same file at the same
// moment may have taken the step already.
bool runInTransaction(QSqlDatabase db, const QStringList &statements, QString *error, bool *busy, int fromVersion = -1)
{
    auto fail = [&](const QSqlError &e) {
        *error = e.text();
        *busy = ChannelDatabase::isBusy(e);
        db.rollback();
        return false;
    };
    // The write lock first, so that a busy file fails before any work.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(q.lastError());
    if (fromVersion >= 0) {
        if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
            return fail(q.lastError());
        const bool taken = q.value(0).toInt() != fromVersion;
        q.finish();
        if (taken)
            return q.exec(QStringLiteral("COMMIT")) || fail(q.lastError());
    }
    for (const QString &statement : statements) {
        if (!q.exec(statement)) {
            const QSqlError e = q.lastError();
            q.finish();
            return fail(e);
        }
    }
    q.finish();
    if (!q.exec(QStringLiteral("COMMIT")))
        return fail(q.lastError());
    return true;
}

} // namespace

QString DatabaseSchema::s_file = QStringLiteral(":/orvendal/schema.sql");

void DatabaseSchema::setDefinitionFile(const QString &path)
{
    s_file = path;
}

QStringList DatabaseSchema::statements(QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    initSchemaResource();
    QFile file(s_file);
    const QString broken = QStringLiteral("the program's table definitions (%1) cannot be read; nothing was written. "
                                          "The program is damaged: install it again.");
    if (!file.open(QIODevice::ReadOnly)) {
        *error = broken.arg(s_file) + QLatin1Char(' ') + file.errorString();
        return {};
    }
    QString text = QString::fromUtf8(file.readAll());
    // Comments out, then the bank block repeated for every bank.
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("--")) && line.trimmed() != QLatin1String("-- @END@"))
            continue;
        lines << line;
    }
    text = lines.join(QLatin1Char('\n'));
    const qsizetype end = text.indexOf(QLatin1String("-- @END@"));
    if (end < 0 || !text.contains(QLatin1String("@BANK@"))) {
        *error = broken.arg(s_file);
        return {};
    }
    const QString bankBlock = text.left(end);
    QString expanded;
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank)
        expanded += QString(bankBlock).replace(QLatin1String("@BANK@"), ChannelDatabase::bankTableName(bank));
    expanded += text.mid(end + int(qstrlen("-- @END@")));

    QStringList result;
    for (const QString &s : expanded.split(QLatin1Char(';'))) {
        if (!s.trimmed().isEmpty())
            result << s.trimmed();
    }
    if (result.isEmpty())
        *error = broken.arg(s_file);
    return result;
}

QStringList DatabaseSchema::activityStatements()
{
    // HEARD: ISO 8601 with milliseconds, so that text order is time order
    // (in UTC with "Z" from version 3 on).
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS TALKGROUP_ACTIVITY (ID TEXT NOT NULL, BANK TEXT, HEARD TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS TALKGROUP_ACTIVITY_HEARD ON TALKGROUP_ACTIVITY (HEARD)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS TALKGROUP_ACTIVITY_ID ON TALKGROUP_ACTIVITY (ID, HEARD)"),
    };
}

QStringList DatabaseSchema::utcStatements()
{
    const QString utc = QStringLiteral("strftime('%Y-%m-%dT%H:%M:%fZ', HEARD, 'utc')");
    return {QStringLiteral("UPDATE TALKGROUP_ACTIVITY SET HEARD = %1 WHERE HEARD NOT LIKE '%Z' AND %1 IS NOT NULL")
                .arg(utc)};
}

QStringList DatabaseSchema::recordingStatements()
{
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS RECORDINGS (FILE TEXT NOT NULL UNIQUE, START_UTC TEXT NOT NULL, "
                       "END_UTC TEXT NOT NULL, DURATION REAL NOT NULL, CHANNEL TEXT, FREQUENCY TEXT, TALKGROUP TEXT, "
                       "ACTIVITY INTEGER, BYTES INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS RECORDINGS_START ON RECORDINGS (START_UTC)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS RECORDINGS_ACTIVITY ON RECORDINGS (ACTIVITY)"),
    };
}

QStringList DatabaseSchema::channelActivityStatements(QSqlDatabase db)
{
    QStringList step{
        QStringLiteral("CREATE TABLE IF NOT EXISTS CHANNEL_ACTIVITY (CHANNEL TEXT NOT NULL, FREQUENCY TEXT, "
                       "HEARD TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS CHANNEL_ACTIVITY_HEARD ON CHANNEL_ACTIVITY (HEARD)"),
    };
    QSqlQuery columns(db);
    bool present = false;
    if (columns.exec(QStringLiteral("PRAGMA table_info(RECORDINGS)"))) {
        while (columns.next())
            present = present || columns.value(1).toString().compare(QLatin1String("CHANNEL_ACTIVITY"), Qt::CaseInsensitive) == 0;
    }
    if (!present)
        step << QStringLiteral("ALTER TABLE RECORDINGS ADD COLUMN CHANNEL_ACTIVITY INTEGER");
    step << QStringLiteral("CREATE INDEX IF NOT EXISTS RECORDINGS_CHANNEL_ACTIVITY ON RECORDINGS (CHANNEL_ACTIVITY)");
    return step;
}

QStringList DatabaseSchema::alertStatements()
{
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS ALERT_RULES (ID INTEGER PRIMARY KEY, NAME TEXT NOT NULL, "
                       "ENABLED INTEGER NOT NULL DEFAULT 1, MATCH_KIND TEXT NOT NULL, MATCH_TEXT TEXT NOT NULL, "
                       "NOTIFY INTEGER NOT NULL DEFAULT 0, SOUND INTEGER NOT NULL DEFAULT 0, SOUND_FILE TEXT, "
                       "RUN INTEGER NOT NULL DEFAULT 0, PROGRAM TEXT, ARGUMENTS TEXT, "
                       "COOLDOWN_SECS INTEGER NOT NULL DEFAULT 60)"),
    };
}

QStringList DatabaseSchema::tableNames()
{
    QStringList names;
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank)
        names << ChannelDatabase::bankTableName(bank);
    names << QStringLiteral("TALKGROUPS") << QStringLiteral("TALKGROUP_ACTIVITY") << QStringLiteral("RECORDINGS")
          << QStringLiteral("CHANNEL_ACTIVITY") << QStringLiteral("ALERT_RULES");
    return names;
}

bool DatabaseSchema::prepare(QSqlDatabase db, const QString &path, QString *error, bool *busy)
{
    bool notBusy = false;
    if (!busy)
        busy = &notBusy;
    *busy = false;
    if (statements().isEmpty()) {
        // Never stamp a version on a file without its tables.
        *error = QStringLiteral("the program's table definitions cannot be read; %1 is left as it is")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    bool ok = false;
    const int version = userVersion(db, &ok, busy);
    if (!ok) {
        *error = QStringLiteral("%1 is not a usable database: %2").arg(QDir::toNativeSeparators(path), db.lastError().text());
        return false;
    }
    if (version > kVersion) {
        *error = QStringLiteral("%1 was written by a newer version of this program (database version %2; this version "
                                "knows up to %3). It is left as it is; use the newer program with it.")
                     .arg(QDir::toNativeSeparators(path))
                     .arg(version)
                     .arg(kVersion);
        return false;
    }
    if (db.tables().isEmpty())
        QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL")); // a new file
    for (int from = version; from < kVersion; ++from) {
        if (!migrate(db, from, error, busy))
            return false;
    }
    return createMissing(db, error, busy);
}

bool DatabaseSchema::migrate(QSqlDatabase db, int from, QString *error, bool *busy)
{
    QStringList step;
    switch (from) {
    case 0:
        // Version 0: a new or empty file, or one from before versions were
        // kept. Its own tables stay as they are; ours are added.
        step = statements(error);
        if (step.isEmpty())
            return false; // the version is not stamped on a file without our tables
        break;
    case 1:
        step = activityStatements();
        break;
    case 2:
        step = utcStatements();
        break;
    case 3:
        step = recordingStatements();
        break;
    case 4:
        step = channelActivityStatements(db);
        break;
    case 5:
        step = alertStatements();
        break;
    default:
        break;
    }
    step << QStringLiteral("PRAGMA user_version=%1").arg(from + 1);
    return runInTransaction(db, step, error, busy, from);
}

bool DatabaseSchema::createMissing(QSqlDatabase db, QString *error, bool *busy)
{
    const QStringList present = db.tables();
    bool missing = false;
    for (const QString &name : tableNames())
        missing = missing || !present.contains(name, Qt::CaseInsensitive);
    if (!missing)
        return true;
    const QStringList tables = statements(error);
    if (tables.isEmpty())
        return false;
    // (The channel step checks RECORDINGS before it is made: its column is then added.)
    if (!runInTransaction(db, tables + activityStatements() + recordingStatements() + channelActivityStatements(db)
                                  + alertStatements(),
                          error, busy))
        return false;
    // Every table must be there now, else the file is not one to work on.
    const QStringList made = db.tables();
    for (const QString &name : tableNames()) {
        if (!made.contains(name, Qt::CaseInsensitive)) {
            *error = QStringLiteral("the table %1 could not be made").arg(name);
            return false;
        }
    }
    return true;
}
