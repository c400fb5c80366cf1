#pragma once

#include "scanner/CallTracker.h"
#include "recording/RecordingSettings.h"
#include "recording/RecordingStore.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

class AudioInput;
class RecordingWriter;

// Records each call the tracker reports to a file of its own. Sound is
// captured all the time recording runs and kept in a ring buffer, so that a
// call's file starts preRoll before the poll loop noticed it. A call that
// resumes with the same key within the hang time continues its file; a call
// shorter than the shortest kept is dropped. Encoding, files and rows are
// the writer's, on its own thread.
//
// A folder that cannot be written or a failing disk stops recording until
// start() is called again; an input that disappears stops it until the
// input is back. Each is said once through problem() (an empty text when
// recording runs again), for the status line.
class Recorder : public QObject
{
    Q_OBJECT
public:
    enum class State { Off, Recording, InputLost, Failed };
    Q_ENUM(State)

    static constexpr int kRetentionEveryMillis = 3600 * 1000;
    // Sound goes to the writer in blocks of about this length, so that its
    // thread wakes a few times a second, not at every captured block.
    static constexpr int kHandOnMillis = 100;

    // input: not owned; the tracker's calls are recorded.
    Recorder(const RecordingSettings &settings, const QString &databasePath, AudioInput *input,
             CallTracker *tracker, QObject *parent = nullptr);
    ~Recorder() override;

    // Finishes what an earlier run left, applies retention, opens the input.
    void start();
    // Ends a call being recorded (kept), closes the input.
    void stop();
    // Hang time, shortest call and retention take effect at once; any other
    // change (input, folder, format, pre-roll) needs a new recorder.
    static bool needsRestart(const RecordingSettings &from, const RecordingSettings &to);
    void adjust(const RecordingSettings &settings);
    State state() const { return m_state; }
    QString folder() const;
    const RecordingSettings &settings() const { return m_settings; }
    qint64 droppedBlocks() const;

signals:
    void stateChanged(Recorder::State state);
    // What the status line should say; empty when recording runs again.
    void problem(const QString &text);
    // What the start found of an earlier run, said once (nothing when clean).
    void notice(const QString &text);
    void level(double rms);
    // A call's file was finished and registered (rowWritten false: the row
    // follows at the next start).
    void recordingFinished(const QString &path, bool rowWritten);
    // A call was too short to keep.
    void recordingDropped();

private:
    void captured(const QByteArray &samples);
    void callStarted(const CallInfo &call, qint64 at, const QDateTime &wall);
    void callEnded(qint64 at);
    void closeCall();
    void fail(const QString &text);
    void inputLost(const QString &reason);
    void inputReturned();
    void setState(State state);
    // Absolute sample index heard at tracker time t.
    qint64 indexAt(qint64 t) const;
    void writeRange(qint64 from, qint64 to);
    // Hands what is gathered for the call to the writer.
    void handOn();

    RecordingSettings m_settings;
    QString m_databasePath;
    QPointer<AudioInput> m_input;
    CallTracker *m_tracker;
    std::unique_ptr<RecordingWriter> m_writer;
    QTimer m_hang;
    QTimer m_retention;
    State m_state = State::Off;

    std::vector<qint16> m_ring;
    qint64 m_total = 0;       // samples captured since start()
    qint64 m_lastBlockAt = 0; // tracker time of the newest sample

    quint64 m_ids = 0;
    quint64 m_id = 0;         // the call being recorded (0: none)
    QString m_key;
    bool m_inSegment = false; // the call is on (not in its hang time)
    qint64 m_segmentStart = 0;
    qint64 m_callMillis = 0;
    qint64 m_written = 0;     // samples up to here are queued for the file
    QByteArray m_gathered;    // of the call, not yet handed to the writer
};
