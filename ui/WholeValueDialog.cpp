#include "ui/WholeValueDialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
// Values longer than this are shown unwrapped.
constexpr int kWrapChars = 100000;
} // namespace

WholeValueDialog::WholeValueDialog(const QModelIndex &cell, QWidget *parent)
    : QDialog(parent)
    , m_cell(cell)
    , m_text(new QPlainTextEdit(this))
    , m_original(cell.data(Qt::EditRole).toString())
{
    setObjectName(QStringLiteral("WholeValueDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(cell.model()->headerData(cell.column(), Qt::Horizontal).toString());
    m_text->setObjectName(QStringLiteral("wholeValue"));
    // Wrapping a very long line costs far more than showing it unwrapped.
    if (m_original.size() > kWrapChars)
        m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setPlainText(m_original);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, [this] {
        const QString typed = m_text->toPlainText();
        if (m_cell.isValid() && typed != m_original
            && !const_cast<QAbstractItemModel *>(m_cell.model())->setData(m_cell, typed))
            emit refused();
    });
}
