#include "recording/QtAudioInput.h"

#include "recording/RecordingSettings.h"

#include <QAudioSource>
#include <QMediaDevices>

#include <functional>

namespace {

QAudioFormat captureFormat()
{
    QAudioFormat format;
    format.setSampleRate(AudioInput::kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

// Qt writes what it captures in here; each write is handed on at once.
class CaptureSink : public QIODevice
{
public:
    explicit CaptureSink(std::function<void(const QByteArray &)> take)
        : m_take(std::move(take))
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        // Whole samples only; an odd byte waits for the next write.
        m_pending.append(data, size);
        const qsizetype whole = m_pending.size() - m_pending.size() % qsizetype(sizeof(qint16));
        if (whole > 0) {
            m_take(m_pending.left(whole));
            m_pending.remove(0, whole);
        }
        return size;
    }

private:
    std::function<void(const QByteArray &)> m_take;
    QByteArray m_pending;
};

} // namespace

QList<QtAudioInput::Device> QtAudioInput::inputs()
{
    QList<Device> list;
    const QAudioDevice fallback = QMediaDevices::defaultAudioInput();
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        list.append({QString::fromUtf8(d.id()), d.description(), d.id() == fallback.id()});
    return list;
}

QtAudioInput::QtAudioInput(const QString &deviceId, QObject *parent)
    : AudioInput(parent)
    , m_id(deviceId)
{
    connect(&m_watch, &QTimer::timeout, this, &QtAudioInput::devicesChanged);
}

QtAudioInput::~QtAudioInput()
{
    close();
}

QAudioDevice QtAudioInput::find() const
{
    if (m_id.isEmpty())
        return QMediaDevices::defaultAudioInput();
    for (const QAudioDevice &d : QMediaDevices::audioInputs()) {
        if (QString::fromUtf8(d.id()) == m_id)
            return d;
    }
    return {};
}

bool QtAudioInput::start(QString *error)
{
    m_wanted = true;
    m_lost = false;
    if (!m_devices) {
        // Watching the list costs nothing until it changes.
        m_devices = std::make_unique<QMediaDevices>();
        connect(m_devices.get(), &QMediaDevices::audioInputsChanged, this, &QtAudioInput::devicesChanged);
    }
    m_watch.start(kWatchMillis);
    // One that cannot be opened now is tried again as the list is watched.
    m_lost = !open(error);
    return !m_lost;
}

void QtAudioInput::stop()
{
    m_wanted = false;
    m_watch.stop();
    close();
    m_devices.reset();
}

bool QtAudioInput::open(QString *error)
{
    const QAudioDevice device = find();
    if (device.isNull()) {
        *error = m_id.isEmpty() ? QStringLiteral("no audio input") : QStringLiteral("audio input %1 not found").arg(m_id);
        return false;
    }
    const QAudioFormat format = captureFormat();
    if (!device.isFormatSupported(format)) {
        *error = QStringLiteral("%1 cannot capture 16 kHz mono").arg(device.description());
        return false;
    }
    m_source = std::make_unique<QAudioSource>(device, format);
    m_source->setBufferSize(format.bytesForDuration(200 * 1000));
    connect(m_source.get(), &QAudioSource::stateChanged, this, [this](QAudio::State state) {
        if (state == QAudio::StoppedState && m_source && m_source->error() != QAudio::NoError)
            sourceFailed();
    });
    // Pulled: Qt writes into the sink as sound comes (pushed reads come
    // too seldom with some back ends).
    m_sink = std::make_unique<CaptureSink>([this](const QByteArray &samples) { deliver(samples); });
    m_source->start(m_sink.get());
    if (m_source->error() != QAudio::NoError) {
        *error = QStringLiteral("%1 could not be opened").arg(device.description());
        close();
        return false;
    }
    qCInfo(lcRecording) << "capturing from" << device.description();
    return true;
}

void QtAudioInput::close()
{
    if (m_source) {
        m_source->disconnect(this);
        m_source->stop();
    }
    m_source.reset();
    m_sink.reset();
}

void QtAudioInput::sourceFailed()
{
    if (m_lost)
        return;
    close();
    m_lost = true;
    emit lost(QStringLiteral("the audio input stopped"));
}

void QtAudioInput::devicesChanged()
{
    if (!m_wanted)
        return;
    const bool present = !find().isNull();
    if (!m_lost && !present) {
        close();
        m_lost = true;
        emit lost(m_id.isEmpty() ? QStringLiteral("no audio input is left")
                                 : QStringLiteral("the audio input %1 was removed").arg(m_id));
    } else if (m_lost && present) {
        QString error;
        if (open(&error)) {
            m_lost = false;
            emit returned();
        }
    }
}
