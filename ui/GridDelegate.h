#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

// How a cell of the grid editors is edited: as the text the model gives for
// editing (FREQUENCY with its four decimals), in a plain line. A cell left as
// it was opened is never written back. A value too long for a cell is not
// edited there: the editor is asked to show it whole instead.
class GridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;

    // The cell editor open now, if any.
    QWidget *openEditor() const { return m_open; }
    // Takes what the open cell editor holds into the model and closes it.
    void commitOpen();
    // Closes the open cell editor, dropping what it holds.
    void closeOpen();

signals:
    // The cell's value is to be edited whole (it is too long for the cell).
    void wholeValueWanted(const QModelIndex &index);
    // The model did not take what was typed into a cell.
    void refused(const QModelIndex &index, const QString &typed);

private:
    mutable QPointer<QWidget> m_open;
};
