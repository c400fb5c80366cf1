#pragma once

#include "ui/RowsCommand.h"

#include <QObject>
#include <QUndoStack>

class QAction;

// The undo history of one editor window: every change its models record,
// and changes that span several models (a paste or a move across banks) as
// one step.
class EditorHistory : public QObject
{
    Q_OBJECT
public:
    explicit EditorHistory(QObject *parent = nullptr);

    QUndoStack *stack() { return &m_stack; }
    void setReveal(RowsCommand::Reveal reveal) { m_reveal = std::move(reveal); }
    // Records the changes of this model from now on.
    void watch(RowTableModel *model);

    // Changes made between these are undone and redone as one.
    void beginStep(const QString &text);
    void endStep();

    QAction *undoAction(QObject *parent);
    QAction *redoAction(QObject *parent);

private:
    void record(RowTableModel *model, const QString &text, const RowTableModel::Contents &before,
                const RowTableModel::Contents &after);

    QUndoStack m_stack;
    RowsCommand::Reveal m_reveal;
    int m_stepDepth = 0;
    QString m_stepText;
    QUndoCommand *m_step = nullptr; // the step being made, once it changed something
};
