// The Recording dialog and recording turned on, off and changed while the
// program runs.

#include "RecordingRig.h"
#include "recording/RecordingControl.h"
#include "ui/RecordingDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <algorithm>

namespace {

// Recording with tone generators for inputs, each following the rig's calls
// as the demo's does; every input made is remembered.
struct ControlRig
{
    RecordingRig r;
    QStringList asked; // the device ids inputs were made for
    QList<QPointer<ToneGenerator>> made;
    RecordingControl control{&r.tracker, r.databasePath, [this](const QString &id) -> std::unique_ptr<AudioInput> {
                                 asked << id;
                                 auto tone = std::make_unique<ToneGenerator>();
                                 ToneGenerator *t = tone.get();
                                 QObject::connect(&r.tracker, &CallTracker::callStarted, t,
                                                  [t](const CallInfo &call) { t->open(call.channel); });
                                 QObject::connect(&r.tracker, &CallTracker::callEnded, t, &ToneGenerator::close);
                                 made << t;
                                 return tone;
                             }};
    QSettings &store() { return *r.rig.store.store; }

    RecordingSettings on()
    {
        RecordingSettings s = RecordingRig::quickSettings();
        s.folder = r.folder();
        return s;
    }
    int liveInputs() const
    {
        return int(std::count_if(made.begin(), made.end(), [](const QPointer<ToneGenerator> &t) { return t && t->isActive(); }));
    }
};

template <typename T> T *child(QWidget &parent, const char *name)
{
    T *w = parent.findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no %s", name);
    return w;
}

void clickOk(RecordingDialog &dialog)
{
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
}

} // namespace

class TestRecordingSettings : public QObject
{
    Q_OBJECT
private slots:
    void dialogListsInputsMetersAndSaves();
    void badFoldersAreRefused();
    void turnedOnAndOffAtRunTime();
};

void TestRecordingSettings::dialogListsInputsMetersAndSaves()
{
    ControlRig c;
    c.control.apply(RecordingSettings::load(c.store()));
    QVERIFY(!c.control.recorder()); // off until the user turns it on
    QCOMPARE(c.liveInputs(), 0);
    const QList<QtAudioInput::Device> devices = {{QStringLiteral("alsa:line"), QStringLiteral("Line In"), false},
                                                 {QStringLiteral("usb:2"), QStringLiteral("USB Audio"), true}};
    RecordingDialog dialog(&c.control, &c.store(), nullptr, [&] { return devices; });
    auto *input = child<QComboBox>(dialog, "cboInput");
    QStringList items;
    for (int i = 0; i < input->count(); ++i)
        items << input->itemText(i);
    QCOMPARE(items, QStringList({"System default", "Line In", "USB Audio (default)"}));
    QCOMPARE(child<QComboBox>(dialog, "cboFormat")->currentText(), QStringLiteral("FLAC"));

    // The meter listens only while the dialog is shown, to the input chosen.
    QVERIFY(!dialog.meterInput());
    dialog.show();
    QVERIFY(dialog.meterInput());
    auto *level = child<QProgressBar>(dialog, "barLevel");
    c.made.last()->open(QStringLiteral("123"));
    QTRY_VERIFY(level->value() > 70); // a tone at half of full scale is about -9 dBFS
    c.made.last()->close();
    QTRY_COMPARE(level->value(), 0);
    input->setCurrentIndex(1);
    QCOMPARE(c.asked, QStringList({"", "alsa:line"}));
    QCOMPARE(c.liveInputs(), 1);

    child<QCheckBox>(dialog, "chkRecord")->setChecked(true);
    const QString folder = c.r.rig.store.dir.filePath(QStringLiteral("Calls"));
    child<QLineEdit>(dialog, "txtFolder")->setText(folder);
    child<QComboBox>(dialog, "cboFormat")->setCurrentText(QStringLiteral("WAV"));
    child<QDoubleSpinBox>(dialog, "spnPreRoll")->setValue(2.5);
    child<QDoubleSpinBox>(dialog, "spnHang")->setValue(3);
    child<QDoubleSpinBox>(dialog, "spnShortest")->setValue(1.2);
    child<QSpinBox>(dialog, "spnKeepDays")->setValue(7);
    child<QSpinBox>(dialog, "spnKeepMB")->setValue(500);
    clickOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.meterInput());

    const QList<std::pair<const char *, QString>> stored = {
        {RecordingSettings::kEnabledKey, "1"},       {RecordingSettings::kInputKey, "alsa:line"},
        {RecordingSettings::kFolderKey, folder},     {RecordingSettings::kFormatKey, "wav"},
        {RecordingSettings::kPreRollKey, "2500"},    {RecordingSettings::kHangKey, "3000"},
        {RecordingSettings::kShortestKey, "1200"},   {RecordingSettings::kRetentionDaysKey, "7"},
        {RecordingSettings::kRetentionSizeKey, "500"},
    };
    QSettings reread(c.store().fileName(), QSettings::IniFormat);
    for (const auto &[key, value] : stored)
        QCOMPARE(reread.value(QLatin1String(key)).toString(), value);
    // Applied at once: recording runs from the chosen input into the folder.
    QVERIFY(c.control.recorder());
    QCOMPARE(c.control.recorder()->state(), Recorder::State::Recording);
    QCOMPARE(c.control.recorder()->folder(), folder);
    QCOMPARE(c.asked.last(), QStringLiteral("alsa:line"));
    QCOMPARE(c.liveInputs(), 1);

    // An input chosen before and not connected now stays chosen.
    RecordingDialog again(&c.control, &c.store(), nullptr, [] { return QList<QtAudioInput::Device>(); });
    QCOMPARE(child<QComboBox>(again, "cboInput")->currentText(), QStringLiteral("alsa:line (not connected)"));
    QCOMPARE(again.settings().inputDevice, QStringLiteral("alsa:line"));
    QCOMPARE(again.settings().folder, folder);
}

void TestRecordingSettings::badFoldersAreRefused()
{
    ControlRig c;
    c.control.apply(RecordingSettings::load(c.store()));
    RecordingDialog dialog(&c.control, &c.store(), nullptr, [] { return QList<QtAudioInput::Device>(); });
    dialog.show();
    auto *folder = child<QLineEdit>(dialog, "txtFolder");
    auto *message = child<QLabel>(dialog, "lblMessage");
    child<QCheckBox>(dialog, "chkRecord")->setChecked(true);
    // Below a plain file (so not even root can make it), and relative.
    QFile plain(c.r.rig.store.dir.filePath(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QStringList refused = {plain.fileName() + QStringLiteral("/calls"), QStringLiteral("calls")};
    for (const QString &bad : refused) {
        folder->setText(bad);
        clickOk(dialog);
        QVERIFY(dialog.isVisible());
        QVERIFY(message->isVisible());
        QVERIFY2(message->text().contains(bad.startsWith(QLatin1Char('/')) ? QStringLiteral("cannot be created")
                                                                             : QStringLiteral("full path")),
                 qPrintable(message->text()));
        QVERIFY(!c.store().contains(QLatin1String(RecordingSettings::kEnabledKey))); // nothing saved
        QVERIFY(!c.control.recorder());
    }
    // The default folder (left empty) is fine, and kept as no folder.
    folder->clear();
    clickOk(dialog);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(c.store().value(QLatin1String(RecordingSettings::kFolderKey)).toString(), QString());
    QVERIFY(c.control.recorder());
    QCOMPARE(c.control.recorder()->folder(), RecordingSettings().folderFor(c.r.databasePath));
}

// On starts the recorder, off stops it and keeps the call in progress;
// another format starts it afresh, another hang time does not.
void TestRecordingSettings::turnedOnAndOffAtRunTime()
{
    ControlRig c;
    QSignalSpy problems(&c.control, &RecordingControl::problem);
    RecordingSettings s = c.on();
    c.control.apply(s);
    QPointer<Recorder> first = c.control.recorder();
    QVERIFY(first);
    QCOMPARE(first->state(), Recorder::State::Recording);
    QCOMPARE(c.liveInputs(), 1);
    QTest::qWait(s.preRollMillis + 100);

    c.r.rig.enterMode(ScannerMode::Scan);
    c.r.rig.reply(QStringLiteral("+"));
    c.r.rig.reply(QStringLiteral("C012 F01544150 TF DF LF AF PF"));
    QVERIFY(c.r.tracker.inCall());
    c.r.turnFor(400);
    s.hangMillis = 900;
    c.control.apply(s);
    QCOMPARE(c.control.recorder(), first);
    QCOMPARE(first->settings().hangMillis, 900);
    s.format = RecordingSettings::Format::Wav;
    c.control.apply(s);
    QVERIFY(c.control.recorder() && !first);
    QCOMPARE(c.liveInputs(), 1);
    c.r.turnFor(400);
    s.enabled = false;
    c.control.apply(s);
    QVERIFY(!c.control.recorder());
    QVERIFY(!c.control.input());
    QCOMPARE(c.liveInputs(), 0);
    // The call was split where the format changed; both parts are kept.
    const QStringList files = c.r.files();
    QCOMPARE(files.size(), 2);
    QVERIFY(files.filter(QStringLiteral(".flac")).size() == 1 && files.filter(QStringLiteral(".wav")).size() == 1);
    QVERIFY(c.r.partFiles().isEmpty());

    // A folder that fails is said; the same settings once it can be made
    // start recording again and take the message away.
    QFile plain(c.r.rig.store.dir.filePath(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    s.enabled = true;
    s.folder = plain.fileName();
    c.control.apply(s);
    QCOMPARE(c.control.recorder()->state(), Recorder::State::Failed);
    QVERIFY(!problems.isEmpty() && !problems.last().first().toString().isEmpty());
    QVERIFY(plain.remove());
    c.control.apply(s);
    QCOMPARE(c.control.recorder()->state(), Recorder::State::Recording);
    QCOMPARE(problems.last().first().toString(), QString());
}

QTEST_MAIN(TestRecordingSettings)
#include "tst_recordingsettings.moc"
