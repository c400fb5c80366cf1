#pragma once

#include "transfer/BankTransfer.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QPushButton;

// BankBackup / BankRestore: the user ticks the banks to transfer and starts
// the transfer, or quits.
class BankSelectionDialog : public QDialog
{
    Q_OBJECT
public:
    explicit BankSelectionDialog(TransferDirection direction, QWidget *parent = nullptr);

    TransferDirection direction() const { return m_direction; }
    QCheckBox *check(int bank) const { return m_checks.at(bank - 1); }
    QPushButton *startButton() const { return m_start; }
    QPushButton *quitButton() const { return m_quit; }

    QList<int> selectedBanks() const;
    void checkAll();
    void clearAll();
    void invert();

signals:
    void startRequested(const QList<int> &banks);
    void quitRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    TransferDirection m_direction;
    QList<QCheckBox *> m_checks;
    QPushButton *m_start;
    QPushButton *m_quit;
};
