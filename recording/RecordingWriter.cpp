#include "recording/RecordingWriter.h"

#include "recording/AudioFile.h"
#include "recording/AudioInput.h"

#include <QFile>
#include <QFileInfo>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

struct RecordingWriter::Current
{
    quint64 id = 0;
    AudioFile file;
    QString part;
    QString path;
    RecordingRow row;
    bool broken = false; // a write failed: the rest of the call is ignored
};

namespace {

QString startTag(const QDateTime &start)
{
    const QDateTime local = start.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

RecordingWriter::RecordingWriter(const QString &databasePath, const QString &folder,
                                 RecordingSettings::Format format, QObject *parent)
    : QObject(parent)
    , m_databasePath(databasePath)
    , m_folder(folder)
    , m_format(format)
{
    m_thread = std::thread([this] { run(); });
}

RecordingWriter::~RecordingWriter()
{
    push(Command(Command::Kind::Stop));
    m_thread.join();
}

void RecordingWriter::push(Command command)
{
    {
        std::lock_guard lock(m_mutex);
        if (command.kind == Command::Kind::Append)
            ++m_queuedSound;
        m_queue.push_back(std::move(command));
    }
    m_wake.notify_one();
}

void RecordingWriter::open(quint64 id, const CallInfo &call, const QDateTime &start)
{
    Command c(Command::Kind::Open);
    c.id = id;
    c.call = call;
    c.when = start;
    push(std::move(c));
}

bool RecordingWriter::append(quint64 id, const QByteArray &samples)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_queuedSound >= kMaxQueued) {
            if (m_dropped++ == 0)
                qCWarning(lcRecording) << "the recording writer is behind; sound is being dropped";
            return false;
        }
    }
    Command c(Command::Kind::Append);
    c.id = id;
    c.samples = samples;
    push(std::move(c));
    return true;
}

void RecordingWriter::finish(quint64 id, bool keep)
{
    Command c(Command::Kind::Finish);
    c.id = id;
    c.keep = keep;
    push(std::move(c));
}

void RecordingWriter::recover()
{
    push(Command(Command::Kind::Recover));
}

void RecordingWriter::prune(int days, qint64 maxBytes)
{
    Command c(Command::Kind::Prune);
    c.days = days;
    c.bytes = maxBytes;
    push(std::move(c));
}

qint64 RecordingWriter::droppedBlocks() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

void RecordingWriter::run()
{
    // Below the window thread: on a busy machine a poll turn goes first,
    // and the queue takes up the slack.
    ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), kNiceness);
    m_store = std::make_unique<RecordingStore>(m_databasePath, m_folder);
    for (;;) {
        Command c;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_queue.empty(); });
            c = std::move(m_queue.front());
            m_queue.pop_front();
            if (c.kind == Command::Kind::Append)
                --m_queuedSound;
        }
        switch (c.kind) {
        case Command::Kind::Open: doOpen(c); break;
        case Command::Kind::Append: doAppend(c); break;
        case Command::Kind::Finish: doFinish(c); break;
        case Command::Kind::Recover: {
            RecordingStore::Recovery done;
            QString error;
            if (m_store->recover(m_format, &done, &error))
                report([this, done] { emit recovered(done); });
            else
                report([this, error] { emit recoveryFailed(error); });
            break;
        }
        case Command::Kind::Prune: {
            QString error;
            const int n = m_store->prune(c.days, c.bytes, QDateTime::currentDateTimeUtc(), &error);
            if (n < 0)
                qCWarning(lcRecording) << "old recordings could not be removed:" << error;
            else
                report([this, n] { emit pruned(n); });
            break;
        }
        case Command::Kind::Stop:
            if (m_current) {
                // The run ends mid-call: what was heard is kept.
                Command end(Command::Kind::Finish);
                end.id = m_current->id;
                end.keep = true;
                doFinish(end);
            }
            m_store.reset();
            return;
        }
    }
}

void RecordingWriter::doOpen(const Command &c)
{
    if (m_current) {
        Command end(Command::Kind::Finish);
        end.id = m_current->id;
        end.keep = true;
        doFinish(end);
    }
    auto cur = std::make_unique<Current>();
    cur->id = c.id;
    const RecordingStore::Names names = m_store->lookup(c.call);
    QString error;
    cur->path = m_store->newPath(c.when, c.call, names, RecordingSettings::extension(m_format), &error);
    const QString what = c.call.talkgroup.isEmpty() ? c.call.channel : c.call.talkgroup;
    AudioFile::Tags tags{{QStringLiteral("talkgroup"), c.call.talkgroup},
                         {QStringLiteral("channel"), c.call.channel},
                         {QStringLiteral("frequency"), c.call.frequency},
                         {QStringLiteral("city"), names.city},
                         {QStringLiteral("service"), names.service},
                         {QStringLiteral("start"), startTag(c.when)}};
    const QString title = names.name.isEmpty() ? what : names.name + QStringLiteral(" (") + what + QLatin1Char(')');
    if (!cur->path.isEmpty()) {
        cur->part = RecordingStore::partPath(cur->path);
        if (!cur->file.create(cur->part, m_format, title, tags, &error))
            error = QStringLiteral("%1 cannot be written: %2").arg(cur->part, error);
    }
    cur->row.file = cur->path;
    cur->row.start = c.when.toUTC();
    cur->row.channel = c.call.channel;
    cur->row.frequency = c.call.frequency;
    cur->row.talkgroup = c.call.talkgroup;
    cur->broken = !cur->file.isOpen();
    m_current = std::move(cur);
    if (m_current->broken)
        fail(error);
}

void RecordingWriter::doAppend(const Command &c)
{
    if (!m_current || m_current->id != c.id || m_current->broken)
        return;
    QString error;
    if (!m_current->file.write(c.samples, &error))
        fail(QStringLiteral("writing %1 failed: %2").arg(m_current->part, error));
}

void RecordingWriter::fail(const QString &error)
{
    QString ignored;
    m_current->broken = true;
    m_current->file.close(&ignored);
    if (!m_current->part.isEmpty())
        QFile::remove(m_current->part);
    const quint64 id = m_current->id;
    report([this, id, error] { emit failed(id, error); });
}

void RecordingWriter::doFinish(const Command &c)
{
    if (!m_current || m_current->id != c.id)
        return;
    std::unique_ptr<Current> cur = std::move(m_current);
    const quint64 id = cur->id;
    if (cur->broken)
        return; // said when it broke
    QString error;
    const bool closed = cur->file.close(&error);
    if (!closed) {
        m_current = std::move(cur);
        fail(QStringLiteral("finishing %1 failed: %2").arg(m_current->part, error));
        m_current.reset();
        return;
    }
    if (!c.keep) {
        QFile::remove(cur->part);
        report([this, id] { emit discarded(id); });
        return;
    }
    // Renamed first, then its row: a crash in between leaves a finished
    // file that the next start registers.
    if (!QFile::rename(cur->part, cur->path)) {
        QFile::remove(cur->part);
        const QString text = QStringLiteral("%1 could not be renamed").arg(cur->part);
        report([this, id, text] { emit failed(id, text); });
        return;
    }
    cur->row.seconds = double(cur->file.frames()) / AudioInput::kSampleRate;
    cur->row.end = cur->row.start.addMSecs(qint64(cur->row.seconds * 1000));
    cur->row.bytes = QFileInfo(cur->path).size();
    const bool row = m_store->addRow(cur->row, &error);
    if (!row)
        qCWarning(lcRecording) << "the row of" << cur->path << "is not written yet (the next start adds it):" << error;
    const QString path = cur->path;
    report([this, id, path, row] { emit finished(id, path, row); });
}
