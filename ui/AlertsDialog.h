#pragma once

#include "link/Prompts.h"

#include <QDialog>

class AlertEngine;
class QLabel;
class QPushButton;
class QTableWidget;

// Options, "Alerts...": the alert rules, to add, change and delete. Every
// change is written at once and the rules in force are read again.
class AlertsDialog : public QDialog
{
    Q_OBJECT
public:
    AlertsDialog(AlertEngine *engine, QWidget *parent = nullptr);

    // The question before a rule is deleted (a message box unless set).
    void setMessage(MessageFn message) { m_message = std::move(message); }

    QTableWidget *table() const { return m_table; }
    // The rule dialog for a new rule, or for the selected one; true when
    // the rule was saved.
    bool addRule();
    bool editRule();
    bool deleteRule();

private:
    void refresh();
    qint64 selectedId() const;

    AlertEngine *m_engine;
    MessageFn m_message;
    QTableWidget *m_table;
    QPushButton *m_edit;
    QPushButton *m_delete;
    QLabel *m_problem;
};
