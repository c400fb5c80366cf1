#pragma once

#include <QLoggingCategory>
#include <QString>

class QSettings;

Q_DECLARE_LOGGING_CATEGORY(lcRecording)

// How calls are recorded, kept in the settings group "Config" under keys of
// its own. Values out of range are brought into range when read.
struct RecordingSettings
{
    enum class Format { Flac, OggOpus, Wav };

    static constexpr int kMaxPreRollMillis = 10000;
    static constexpr int kMaxHangMillis = 60000;
    static constexpr int kMaxShortestMillis = 60000;
    static constexpr int kMaxRetentionDays = 36500;
    static constexpr qint64 kMaxRetentionMegabytes = 1024 * 1024; // 1 TB

    QString inputDevice;          // the input's id; empty for the system's default
    bool enabled = false;
    QString folder;               // empty: "Recordings" beside the database
    Format format = Format::Flac;
    int preRollMillis = 1000;
    int hangMillis = 2000;
    int shortestMillis = 500;
    int retentionDays = 30;       // 0: kept whatever their age
    qint64 retentionMegabytes = 2048; // 0: no limit on the total size

    // The settings stored (defaults for keys not there); demo: recording is
    // on unless the store says otherwise.
    static RecordingSettings load(QSettings &store, bool demo = false);
    // Writes every key; false when the store cannot be written.
    bool save(QSettings &store) const;

    // The folder to record into: the one set, or "Recordings" in the folder
    // of the database.
    QString folderFor(const QString &databasePath) const;

    static QString extension(Format format);
    static QString formatName(Format format); // "FLAC", "Ogg Opus", "WAV"
    // "flac", "opus", "wav" (any case); FLAC for anything else.
    static Format formatFromKey(const QString &key);
    static QString formatKey(Format format);

    static constexpr const char *kInputKey = "Config/Recording_Input";
    static constexpr const char *kEnabledKey = "Config/Recording_Enabled";
    static constexpr const char *kFolderKey = "Config/Recording_Folder";
    static constexpr const char *kFormatKey = "Config/Recording_Format";
    static constexpr const char *kPreRollKey = "Config/Recording_PreRoll_Ms";
    static constexpr const char *kHangKey = "Config/Recording_Hang_Ms";
    static constexpr const char *kShortestKey = "Config/Recording_Shortest_Ms";
    static constexpr const char *kRetentionDaysKey = "Config/Recording_Retention_Days";
    static constexpr const char *kRetentionSizeKey = "Config/Recording_Retention_MB";
};
