#include "ui/FindDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FindDialog::FindDialog(const QStringList &columns, QWidget *parent)
    : QDialog(parent)
    , m_text(new QLineEdit(this))
    , m_column(new QComboBox(this))
    , m_result(new QLabel(this))
{
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(tr("Find"));
    m_text->setObjectName(QStringLiteral("findWhat"));
    m_column->setObjectName(QStringLiteral("findIn"));
    m_column->addItem(tr("Any text column"), QString());
    m_column->addItem(tr("Frequency"), QStringLiteral("FREQUENCY"));
    for (const QString &column : columns) {
        if (RowFinder::isTextColumn(column))
            m_column->addItem(column, column);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *next = buttons->addButton(tr("Find &Next"), QDialogButtonBox::ActionRole);
    next->setObjectName(QStringLiteral("cmdFindNext"));
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, [this] {
        m_result->clear();
        emit findNext(query());
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto *layout = new QFormLayout(this);
    layout->addRow(tr("Find what:"), m_text);
    layout->addRow(tr("Look in:"), m_column);
    layout->addRow(m_result);
    layout->addRow(buttons);
}

RowFinder::Query FindDialog::query() const
{
    return {m_text->text(), m_column->currentData().toString()};
}

void FindDialog::setResult(const QString &text)
{
    m_result->setText(text);
}
