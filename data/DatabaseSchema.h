#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The tables of the channel database and how a file is brought up to them.
// A file is never replaced and nothing in it is dropped or altered: a new or
// zero-length file gets every table, an older one is migrated one version at
// a time, tables of ours that are missing are created, and a file written by
// a newer program is refused untouched.
class DatabaseSchema
{
public:
    // PRAGMA user_version of a file this program writes.
    static constexpr int kVersion = 6;

    // The statements that create every table (each "IF NOT EXISTS"); none,
    // with *error, when the definitions built into the program cannot be read.
    static QStringList statements(QString *error = nullptr);
    // Where the definitions are read from (the program's resource); tests
    // point it elsewhere to see a damaged program fail safely.
    static void setDefinitionFile(const QString &path);
    // Version 2: the talkgroup activity log, one row per talkgroup shown.
    static QStringList activityStatements();
    // Version 3: activity times in UTC. Rows of version 2 hold local time
    // without an offset; they are turned into UTC as the system's time zone
    // has them. A time that cannot be read is left as it is.
    static QStringList utcStatements();
    // Version 4: a row per recorded call. FILE is the finished file's full
    // path; START_UTC and END_UTC are written as HEARD is; ACTIVITY is the
    // rowid of the TALKGROUP_ACTIVITY row of the call, or NULL.
    static QStringList recordingStatements();
    // Version 5: calls without a talkgroup (squelch open on a channel) in
    // CHANNEL_ACTIVITY, as TALKGROUP_ACTIVITY has the talkgroups heard; a
    // recording of such a call has the rowid of its row in
    // RECORDINGS.CHANNEL_ACTIVITY (ACTIVITY stays for talkgroup rows). The
    // column is added only where it is missing.
    static QStringList channelActivityStatements(QSqlDatabase db);
    // Version 6: the alert rules. ARGUMENTS is a JSON array of texts.
    static QStringList alertStatements();
    // The tables a complete database holds.
    static QStringList tableNames();

    // Brings the open database at path up to kVersion. False, with *error,
    // when it cannot be (a newer file, a failing write); nothing is then
    // left half done. *busy (when given) tells whether it failed only
    // because another connection held the file locked.
    static bool prepare(QSqlDatabase db, const QString &path, QString *error, bool *busy = nullptr);
    // One step, from version from to the next; nothing when the file has
    // moved on meanwhile (another program opening it took the step).
    static bool migrate(QSqlDatabase db, int from, QString *error, bool *busy);

private:
    static QString s_file;
    static bool createMissing(QSqlDatabase db, QString *error, bool *busy);
};
