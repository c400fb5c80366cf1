#pragma once

#include "scanner/CallTracker.h"
#include "recording/RecordingSettings.h"

#include <QDateTime>
#include <QString>

#include <memory>

class ChannelDatabase;

// One finished recording as its row in RECORDINGS has it.
struct RecordingRow
{
    QString file; // full path
    QDateTime start;
    QDateTime end;
    double seconds = 0.0;
    QString channel;
    QString frequency;
    QString talkgroup;
    qint64 bytes = 0;
};

// The recordings folder and its rows, used from the writer's thread only
// (the database connection is opened there, when first needed). Finished
// files are named <folder>/YYYY-MM-DD/HHMMSS_<talkgroup or channel>_<name>.<ext>;
// a file being written has the same name with a leading "." and ".part"
// after it.
class RecordingStore
{
public:
    static constexpr const char *kPartSuffix = ".part";

    static constexpr int kBusyMillis = 2000;

    // busyMillis: how long a write waits for a lock another connection holds.
    RecordingStore(const QString &databasePath, const QString &folder, int busyMillis = kBusyMillis);
    ~RecordingStore();

    QString folder() const { return m_folder; }

    // A name any file system takes: letters, digits, "-", "_" and "." kept,
    // the rest "_", at most 40 characters, never empty.
    static QString safeName(const QString &text);
    // The temporary name of a final path, and back.
    static QString partPath(const QString &finalPath);
    static QString finalPathOf(const QString &partPath);

    struct Names
    {
        QString name; // the talkgroup's service or the channel's company name
        QString city;
        QString service;
    };
    // What the database says of the call (empty when it says nothing or fails).
    Names lookup(const CallInfo &call);
    // A final path free in the folder (its day folder made); empty with
    // *error when the folder cannot be made.
    QString newPath(const QDateTime &start, const CallInfo &call, const Names &names, const QString &extension,
                    QString *error);

    // The row of a finished file, with the talkgroup activity row of the
    // call when there is one.
    bool addRow(const RecordingRow &row, QString *error);

    struct Recovery
    {
        int partsFinished = 0;
        int partsRemoved = 0;
        int filesRegistered = 0;
        int rowsRemoved = 0; // rows whose file is gone
        bool any() const { return partsFinished || partsRemoved || filesRegistered || rowsRemoved; }
    };
    // After a crash: files being written are finished (when they can be
    // read) or removed, finished files without a row get one, rows without
    // a file go. False with *error when the database fails.
    bool recover(RecordingSettings::Format format, Recovery *done, QString *error);

    // Removes recordings older than days (none for 0) and then, oldest
    // first, as many as bring the total over maxBytes (none for 0) under it;
    // each row first, then its file. How many went, or -1 with *error.
    int prune(int days, qint64 maxBytes, const QDateTime &now, QString *error);

    // Deletes one recording: its row, then its file. False with *error when
    // the row cannot be deleted (the file is then left too).
    bool remove(const QString &file, QString *error);

    // Reads a finished file's tags into a row; false when it is no sound file.
    static bool rowFromFile(const QString &path, RecordingRow *row);

private:
    bool ensureOpen(QString *error);
    bool finishPart(const QString &part, RecordingSettings::Format format);

    QString m_databasePath;
    QString m_folder;
    int m_busyMillis;
    std::unique_ptr<ChannelDatabase> m_db;
};
