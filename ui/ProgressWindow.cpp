#include "ui/ProgressWindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(TransferDirection direction, QWidget *parent)
    : QDialog(parent)
{
    const bool backup = direction == TransferDirection::Backup;
    setObjectName(backup ? QStringLiteral("Backup1") : QStringLiteral("Restore1"));
    setWindowTitle(backup ? QStringLiteral("Scanner Banks - Database Access")
                          : QStringLiteral("Scanner Restore - Database Access"));
    setModal(false);

    auto makeField = [this](const QString &name, const QString &text) {
        auto *edit = new QLineEdit(text, this);
        edit->setObjectName(name);
        edit->setAccessibleName(name);
        edit->setReadOnly(true);
        return edit;
    };
    m_bank = makeField(QStringLiteral("tbBank"), QStringLiteral("Bank #"));
    m_channel = makeField(QStringLiteral("tbChan"), QStringLiteral("Chan #"));
    m_status = makeField(QStringLiteral("Text5"), QStringLiteral("Database Access - Please Wait..."));
    m_status->setMinimumWidth(360);

    auto *form = new QFormLayout;
    auto *bankLabel = new QLabel(QStringLiteral("Bank"), this);
    bankLabel->setObjectName(QStringLiteral("Text1"));
    auto *channelLabel = new QLabel(QStringLiteral("Channel"), this);
    channelLabel->setObjectName(QStringLiteral("Text2"));
    form->addRow(bankLabel, m_bank);
    form->addRow(channelLabel, m_channel);

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progress"));
    m_bar->setRange(0, 1);
    m_bar->setValue(0);

    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_finished = new QPushButton(QStringLiteral("Finished"), this);
    m_finished->setObjectName(QStringLiteral("Finished1"));
    m_finished->setDefault(true);
    m_finished->hide();
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        m_status->setText(tr("Stopping after this channel..."));
        emit cancelRequested();
    });
    connect(m_finished, &QPushButton::clicked, this, &QDialog::hide);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_finished);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
}

void ProgressWindow::showProgress(int bank, int channel, int done, int total)
{
    m_bank->setText(QString::number(bank));
    m_channel->setText(QString::number(channel));
    m_bar->setRange(0, qMax(1, total));
    m_bar->setValue(done);
}

void ProgressWindow::setStatus(const QString &text)
{
    m_status->setText(text);
}

void ProgressWindow::setFinished()
{
    m_cancel->hide();
    m_finished->show();
}

void ProgressWindow::reject()
{
    // Escape or the close box asks to cancel, as the Cancel button does.
    if (m_cancel->isVisible() && m_cancel->isEnabled())
        m_cancel->click();
}
