#include "ui/RowsCommand.h"

RowsCommand::RowsCommand(RowTableModel *model, const QString &text, const RowTableModel::Contents &before,
                         const RowTableModel::Contents &after, Reveal reveal, QUndoCommand *parent)
    : QUndoCommand(text, parent)
    , m_model(model)
    , m_before(before)
    , m_after(after)
    , m_reveal(std::move(reveal))
{
}

void RowsCommand::undo()
{
    apply(m_before);
}

void RowsCommand::redo()
{
    // The change is made already when the command is pushed.
    if (m_done) {
        m_done = false;
        return;
    }
    apply(m_after);
}

void RowsCommand::apply(const RowTableModel::Contents &contents)
{
    if (!m_model)
        return;
    m_model->applyContents(contents);
    if (!m_reveal)
        return;
    for (const RowTableModel::RowContent &c : contents) {
        const int row = m_model->rowOfKey(c.key);
        if (row >= 0) {
            m_reveal(m_model, row);
            return;
        }
    }
    m_reveal(m_model, -1);
}
