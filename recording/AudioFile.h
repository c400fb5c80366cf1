#pragma once

#include "recording/RecordingSettings.h"

#include <QByteArray>
#include <QMap>
#include <QString>

// One sound file through libsndfile: written as mono 16-bit at the input's
// rate in the chosen format with its tags, or read back for its length and
// tags. Tags: TITLE, DATE (the start with its UTC offset), SOFTWARE, and
// COMMENT holding "key=value" lines (talkgroup, channel, frequency, city,
// service, start) that a program can read back.
class AudioFile
{
public:
    using Tags = QMap<QString, QString>;

    AudioFile() = default;
    ~AudioFile();
    AudioFile(const AudioFile &) = delete;
    AudioFile &operator=(const AudioFile &) = delete;

    // Creates path (replacing it). False with *error when it cannot be.
    bool create(const QString &path, RecordingSettings::Format format, const QString &title, const Tags &tags,
                QString *error);
    // Appends samples (qint16); false with *error when not all were written.
    bool write(const QByteArray &samples, QString *error);
    // Finishes the file; false with *error when the end could not be written.
    bool close(QString *error);
    bool isOpen() const { return m_file != nullptr; }
    qint64 frames() const { return m_frames; }

    struct Info
    {
        double seconds = 0.0;
        QString title;
        QString date;
        Tags tags;
    };
    // Reads a finished file's length and tags; false when it is not a sound file.
    static bool read(const QString &path, Info *info, QString *error);
    // Its samples as qint16 (as much of them as can be read).
    static bool readSamples(const QString &path, QByteArray *samples, QString *error);

private:
    struct sf_private_tag *m_file = nullptr;
    qint64 m_frames = 0;
};
