#include "recording/QtAudioInput.h"

#include "recording/RecordingSettings.h"

#include <QAudioSource>
#include <QMediaDevices>

namespace {

QAudioFormat captureFormat()
{
    QAudioFormat format;
    format.setSampleRate(AudioInput::kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

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
    return open(error);
}

void QtAudioInput::stop()
{
    m_wanted = false;
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
    m_io = m_source->start();
    if (!m_io || m_source->error() != QAudio::NoError) {
        *error = QStringLiteral("%1 could not be opened").arg(device.description());
        close();
        return false;
    }
    connect(m_io, &QIODevice::readyRead, this, &QtAudioInput::read);
    qCInfo(lcRecording) << "capturing from" << device.description();
    return true;
}

void QtAudioInput::close()
{
    if (m_source) {
        m_source->disconnect(this);
        m_source->stop();
    }
    m_io = nullptr;
    m_source.reset();
}

void QtAudioInput::read()
{
    if (!m_io)
        return;
    QByteArray bytes = m_io->readAll();
    bytes.truncate(bytes.size() - bytes.size() % qsizetype(sizeof(qint16)));
    deliver(bytes);
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
