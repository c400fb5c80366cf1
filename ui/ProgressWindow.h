#pragma once

#include "transfer/BankTransfer.h"

#include <QDialog>

class QLineEdit;
class QProgressBar;
class QPushButton;

// Backup1 / Restore1: where a transfer shows its bank, channel and status,
// with a progress bar and a Cancel button.
class ProgressWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ProgressWindow(TransferDirection direction, QWidget *parent = nullptr);

    void showProgress(int bank, int channel, int done, int total);
    void setStatus(const QString &text);
    void setFinished();

    QLineEdit *bankField() const { return m_bank; }
    QLineEdit *channelField() const { return m_channel; }
    QLineEdit *statusField() const { return m_status; }
    QProgressBar *progressBar() const { return m_bar; }
    QPushButton *cancelButton() const { return m_cancel; }
    QPushButton *finishedButton() const { return m_finished; }

signals:
    void cancelRequested();

protected:
    void reject() override;

private:
    QLineEdit *m_bank;
    QLineEdit *m_channel;
    QLineEdit *m_status;
    QProgressBar *m_bar;
    QPushButton *m_cancel;
    QPushButton *m_finished;
};
