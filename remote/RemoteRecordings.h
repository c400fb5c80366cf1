#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QSqlDatabase;

// The recordings the web front panel may play, looked up by their row in
// RECORDINGS (read-only) and never by a path from a request: a row's file is
// handed out only when, with every link resolved, it lies inside the
// recordings folder and is a sound file the page can play.
class RemoteRecordings
{
public:
    // databasePath: the rows; folder: the recordings folder now (it may
    // change while the program runs; none, and nothing is handed out).
    RemoteRecordings(const QString &databasePath, std::function<QString()> folder);

    // Missing: the file is gone, cannot be read or is no sound file.
    enum class Outcome { Found, Unknown, Outside, Missing };
    struct Opened
    {
        Outcome outcome = Outcome::Unknown;
        std::unique_ptr<QFile> file; // open for reading, at its start, when found
        QByteArray type;             // its Content-Type
    };
    Opened open(qint64 id) const;

    // The recording stored as this file, and the activity row it belongs to.
    struct Link
    {
        qint64 recording = 0;
        QString talkgroup;
        QString heard; // the activity row's HEARD
    };
    std::optional<Link> linkOf(const QString &file) const;

    // The Content-Type of a sound file from its first bytes (FLAC, Ogg, WAV);
    // empty for anything else.
    static QByteArray audioType(const QByteArray &head);

    // Runs work on a read-only connection of its own that never waits for a
    // lock; false when the file is missing or cannot be opened.
    static bool withDatabase(const QString &path, const std::function<void(QSqlDatabase &)> &work);

private:
    QString m_databasePath;
    std::function<QString()> m_folder;
};
