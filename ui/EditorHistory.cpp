#include "ui/EditorHistory.h"

#include <QAction>

EditorHistory::EditorHistory(QObject *parent)
    : QObject(parent)
{
}

void EditorHistory::watch(RowTableModel *model)
{
    connect(model, &RowTableModel::changeRecorded, this,
            [this, model](const QString &text, const RowTableModel::Contents &before,
                          const RowTableModel::Contents &after) { record(model, text, before, after); });
}

void EditorHistory::record(RowTableModel *model, const QString &text, const RowTableModel::Contents &before,
                           const RowTableModel::Contents &after)
{
    if (m_stepDepth == 0) {
        m_stack.push(new RowsCommand(model, text, before, after, m_reveal));
        return;
    }
    if (!m_step)
        m_step = new QUndoCommand(m_stepText);
    new RowsCommand(model, text, before, after, m_reveal, m_step);
}

void EditorHistory::beginStep(const QString &text)
{
    if (m_stepDepth++ == 0)
        m_stepText = text;
}

void EditorHistory::endStep()
{
    if (m_stepDepth == 0 || --m_stepDepth > 0 || !m_step)
        return;
    // A step that changed nothing leaves no trace in the history.
    QUndoCommand *step = m_step;
    m_step = nullptr;
    m_stack.push(step);
}

QAction *EditorHistory::undoAction(QObject *parent)
{
    QAction *action = m_stack.createUndoAction(parent, tr("&Undo"));
    action->setObjectName(QStringLiteral("actUndo"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    return action;
}

QAction *EditorHistory::redoAction(QObject *parent)
{
    QAction *action = m_stack.createRedoAction(parent, tr("&Redo"));
    action->setObjectName(QStringLiteral("actRedo"));
    action->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    return action;
}
