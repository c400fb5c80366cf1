#include "recording/RecordingSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

Q_LOGGING_CATEGORY(lcRecording, "orvendal.recording")

namespace {

qint64 number(QSettings &store, const char *key, qint64 fallback, qint64 max)
{
    bool ok = false;
    const qint64 value = store.value(QLatin1String(key)).toString().trimmed().toLongLong(&ok);
    if (!ok)
        return fallback;
    return std::clamp<qint64>(value, 0, max);
}

bool flag(QSettings &store, const char *key, bool fallback)
{
    const QString text = store.value(QLatin1String(key)).toString().trimmed().toLower();
    if (text == QLatin1String("1") || text == QLatin1String("true") || text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("0") || text == QLatin1String("false") || text == QLatin1String("no"))
        return false;
    return fallback;
}

} // namespace

RecordingSettings RecordingSettings::load(QSettings &store, bool demo)
{
    RecordingSettings s;
    s.inputDevice = store.value(QLatin1String(kInputKey)).toString();
    s.enabled = flag(store, kEnabledKey, demo);
    s.folder = store.value(QLatin1String(kFolderKey)).toString().trimmed();
    s.format = formatFromKey(store.value(QLatin1String(kFormatKey)).toString());
    s.preRollMillis = int(number(store, kPreRollKey, s.preRollMillis, kMaxPreRollMillis));
    s.hangMillis = int(number(store, kHangKey, s.hangMillis, kMaxHangMillis));
    s.shortestMillis = int(number(store, kShortestKey, s.shortestMillis, kMaxShortestMillis));
    s.retentionDays = int(number(store, kRetentionDaysKey, s.retentionDays, kMaxRetentionDays));
    s.retentionMegabytes = number(store, kRetentionSizeKey, s.retentionMegabytes, kMaxRetentionMegabytes);
    return s;
}

bool RecordingSettings::save(QSettings &store) const
{
    store.setValue(QLatin1String(kInputKey), inputDevice);
    store.setValue(QLatin1String(kEnabledKey), enabled ? 1 : 0);
    store.setValue(QLatin1String(kFolderKey), folder);
    store.setValue(QLatin1String(kFormatKey), formatKey(format));
    store.setValue(QLatin1String(kPreRollKey), std::clamp(preRollMillis, 0, kMaxPreRollMillis));
    store.setValue(QLatin1String(kHangKey), std::clamp(hangMillis, 0, kMaxHangMillis));
    store.setValue(QLatin1String(kShortestKey), std::clamp(shortestMillis, 0, kMaxShortestMillis));
    store.setValue(QLatin1String(kRetentionDaysKey), std::clamp(retentionDays, 0, kMaxRetentionDays));
    store.setValue(QLatin1String(kRetentionSizeKey), std::clamp<qint64>(retentionMegabytes, 0, kMaxRetentionMegabytes));
    store.sync();
    return store.status() == QSettings::NoError;
}

QString RecordingSettings::folderFor(const QString &databasePath) const
{
    if (!folder.isEmpty())
        return QDir(folder).absolutePath();
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("Recordings"));
}

QString RecordingSettings::extension(Format format)
{
    switch (format) {
    case Format::Flac: return QStringLiteral("flac");
    case Format::OggOpus: return QStringLiteral("opus");
    case Format::Wav: return QStringLiteral("wav");
    }
    return QStringLiteral("flac");
}

QString RecordingSettings::formatName(Format format)
{
    switch (format) {
    case Format::Flac: return QStringLiteral("FLAC");
    case Format::OggOpus: return QStringLiteral("Ogg Opus");
    case Format::Wav: return QStringLiteral("WAV");
    }
    return QStringLiteral("FLAC");
}

RecordingSettings::Format RecordingSettings::formatFromKey(const QString &key)
{
    const QString k = key.trimmed().toLower();
    if (k == QLatin1String("opus"))
        return Format::OggOpus;
    if (k == QLatin1String("wav"))
        return Format::Wav;
    return Format::Flac;
}

QString RecordingSettings::formatKey(Format format)
{
    return extension(format);
}
