#pragma once

#include "data/RowTableModel.h"

#include <QPointer>
#include <QUndoCommand>

#include <functional>

// One change of a grid editor's rows as its model recorded it: undo puts the
// rows back as they were, redo as the change left them.
class RowsCommand : public QUndoCommand
{
public:
    // Shows the model's row that the command changed.
    using Reveal = std::function<void(RowTableModel *model, int row)>;

    RowsCommand(RowTableModel *model, const QString &text, const RowTableModel::Contents &before,
                const RowTableModel::Contents &after, Reveal reveal, QUndoCommand *parent = nullptr);

    void undo() override;
    void redo() override;

private:
    void apply(const RowTableModel::Contents &contents);

    QPointer<RowTableModel> m_model;
    RowTableModel::Contents m_before;
    RowTableModel::Contents m_after;
    Reveal m_reveal;
    bool m_done = true; // pushed after the change was made
};
