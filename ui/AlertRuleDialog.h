#pragma once

#include "alerts/AlertRule.h"

#include <QDialog>

class AlertRuleStore;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

// One alert rule to make or change: what it matches, its actions and its
// cooldown. OK writes it to the database; a rule that cannot be saved keeps
// the dialog open with the reason under the fields.
class AlertRuleDialog : public QDialog
{
    Q_OBJECT
public:
    AlertRuleDialog(const AlertRule &rule, AlertRuleStore *store, QWidget *parent = nullptr);

    // The rule as the fields have it.
    AlertRule rule() const;
    // Saves it; false (the reason shown) when it cannot be saved.
    bool save();
    QString problemText() const;

private:
    void matchChanged();
    void browseSound();
    void browseProgram();

    AlertRule m_rule;
    AlertRuleStore *m_store;
    QLineEdit *m_name;
    QCheckBox *m_enabled;
    QComboBox *m_match;
    QLineEdit *m_matchText;
    QCheckBox *m_notify;
    QCheckBox *m_sound;
    QLineEdit *m_soundFile;
    QCheckBox *m_run;
    QLineEdit *m_program;
    QPlainTextEdit *m_arguments;
    QSpinBox *m_cooldown;
    QLabel *m_problem;
};
