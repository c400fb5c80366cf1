#pragma once

#include "recording/RecordingSettings.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class AudioInput;
class CallTracker;
class Recorder;

// Recording as the settings say, changed while the program runs: turning it
// on starts the recorder, turning it off stops it (the call in progress is
// finished and kept), another input, folder, format or pre-roll starts it
// afresh, and the other values take effect in place. While it is off no
// input exists, so no audio device is open.
class RecordingControl : public QObject
{
    Q_OBJECT
public:
    // The input for a device id (the system's default for an empty one). The
    // demo's gives its tone generator whatever the id.
    using InputFactory = std::function<std::unique_ptr<AudioInput>(const QString &deviceId)>;

    RecordingControl(CallTracker *tracker, const QString &databasePath, InputFactory makeInput,
                     QObject *parent = nullptr);
    ~RecordingControl() override;

    // The folder used when the settings name none; empty for "Recordings"
    // beside the database.
    void setDefaultFolder(const QString &folder) { m_defaultFolder = folder; }
    // The folder the settings record into.
    QString folderFor(const RecordingSettings &settings) const;
    const QString &databasePath() const { return m_databasePath; }

    // Records as these settings say from now on.
    void apply(const RecordingSettings &settings);
    // The settings last applied, as they were given.
    const RecordingSettings &settings() const { return m_settings; }
    // Null while recording is off.
    Recorder *recorder() const { return m_recorder.get(); }
    AudioInput *input() const { return m_input.get(); }
    // Another input of the same kind, for a level meter.
    std::unique_ptr<AudioInput> makeInput(const QString &deviceId) const { return m_makeInput(deviceId); }

    // Whether a file can be made in the folder (which is created if need
    // be); false with *error saying why not.
    static bool canWrite(const QString &folder, QString *error);

signals:
    // The recorder's problems for the status line; empty when over.
    void problem(const QString &text);
    // Whichever recorder runs: a file finished, and whether its row was written.
    void recordingFinished(const QString &file, bool rowWritten);

private:
    void stop();

    CallTracker *m_tracker;
    QString m_databasePath;
    InputFactory m_makeInput;
    QString m_defaultFolder;
    RecordingSettings m_settings;
    bool m_problemShown = false;
    std::unique_ptr<AudioInput> m_input;
    std::unique_ptr<Recorder> m_recorder;
};
