#include "ui/BankSelectionDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

BankSelectionDialog::BankSelectionDialog(TransferDirection direction, QWidget *parent)
    : QDialog(parent)
    , m_direction(direction)
{
    const bool backup = direction == TransferDirection::Backup;
    setObjectName(backup ? QStringLiteral("BankBackup") : QStringLiteral("BankRestore"));
    setWindowTitle(backup ? QStringLiteral("Back Up Scanner Memory to PC") : QStringLiteral("Restore PC Database to Scanner"));
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    auto *prompt = new QLabel(backup ? QStringLiteral("Select BANKS to backup to your PC")
                                     : QStringLiteral("Select banks to restore to the Vks4410"),
                              this);
    prompt->setObjectName(QStringLiteral("Text21"));
    QFont bold = prompt->font();
    bold.setBold(true);
    prompt->setFont(bold);
    layout->addWidget(prompt);

    auto *grid = new QGridLayout;
    for (int bank = 1; bank <= 20; ++bank) {
        auto *box = new QCheckBox(this);
        box->setObjectName(QStringLiteral("Check1_%1").arg(bank));
        box->setAccessibleName(QStringLiteral("Bank %1").arg(bank));
        auto *label = new QLabel(QString::number(bank), this);
        label->setObjectName(QStringLiteral("Text%1").arg(bank));
        label->setBuddy(box);
        const int row = (bank - 1) / 10;
        const int column = (bank - 1) % 10;
        grid->addWidget(label, row * 2, column, Qt::AlignHCenter);
        grid->addWidget(box, row * 2 + 1, column, Qt::AlignHCenter);
        m_checks.append(box);
    }
    layout->addLayout(grid);

    auto *selection = new QHBoxLayout;
    auto addButton = [this](QBoxLayout *row, const QString &name, const QString &caption) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        row->addWidget(button);
        return button;
    };
    connect(addButton(selection, QStringLiteral("btnCheckAll"), QStringLiteral("CHECK ALL")), &QPushButton::clicked,
            this, &BankSelectionDialog::checkAll);
    connect(addButton(selection, QStringLiteral("btnUncheckAll"), QStringLiteral("CLEAR ALL")), &QPushButton::clicked,
            this, &BankSelectionDialog::clearAll);
    connect(addButton(selection, QStringLiteral("btnINVERT"), QStringLiteral("INVERT")), &QPushButton::clicked, this,
            &BankSelectionDialog::invert);
    layout->addLayout(selection);

    auto *actions = new QHBoxLayout;
    m_start = addButton(actions, backup ? QStringLiteral("Backup") : QStringLiteral("Restore"),
                        backup ? QStringLiteral("BACKUP NOW") : QStringLiteral("RESTORE NOW"));
    m_quit = addButton(actions, QStringLiteral("Cancel"), QStringLiteral("QUIT"));
    layout->addLayout(actions);

    connect(m_start, &QPushButton::clicked, this, [this] { emit startRequested(selectedBanks()); });
    connect(m_quit, &QPushButton::clicked, this, &BankSelectionDialog::quitRequested);
}

QList<int> BankSelectionDialog::selectedBanks() const
{
    QList<int> banks;
    for (int bank = 1; bank <= 20; ++bank) {
        if (m_checks.at(bank - 1)->isChecked())
            banks.append(bank);
    }
    return banks;
}

void BankSelectionDialog::checkAll()
{
    for (QCheckBox *box : m_checks)
        box->setChecked(true);
}

void BankSelectionDialog::clearAll()
{
    for (QCheckBox *box : m_checks)
        box->setChecked(false);
}

void BankSelectionDialog::invert()
{
    for (QCheckBox *box : m_checks)
        box->setChecked(!box->isChecked());
}

void BankSelectionDialog::closeEvent(QCloseEvent *event)
{
    // Closing the window is QUIT: the faceplate gets its port back.
    event->ignore();
    emit quitRequested();
}

void BankSelectionDialog::reject()
{
    emit quitRequested();
}
