#include "ui/RecordingDialog.h"

#include "recording/AudioInput.h"
#include "recording/RecordingControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QDoubleSpinBox *secondsBox(const char *name, int maxMillis, QWidget *parent)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setDecimals(1);
    box->setSingleStep(0.1);
    box->setRange(0.0, maxMillis / 1000.0);
    box->setSuffix(QStringLiteral(" s"));
    return box;
}

int millis(QDoubleSpinBox *box)
{
    box->interpretText();
    return int(std::lround(box->value() * 1000.0));
}

} // namespace

RecordingDialog::RecordingDialog(RecordingControl *control, QSettings *store, QWidget *parent, InputLister listInputs)
    : QDialog(parent)
    , m_control(control)
    , m_store(store)
    , m_enabled(new QCheckBox(QStringLiteral("Record each call"), this))
    , m_input(new QComboBox(this))
    , m_level(new QProgressBar(this))
    , m_meterNote(new QLabel(this))
    , m_folder(new QLineEdit(this))
    , m_format(new QComboBox(this))
    , m_preRoll(secondsBox("spnPreRoll", RecordingSettings::kMaxPreRollMillis, this))
    , m_hang(secondsBox("spnHang", RecordingSettings::kMaxHangMillis, this))
    , m_shortest(secondsBox("spnShortest", RecordingSettings::kMaxShortestMillis, this))
    , m_keepDays(new QSpinBox(this))
    , m_keepMegabytes(new QSpinBox(this))
    , m_message(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Recording"));
    m_enabled->setObjectName(QStringLiteral("chkRecord"));
    m_input->setObjectName(QStringLiteral("cboInput"));
    m_level->setObjectName(QStringLiteral("barLevel"));
    m_level->setRange(0, 100);
    m_level->setTextVisible(false);
    m_meterNote->setObjectName(QStringLiteral("lblMeter"));
    m_meterNote->setWordWrap(true);
    m_meterNote->hide();
    m_folder->setObjectName(QStringLiteral("txtFolder"));
    m_folder->setMinimumWidth(320);
    m_format->setObjectName(QStringLiteral("cboFormat"));
    for (const auto f : {RecordingSettings::Format::Flac, RecordingSettings::Format::OggOpus, RecordingSettings::Format::Wav})
        m_format->addItem(RecordingSettings::formatName(f), int(f));
    m_keepDays->setObjectName(QStringLiteral("spnKeepDays"));
    m_keepDays->setRange(0, RecordingSettings::kMaxRetentionDays);
    m_keepDays->setSuffix(QStringLiteral(" days"));
    m_keepDays->setSpecialValueText(QStringLiteral("No limit"));
    m_keepMegabytes->setObjectName(QStringLiteral("spnKeepMB"));
    m_keepMegabytes->setRange(0, int(RecordingSettings::kMaxRetentionMegabytes));
    m_keepMegabytes->setSuffix(QStringLiteral(" MB"));
    m_keepMegabytes->setSpecialValueText(QStringLiteral("No limit"));
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: #b00000"));
    m_message->hide();

    auto *browseButton = new QPushButton(QStringLiteral("Browse..."), this);
    browseButton->setObjectName(QStringLiteral("cmdBrowse"));
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browseButton);
    auto *form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(QStringLiteral("Audio input:"), m_input);
    auto *meter = new QVBoxLayout;
    meter->addWidget(m_level);
    meter->addWidget(m_meterNote);
    form->addRow(QStringLiteral("Level:"), meter);
    form->addRow(QStringLiteral("Folder:"), folderRow);
    form->addRow(QStringLiteral("Format:"), m_format);
    form->addRow(QStringLiteral("Pre-roll:"), m_preRoll);
    form->addRow(QStringLiteral("Hang time:"), m_hang);
    form->addRow(QStringLiteral("Shortest call kept:"), m_shortest);
    form->addRow(QStringLiteral("Keep recordings for:"), m_keepDays);
    form->addRow(QStringLiteral("Keep at most:"), m_keepMegabytes);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);

    fill(m_control->settings(), listInputs());

    connect(m_input, &QComboBox::currentIndexChanged, this, [this] {
        if (isVisible())
            openMeter();
    });
    connect(browseButton, &QPushButton::clicked, this, &RecordingDialog::browse);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (apply())
            accept();
    });
}

RecordingDialog::~RecordingDialog()
{
    closeMeter();
}

void RecordingDialog::fill(const RecordingSettings &s, const QList<QtAudioInput::Device> &inputs)
{
    m_enabled->setChecked(s.enabled);
    m_input->addItem(QStringLiteral("System default"), QString());
    for (const QtAudioInput::Device &d : inputs)
        m_input->addItem(d.isDefault ? d.description + QStringLiteral(" (default)") : d.description, d.id);
    int index = m_input->findData(s.inputDevice);
    if (index < 0) {
        // Chosen before and not connected now: kept unless the user picks another.
        m_input->addItem(QStringLiteral("%1 (not connected)").arg(s.inputDevice), s.inputDevice);
        index = m_input->count() - 1;
    }
    m_input->setCurrentIndex(index);
    RecordingSettings byDefault = s;
    byDefault.folder.clear();
    m_folder->setPlaceholderText(QDir::toNativeSeparators(m_control->folderFor(byDefault)));
    m_folder->setText(QDir::toNativeSeparators(s.folder));
    m_format->setCurrentIndex(m_format->findData(int(s.format)));
    m_preRoll->setValue(s.preRollMillis / 1000.0);
    m_hang->setValue(s.hangMillis / 1000.0);
    m_shortest->setValue(s.shortestMillis / 1000.0);
    m_keepDays->setValue(s.retentionDays);
    m_keepMegabytes->setValue(int(s.retentionMegabytes));
}

RecordingSettings RecordingDialog::settings() const
{
    RecordingSettings s;
    s.enabled = m_enabled->isChecked();
    s.inputDevice = m_input->currentData().toString();
    const QString folder = QDir::fromNativeSeparators(m_folder->text().trimmed());
    // The default folder is kept as no folder, so that it follows the database.
    if (!folder.isEmpty() && QDir::cleanPath(folder) != QDir::fromNativeSeparators(m_folder->placeholderText()))
        s.folder = folder;
    s.format = RecordingSettings::Format(m_format->currentData().toInt());
    s.preRollMillis = millis(m_preRoll);
    s.hangMillis = millis(m_hang);
    s.shortestMillis = millis(m_shortest);
    m_keepDays->interpretText();
    m_keepMegabytes->interpretText();
    s.retentionDays = m_keepDays->value();
    s.retentionMegabytes = m_keepMegabytes->value();
    return s;
}

void RecordingDialog::refuse(const QString &text)
{
    m_message->setText(text);
    m_message->show();
}

bool RecordingDialog::apply()
{
    const RecordingSettings s = settings();
    if (!s.folder.isEmpty() && QDir::isRelativePath(s.folder)) {
        refuse(QStringLiteral("Give the folder with its full path (for example %1).").arg(m_folder->placeholderText()));
        return false;
    }
    QString error;
    if (s.enabled && !RecordingControl::canWrite(m_control->folderFor(s), &error)) {
        refuse(QStringLiteral("Recordings cannot be kept there: %1. Choose another folder.").arg(error));
        return false;
    }
    if (!s.save(*m_store)) {
        refuse(QStringLiteral("The settings could not be saved (%1).").arg(QDir::toNativeSeparators(m_store->fileName())));
        return false;
    }
    m_message->hide();
    m_control->apply(s);
    return true;
}

void RecordingDialog::browse()
{
    const QString start = m_folder->text().trimmed().isEmpty() ? m_folder->placeholderText() : m_folder->text();
    const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Recordings Folder"), start);
    if (!chosen.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(chosen));
}

int RecordingDialog::meterValue(double rms)
{
    if (rms <= 0.0)
        return 0;
    const double db = 20.0 * std::log10(rms);
    return std::clamp(int(std::lround((db + 60.0) * 100.0 / 60.0)), 0, 100);
}

void RecordingDialog::openMeter()
{
    closeMeter();
    m_meterInput = m_control->makeInput(m_input->currentData().toString());
    if (!m_meterInput)
        return;
    connect(m_meterInput.get(), &AudioInput::level, m_level, [this](double rms) { m_level->setValue(meterValue(rms)); });
    connect(m_meterInput.get(), &AudioInput::lost, m_meterNote, [this](const QString &reason) {
        m_level->setValue(0);
        setMeterNote(QStringLiteral("No sound: %1").arg(reason));
    });
    connect(m_meterInput.get(), &AudioInput::returned, m_meterNote, [this] { setMeterNote(QString()); });
    QString error;
    setMeterNote(m_meterInput->start(&error) ? QString() : QStringLiteral("No sound: %1").arg(error));
}

void RecordingDialog::setMeterNote(const QString &text)
{
    m_meterNote->setText(text);
    m_meterNote->setVisible(!text.isEmpty());
}

void RecordingDialog::closeMeter()
{
    if (m_meterInput)
        m_meterInput->stop();
    m_meterInput.reset();
    m_level->setValue(0);
}

void RecordingDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    openMeter();
}

void RecordingDialog::hideEvent(QHideEvent *event)
{
    closeMeter();
    QDialog::hideEvent(event);
}
