#pragma once

#include <QDialog>
#include <QPersistentModelIndex>

class QPlainTextEdit;

// A cell's whole value in a box of its own to edit; OK writes it back to
// the cell when it changed.
class WholeValueDialog : public QDialog
{
    Q_OBJECT
public:
    WholeValueDialog(const QModelIndex &cell, QWidget *parent);

signals:
    // The model did not take the value.
    void refused();

private:
    QPersistentModelIndex m_cell;
    QPlainTextEdit *m_text;
    QString m_original;
};
