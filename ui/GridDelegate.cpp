#include "ui/GridDelegate.h"

#include "data/RowTableModel.h"

#include <QLineEdit>

namespace {
// What the cell held when its editor opened.
const char *const kOpenedWith = "openedWith";
} // namespace

QWidget *GridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    if (RowTableModel::isLong(index.data(Qt::EditRole))) {
        auto *self = const_cast<GridDelegate *>(this);
        const QPersistentModelIndex cell(index);
        QMetaObject::invokeMethod(
            self, [self, cell] {
                if (cell.isValid())
                    emit self->wholeValueWanted(cell);
            },
            Qt::QueuedConnection);
        return nullptr;
    }
    auto *line = new QLineEdit(parent);
    line->setFrame(false);
    m_open = line;
    return line;
}

void GridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line)
        return QStyledItemDelegate::setEditorData(editor, index);
    const QString text = index.data(Qt::EditRole).toString();
    line->setText(text);
    line->setProperty(kOpenedWith, text);
}

void GridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line)
        return QStyledItemDelegate::setModelData(editor, model, index);
    const QString typed = line->text();
    if (typed == line->property(kOpenedWith).toString())
        return; // left as it was: nothing to write
    if (model->setData(index, typed, Qt::EditRole))
        line->setProperty(kOpenedWith, typed);
    else
        emit const_cast<GridDelegate *>(this)->refused(index, typed);
}

void GridDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    if (editor == m_open)
        m_open = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
}

void GridDelegate::commitOpen()
{
    if (QWidget *editor = m_open) {
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        m_open = nullptr;
    }
}

void GridDelegate::closeOpen()
{
    if (QWidget *editor = m_open) {
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        m_open = nullptr;
    }
}
