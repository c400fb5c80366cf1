#include "ui/AlertRuleDialog.h"

#include "alerts/AlertRuleStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QWidget *withBrowse(QLineEdit *edit, QPushButton *browse, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit, 1);
    layout->addWidget(browse);
    return row;
}

} // namespace

AlertRuleDialog::AlertRuleDialog(const AlertRule &rule, AlertRuleStore *store, QWidget *parent)
    : QDialog(parent)
    , m_rule(rule)
    , m_store(store)
    , m_name(new QLineEdit(rule.name, this))
    , m_enabled(new QCheckBox(QStringLiteral("Rule on"), this))
    , m_match(new QComboBox(this))
    , m_matchText(new QLineEdit(rule.matchText, this))
    , m_notify(new QCheckBox(QStringLiteral("Desktop notification"), this))
    , m_sound(new QCheckBox(QStringLiteral("Sound"), this))
    , m_soundFile(new QLineEdit(rule.soundFile, this))
    , m_run(new QCheckBox(QStringLiteral("Run a program"), this))
    , m_program(new QLineEdit(rule.program, this))
    , m_arguments(new QPlainTextEdit(rule.arguments.join(QLatin1Char('\n')), this))
    , m_cooldown(new QSpinBox(this))
    , m_problem(new QLabel(this))
{
    setWindowTitle(rule.id ? QStringLiteral("Alert Rule") : QStringLiteral("New Alert Rule"));
    m_name->setObjectName(QStringLiteral("edtName"));
    m_enabled->setObjectName(QStringLiteral("chkEnabled"));
    m_match->setObjectName(QStringLiteral("cboMatch"));
    m_matchText->setObjectName(QStringLiteral("edtMatch"));
    m_notify->setObjectName(QStringLiteral("chkNotify"));
    m_sound->setObjectName(QStringLiteral("chkSound"));
    m_soundFile->setObjectName(QStringLiteral("edtSoundFile"));
    m_run->setObjectName(QStringLiteral("chkRun"));
    m_program->setObjectName(QStringLiteral("edtProgram"));
    m_arguments->setObjectName(QStringLiteral("txtArguments"));
    m_cooldown->setObjectName(QStringLiteral("spnCooldown"));
    m_problem->setObjectName(QStringLiteral("lblProblem"));

    m_enabled->setChecked(rule.enabled);
    m_match->addItem(QStringLiteral("Talkgroup IDs"), int(AlertRule::Match::Talkgroups));
    m_match->addItem(QStringLiteral("Channels"), int(AlertRule::Match::Channels));
    m_match->addItem(QStringLiteral("Name contains"), int(AlertRule::Match::Name));
    m_match->setCurrentIndex(m_match->findData(int(rule.match)));
    m_notify->setChecked(rule.notify);
    m_sound->setChecked(rule.sound);
    m_soundFile->setPlaceholderText(QStringLiteral("the bundled chime"));
    m_run->setChecked(rule.run);
    m_program->setPlaceholderText(QStringLiteral("/path/to/program"));
    m_arguments->setTabChangesFocus(true);
    m_arguments->setFixedHeight(m_arguments->fontMetrics().lineSpacing() * 5 + 12);
    m_cooldown->setRange(0, AlertRule::kMaxCooldownSecs);
    m_cooldown->setSuffix(QStringLiteral(" s"));
    m_cooldown->setValue(rule.cooldownSecs);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));

    auto *soundBrowse = new QPushButton(QStringLiteral("Browse..."), this);
    auto *programBrowse = new QPushButton(QStringLiteral("Browse..."), this);
    auto *argumentsHelp = new QLabel(
        QStringLiteral("One argument per line, given to the program exactly as written (no shell). "
                       "%1 stand for the call's values.").arg(AlertRule::placeholders().join(QStringLiteral(", "))),
        this);
    argumentsHelp->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Name:"), m_name);
    form->addRow(QString(), m_enabled);
    form->addRow(QStringLiteral("Matches:"), m_match);
    form->addRow(QString(), m_matchText);
    form->addRow(QStringLiteral("Actions:"), m_notify);
    form->addRow(QString(), m_sound);
    form->addRow(QStringLiteral("WAV file:"), withBrowse(m_soundFile, soundBrowse, this));
    form->addRow(QString(), m_run);
    form->addRow(QStringLiteral("Program:"), withBrowse(m_program, programBrowse, this));
    form->addRow(QStringLiteral("Arguments:"), m_arguments);
    form->addRow(QString(), argumentsHelp);
    form->addRow(QStringLiteral("Cooldown:"), m_cooldown);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);

    connect(m_match, &QComboBox::currentIndexChanged, this, &AlertRuleDialog::matchChanged);
    connect(soundBrowse, &QPushButton::clicked, this, &AlertRuleDialog::browseSound);
    connect(programBrowse, &QPushButton::clicked, this, &AlertRuleDialog::browseProgram);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (save())
            accept();
    });
    matchChanged();
}

void AlertRuleDialog::matchChanged()
{
    switch (AlertRule::Match(m_match->currentData().toInt())) {
    case AlertRule::Match::Talkgroups:
        m_matchText->setPlaceholderText(QStringLiteral("1234, 2000-2100, \"100-12\""));
        break;
    case AlertRule::Match::Channels:
        m_matchText->setPlaceholderText(QStringLiteral("12, 100-150"));
        break;
    case AlertRule::Match::Name:
        m_matchText->setPlaceholderText(QStringLiteral("text in the talkgroup's or channel's name"));
        break;
    }
}

void AlertRuleDialog::browseSound()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Alert Sound"), m_soundFile->text(),
                                                      QStringLiteral("WAV files (*.wav *.WAV);;All files (*)"));
    if (!file.isEmpty()) {
        m_soundFile->setText(file);
        m_sound->setChecked(true);
    }
}

void AlertRuleDialog::browseProgram()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Alert Program"), m_program->text());
    if (!file.isEmpty()) {
        m_program->setText(file);
        m_run->setChecked(true);
    }
}

AlertRule AlertRuleDialog::rule() const
{
    AlertRule r = m_rule;
    r.name = m_name->text();
    r.enabled = m_enabled->isChecked();
    r.match = AlertRule::Match(m_match->currentData().toInt());
    r.matchText = m_matchText->text();
    r.notify = m_notify->isChecked();
    r.sound = m_sound->isChecked();
    r.soundFile = m_soundFile->text().trimmed();
    r.run = m_run->isChecked();
    r.program = m_program->text();
    // Lines are arguments as they stand; only the empty lines at the end
    // (a last newline) are not.
    QStringList arguments = m_arguments->toPlainText().split(QLatin1Char('\n'));
    while (!arguments.isEmpty() && arguments.last().isEmpty())
        arguments.removeLast();
    r.arguments = arguments;
    r.cooldownSecs = m_cooldown->value();
    return r;
}

bool AlertRuleDialog::save()
{
    AlertRule r = rule();
    QString error;
    if (!m_store->save(&r, &error)) {
        m_problem->setText(error);
        return false;
    }
    m_rule = r;
    m_problem->clear();
    return true;
}

QString AlertRuleDialog::problemText() const
{
    return m_problem->text();
}
