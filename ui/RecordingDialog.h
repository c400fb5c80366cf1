#pragma once

#include "recording/QtAudioInput.h"
#include "recording/RecordingSettings.h"

#include <QDialog>

#include <functional>
#include <memory>

class AudioInput;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSettings;
class QSpinBox;
class RecordingControl;

// Options, "Recording...": recording on or off, the audio input with a level
// meter, the folder, the format, pre-roll, hang time, the shortest call kept
// and how long recordings are kept. The meter listens to the chosen input
// only while the dialog is shown. OK checks the folder, saves the settings
// and applies them at once; a folder that cannot be written is said in the
// dialog and nothing is saved.
class RecordingDialog : public QDialog
{
    Q_OBJECT
public:
    using InputLister = std::function<QList<QtAudioInput::Device>()>;

    RecordingDialog(RecordingControl *control, QSettings *store, QWidget *parent = nullptr,
                    InputLister listInputs = &QtAudioInput::inputs);
    ~RecordingDialog() override;

    // The settings the dialog shows.
    RecordingSettings settings() const;
    // Checks, saves and applies what the dialog shows; false (and the reason
    // shown in the dialog) when something is refused.
    bool apply();

    // The input the meter listens to; null while the dialog is hidden.
    AudioInput *meterInput() const { return m_meterInput.get(); }
    // 0 to 100: -60 dBFS to full scale.
    static int meterValue(double rms);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void fill(const RecordingSettings &s, const QList<QtAudioInput::Device> &inputs);
    void openMeter();
    void closeMeter();
    void setMeterNote(const QString &text);
    void browse();
    void refuse(const QString &text);

    RecordingControl *m_control;
    QSettings *m_store;
    QCheckBox *m_enabled;
    QComboBox *m_input;
    QProgressBar *m_level;
    QLabel *m_meterNote;
    QLineEdit *m_folder;
    QComboBox *m_format;
    QDoubleSpinBox *m_preRoll;
    QDoubleSpinBox *m_hang;
    QDoubleSpinBox *m_shortest;
    QSpinBox *m_keepDays;
    QSpinBox *m_keepMegabytes;
    QLabel *m_message;
    std::unique_ptr<AudioInput> m_meterInput;
};
