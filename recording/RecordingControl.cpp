#include "recording/RecordingControl.h"

#include "recording/AudioInput.h"
#include "recording/Recorder.h"

#include <QDir>
#include <QTemporaryFile>

RecordingControl::RecordingControl(CallTracker *tracker, const QString &databasePath, InputFactory makeInput,
                                   QObject *parent)
    : QObject(parent)
    , m_tracker(tracker)
    , m_databasePath(databasePath)
    , m_makeInput(std::move(makeInput))
{
}

RecordingControl::~RecordingControl()
{
    m_recorder.reset(); // finishes a call being recorded
    m_input.reset();
}

QString RecordingControl::folderFor(const RecordingSettings &settings) const
{
    if (settings.folder.isEmpty() && !m_defaultFolder.isEmpty())
        return QDir(m_defaultFolder).absolutePath();
    return settings.folderFor(m_databasePath);
}

void RecordingControl::apply(const RecordingSettings &settings)
{
    m_settings = settings;
    RecordingSettings effective = settings;
    effective.folder = folderFor(settings);
    if (!settings.enabled) {
        if (m_recorder)
            qCInfo(lcRecording) << "recording turned off";
        stop();
        return;
    }
    // One that failed (its folder) is started afresh even with the same settings.
    if (m_recorder && m_recorder->state() != Recorder::State::Failed
        && !Recorder::needsRestart(m_recorder->settings(), effective)) {
        m_recorder->adjust(effective);
        return;
    }
    stop();
    m_input = m_makeInput(effective.inputDevice);
    m_recorder = std::make_unique<Recorder>(effective, m_databasePath, m_input.get(), m_tracker);
    connect(m_recorder.get(), &Recorder::recordingFinished, this, &RecordingControl::recordingFinished);
    connect(m_recorder.get(), &Recorder::problem, this, [this](const QString &text) {
        m_problemShown = !text.isEmpty();
        emit problem(text);
    });
    m_recorder->start();
}

void RecordingControl::stop()
{
    m_recorder.reset();
    m_input.reset();
    if (m_problemShown) {
        // Off, or about to start afresh: what went wrong is over.
        m_problemShown = false;
        emit problem(QString());
    }
}

bool RecordingControl::canWrite(const QString &folder, QString *error)
{
    if (folder.isEmpty() || QDir::isRelativePath(folder)) {
        *error = QStringLiteral("the folder must be given with its full path");
        return false;
    }
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    // What counts is whether a file can be made there, not what the
    // permission bits say.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".orvendal-write-test-XXXXXX")));
    if (!probe.open()) {
        *error = QStringLiteral("the folder %1 cannot be written: %2")
                     .arg(QDir::toNativeSeparators(folder), probe.errorString());
        return false;
    }
    return true;
}
