#pragma once

#include "scanner/CallTracker.h"
#include "recording/RecordingSettings.h"
#include "recording/RecordingStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Encodes and writes the recordings on a thread of its own, fed through a
// bounded queue: the window thread only queues, never waits. Sound that
// finds the queue full is dropped (and said once) rather than held. A file
// is written under its temporary name; once finished it is renamed, then
// its row is written. What the thread did comes back as signals, in the
// thread that made the writer.
class RecordingWriter : public QObject
{
    Q_OBJECT
public:
    // Sound blocks waiting at most (ten seconds of the recorder's 100 ms blocks).
    static constexpr int kMaxQueued = 100;
    // The thread's nice value, relative to the program's.
    static constexpr int kNiceness = 10;

    RecordingWriter(const QString &databasePath, const QString &folder, RecordingSettings::Format format,
                    QObject *parent = nullptr);
    // Everything queued is done first.
    ~RecordingWriter() override;

    void open(quint64 id, const CallInfo &call, const QDateTime &start);
    // False when the queue was full and the samples were dropped.
    bool append(quint64 id, const QByteArray &samples);
    // keep: the call was long enough; otherwise the file goes.
    void finish(quint64 id, bool keep);
    // Leftovers of an earlier run (see RecordingStore::recover).
    void recover();
    void prune(int days, qint64 maxBytes);

    qint64 droppedBlocks() const;
    QString folder() const { return m_folder; }

signals:
    void finished(quint64 id, const QString &path, bool rowWritten);
    void discarded(quint64 id);
    // The folder or the disk failed; the call's file is gone.
    void failed(quint64 id, const QString &error);
    void recovered(const RecordingStore::Recovery &done);
    void recoveryFailed(const QString &error);
    void pruned(int files);

private:
    struct Command
    {
        enum class Kind { Open, Append, Finish, Recover, Prune, Stop };
        explicit Command(Kind k = Kind::Stop)
            : kind(k)
        {
        }
        Kind kind;
        quint64 id = 0;
        CallInfo call;
        QDateTime when;
        QByteArray samples;
        bool keep = false;
        int days = 0;
        qint64 bytes = 0;
    };
    void push(Command command);
    void run();
    void doOpen(const Command &c);
    void doAppend(const Command &c);
    void doFinish(const Command &c);
    void fail(const QString &error);
    // Runs f in the writer's owner thread.
    template <typename F> void report(F f) { QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection); }

    QString m_databasePath;
    QString m_folder;
    RecordingSettings::Format m_format;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Command> m_queue;
    int m_queuedSound = 0;
    qint64 m_dropped = 0;
    std::thread m_thread;

    // The thread's own.
    struct Current;
    std::unique_ptr<Current> m_current;
    std::unique_ptr<RecordingStore> m_store;
};
