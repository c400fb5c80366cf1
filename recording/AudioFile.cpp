#include "recording/AudioFile.h"

#include "recording/AudioInput.h"

#include <QFile>

#include <sndfile.h>

namespace {

int sfFormat(RecordingSettings::Format format)
{
    switch (format) {
    case RecordingSettings::Format::Flac: return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case RecordingSettings::Format::OggOpus: return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case RecordingSettings::Format::Wav: return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    }
    return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
}

QString commentOf(const AudioFile::Tags &tags)
{
    QStringList lines;
    for (auto it = tags.begin(); it != tags.end(); ++it) {
        QString value = it.value();
        value.replace(QLatin1Char('\n'), QLatin1Char(' '));
        lines << it.key() + QLatin1Char('=') + value;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

AudioFile::~AudioFile()
{
    if (m_file)
        sf_close(m_file);
}

bool AudioFile::create(const QString &path, RecordingSettings::Format format, const QString &title,
                       const Tags &tags, QString *error)
{
    SF_INFO info{};
    info.samplerate = AudioInput::kSampleRate;
    info.channels = 1;
    info.format = sfFormat(format);
    m_file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!m_file) {
        *error = QString::fromLocal8Bit(sf_strerror(nullptr));
        return false;
    }
    m_frames = 0;
    // Strings go in before any sound, where every format takes them.
    sf_set_string(m_file, SF_STR_TITLE, title.toUtf8().constData());
    sf_set_string(m_file, SF_STR_SOFTWARE, "Orvendal");
    sf_set_string(m_file, SF_STR_DATE, tags.value(QStringLiteral("start")).toUtf8().constData());
    sf_set_string(m_file, SF_STR_COMMENT, commentOf(tags).toUtf8().constData());
    return true;
}

bool AudioFile::write(const QByteArray &samples, QString *error)
{
    const sf_count_t n = samples.size() / sf_count_t(sizeof(short));
    if (!m_file || n == 0)
        return m_file != nullptr;
    const sf_count_t done = sf_write_short(m_file, reinterpret_cast<const short *>(samples.constData()), n);
    m_frames += done;
    if (done != n || sf_error(m_file) != SF_ERR_NO_ERROR) {
        *error = QString::fromLocal8Bit(sf_strerror(m_file));
        return false;
    }
    return true;
}

bool AudioFile::close(QString *error)
{
    if (!m_file)
        return true;
    sf_write_sync(m_file);
    const int failed = sf_error(m_file);
    const QString text = QString::fromLocal8Bit(sf_strerror(m_file));
    const int closed = sf_close(m_file);
    m_file = nullptr;
    if (failed != SF_ERR_NO_ERROR || closed != 0) {
        *error = failed != SF_ERR_NO_ERROR ? text : QString::fromLocal8Bit(sf_error_number(closed));
        return false;
    }
    return true;
}

bool AudioFile::read(const QString &path, Info *info, QString *error)
{
    SF_INFO sf{};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &sf);
    if (!file) {
        *error = QString::fromLocal8Bit(sf_strerror(nullptr));
        return false;
    }
    auto text = [file](int which) {
        const char *s = sf_get_string(file, which);
        return s ? QString::fromUtf8(s) : QString();
    };
    info->seconds = sf.samplerate > 0 ? double(sf.frames) / sf.samplerate : 0.0;
    info->title = text(SF_STR_TITLE);
    info->date = text(SF_STR_DATE);
    info->tags.clear();
    for (const QString &line : text(SF_STR_COMMENT).split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            info->tags.insert(line.left(eq), line.mid(eq + 1));
    }
    sf_close(file);
    return true;
}

bool AudioFile::readSamples(const QString &path, QByteArray *samples, QString *error)
{
    SF_INFO sf{};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &sf);
    if (!file) {
        *error = QString::fromLocal8Bit(sf_strerror(nullptr));
        return false;
    }
    samples->clear();
    if (sf.channels == 1) {
        short block[4096];
        sf_count_t n = 0;
        while ((n = sf_read_short(file, block, 4096)) > 0)
            samples->append(reinterpret_cast<const char *>(block), n * qsizetype(sizeof(short)));
    }
    sf_close(file);
    return true;
}
