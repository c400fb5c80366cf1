#include "recording/Recorder.h"

#include "data/DataChanges.h"

#include "recording/AudioInput.h"
#include "recording/RecordingWriter.h"

#include <QDir>

#include <algorithm>

namespace {
// The ring holds the pre-roll and some room for a call resuming.
constexpr int kRingSpareMillis = 2000;
} // namespace

Recorder::Recorder(const RecordingSettings &settings, const QString &databasePath, AudioInput *input,
                   CallTracker *tracker, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_databasePath(databasePath)
    , m_input(input)
    , m_tracker(tracker)
{
    m_hang.setSingleShot(true);
    connect(&m_hang, &QTimer::timeout, this, &Recorder::closeCall);
    connect(&m_retention, &QTimer::timeout, this, [this] {
        if (m_writer)
            m_writer->prune(m_settings.retentionDays, m_settings.retentionMegabytes * 1024 * 1024);
    });
    connect(m_input, &AudioInput::captured, this, &Recorder::captured);
    connect(m_input, &AudioInput::level, this, &Recorder::level);
    connect(m_input, &AudioInput::lost, this, &Recorder::inputLost);
    connect(m_input, &AudioInput::returned, this, &Recorder::inputReturned);
    connect(m_tracker, &CallTracker::callStarted, this, &Recorder::callStarted);
    connect(m_tracker, &CallTracker::callEnded, this, &Recorder::callEnded);
}

Recorder::~Recorder()
{
    stop();
}

QString Recorder::folder() const
{
    return m_settings.folderFor(m_databasePath);
}

qint64 Recorder::droppedBlocks() const
{
    return m_writer ? m_writer->droppedBlocks() : 0;
}

void Recorder::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void Recorder::start()
{
    stop();
    const QString dir = folder();
    m_writer = std::make_unique<RecordingWriter>(m_databasePath, dir, m_settings.format);
    connect(m_writer.get(), &RecordingWriter::failed, this, [this](quint64 id, const QString &error) {
        if (id == m_id || m_id == 0)
            fail(error);
    });
    connect(m_writer.get(), &RecordingWriter::finished, this,
            [this](quint64, const QString &path, bool row) {
                // Windows listing the recordings hear of the new one.
                if (row)
                    DataChanges::announce({QStringLiteral("RECORDINGS")});
                emit recordingFinished(path, row);
            });
    connect(m_writer.get(), &RecordingWriter::discarded, this, &Recorder::recordingDropped);
    connect(m_writer.get(), &RecordingWriter::recovered, this, [this](const RecordingStore::Recovery &done) {
        if (!done.any())
            return;
        const QString text = QStringLiteral("Recordings left by an earlier run: %1 unfinished files completed, %2 "
                                            "removed; %3 files without a row registered; %4 rows of missing files "
                                            "removed")
                                 .arg(done.partsFinished)
                                 .arg(done.partsRemoved)
                                 .arg(done.filesRegistered)
                                 .arg(done.rowsRemoved);
        // Shown in the log as the program's filter has it by default.
        qCWarning(lcRecording).noquote() << text;
        emit notice(text);
    });
    connect(m_writer.get(), &RecordingWriter::recoveryFailed, this, [](const QString &error) {
        qCWarning(lcRecording) << "the recordings of an earlier run could not be checked:" << error;
    });
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isWritable()) {
        fail(QStringLiteral("the folder %1 cannot be written").arg(QDir::toNativeSeparators(dir)));
        return;
    }
    m_writer->recover();
    m_writer->prune(m_settings.retentionDays, m_settings.retentionMegabytes * 1024 * 1024);
    m_retention.start(kRetentionEveryMillis);
    m_ring.assign(size_t(qint64(m_settings.preRollMillis + kRingSpareMillis) * AudioInput::kSampleRate / 1000), 0);
    m_total = 0;
    m_lastBlockAt = m_tracker->now();
    QString error;
    if (!m_input || !m_input->start(&error)) {
        inputLost(error);
        return;
    }
    setState(State::Recording);
    emit problem(QString());
    if (m_tracker->inCall())
        callStarted(m_tracker->current(), m_tracker->now(), QDateTime::currentDateTime());
}

void Recorder::stop()
{
    if (m_id)
        closeCall();
    m_retention.stop();
    if (m_input)
        m_input->stop();
    m_writer.reset(); // what is queued is written
    setState(State::Off);
}

bool Recorder::needsRestart(const RecordingSettings &from, const RecordingSettings &to)
{
    return from.inputDevice != to.inputDevice || from.folder != to.folder || from.format != to.format
        || from.preRollMillis != to.preRollMillis;
}

void Recorder::adjust(const RecordingSettings &settings)
{
    const bool retention = settings.retentionDays != m_settings.retentionDays
        || settings.retentionMegabytes != m_settings.retentionMegabytes;
    m_settings.hangMillis = settings.hangMillis;
    m_settings.shortestMillis = settings.shortestMillis;
    m_settings.retentionDays = settings.retentionDays;
    m_settings.retentionMegabytes = settings.retentionMegabytes;
    if (retention && m_writer && m_state != State::Failed)
        m_writer->prune(m_settings.retentionDays, m_settings.retentionMegabytes * 1024 * 1024);
}

qint64 Recorder::indexAt(qint64 t) const
{
    return m_total - (m_lastBlockAt - t) * AudioInput::kSampleRate / 1000;
}

void Recorder::writeRange(qint64 from, qint64 to)
{
    const qint64 size = qint64(m_ring.size());
    from = std::max({from, to - size, qint64(0)});
    if (from >= to)
        return;
    QByteArray block((to - from) * qsizetype(sizeof(qint16)), Qt::Uninitialized);
    auto *out = reinterpret_cast<qint16 *>(block.data());
    for (qint64 i = from; i < to; ++i)
        *out++ = m_ring[size_t(i % size)];
    m_gathered.append(block);
    handOn();
    m_written = to;
}

void Recorder::captured(const QByteArray &samples)
{
    if (m_state != State::Recording || m_ring.empty())
        return;
    const auto *s = reinterpret_cast<const qint16 *>(samples.constData());
    const qint64 n = samples.size() / qsizetype(sizeof(qint16));
    const qint64 size = qint64(m_ring.size());
    for (qint64 i = 0; i < n; ++i)
        m_ring[size_t((m_total + i) % size)] = s[i];
    m_total += n;
    m_lastBlockAt = m_tracker->now();
    if (m_id && m_inSegment) {
        m_gathered.append(samples);
        m_written = m_total;
        if (m_gathered.size() >= qsizetype(sizeof(qint16)) * AudioInput::kSampleRate * kHandOnMillis / 1000)
            handOn();
    }
}

void Recorder::handOn()
{
    if (m_id && m_writer && !m_gathered.isEmpty())
        m_writer->append(m_id, m_gathered);
    m_gathered.clear();
}

void Recorder::callStarted(const CallInfo &call, qint64 at, const QDateTime &wall)
{
    if (m_state != State::Recording)
        return;
    const qint64 preRoll = m_settings.preRollMillis;
    if (m_id && !m_inSegment && call.key() == m_key) {
        // Back within the hang time: the same file goes on.
        m_hang.stop();
        writeRange(std::max(m_written, indexAt(at - preRoll)), m_total);
        m_inSegment = true;
        m_segmentStart = at;
        return;
    }
    if (m_id)
        closeCall();
    m_id = ++m_ids;
    m_key = call.key();
    m_inSegment = true;
    m_segmentStart = at;
    m_callMillis = 0;
    const qint64 from = std::max({indexAt(at - preRoll), m_total - qint64(m_ring.size()), qint64(0)});
    const qint64 earlier = (indexAt(at) - from) * 1000 / AudioInput::kSampleRate;
    m_writer->open(m_id, call, wall.addMSecs(-earlier));
    writeRange(from, m_total);
}

void Recorder::callEnded(qint64 at)
{
    if (!m_id || !m_inSegment)
        return;
    m_inSegment = false;
    m_callMillis += at - m_segmentStart;
    handOn();
    m_hang.start(m_settings.hangMillis);
}

void Recorder::closeCall()
{
    m_hang.stop();
    if (!m_id)
        return;
    if (m_inSegment)
        m_callMillis += m_tracker->now() - m_segmentStart;
    m_inSegment = false;
    handOn();
    if (m_writer)
        m_writer->finish(m_id, m_callMillis >= m_settings.shortestMillis);
    m_id = 0;
    m_key.clear();
}

void Recorder::fail(const QString &text)
{
    m_hang.stop();
    m_gathered.clear();
    m_id = 0; // the writer removed its file
    m_inSegment = false;
    if (m_input)
        m_input->stop();
    const bool first = m_state != State::Failed;
    setState(State::Failed);
    if (first) {
        qCWarning(lcRecording).noquote() << "recording stopped:" << text;
        emit problem(QStringLiteral("Recording stopped: %1").arg(text));
    }
}

void Recorder::inputLost(const QString &reason)
{
    if (m_state == State::Failed || m_state == State::InputLost)
        return;
    closeCall(); // what was heard so far is kept
    setState(State::InputLost);
    qCWarning(lcRecording).noquote() << "recording stopped:" << reason;
    emit problem(QStringLiteral("Recording stopped: %1; it goes on when the input is back").arg(reason));
}

void Recorder::inputReturned()
{
    if (m_state != State::InputLost)
        return;
    m_total = 0;
    m_lastBlockAt = m_tracker->now();
    std::fill(m_ring.begin(), m_ring.end(), 0);
    setState(State::Recording);
    qCInfo(lcRecording) << "recording again: the input is back";
    emit problem(QString());
    if (m_tracker->inCall())
        callStarted(m_tracker->current(), m_tracker->now(), QDateTime::currentDateTime());
}
