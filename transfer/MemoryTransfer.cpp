#include "transfer/MemoryTransfer.h"

#include "faceplate/FacePlate.h"
#include "link/CommPort.h"
#include "link/SerialCommPort.h"
#include "transfer/BankBackup.h"
#include "transfer/BankRestore.h"
#include "transfer/BankSelectionDialog.h"
#include "transfer/ChannelDatabase.h"
#include "transfer/ProgressWindow.h"

#include <QPushButton>
#include <QSettings>
#include <QWidget>

namespace {

QString bankList(const QList<int> &banks)
{
    QStringList numbers;
    for (int b : banks)
        numbers << QString::number(b);
    return numbers.join(QStringLiteral(", "));
}

} // namespace

MemoryTransfer::MemoryTransfer(FacePlate *plate, QWidget *faceplateWindow, QWidget *auxWindow, QObject *parent)
    : QObject(parent)
    , m_plate(plate)
    , m_faceplateWindow(faceplateWindow)
    , m_auxWindow(auxWindow)
{
    QSettings *store = plate->store();
    m_portFactory = [store] {
        auto port = std::make_unique<SerialCommPort>();
        port->setDeviceResolver([store](int n) { return LinkSettings::deviceFor(*store, n); });
        return std::unique_ptr<CommPort>(std::move(port));
    };
}

MemoryTransfer::~MemoryTransfer()
{
    m_transfer.reset();
    delete m_progress;
    delete m_backupDialog;
    delete m_restoreDialog;
}

void MemoryTransfer::backup()
{
    takeLink(true);
}

void MemoryTransfer::restore()
{
    takeLink(false);
}

void MemoryTransfer::takeLink(bool backup)
{
    if (m_dialog)
        return; // one dialog has the link already
    m_plate->SavedChannel = m_plate->display()->text(DisplayModel::CHAN);
    m_plate->suspend();
    if (m_plate->port()->isOpen())
        m_plate->port()->close();
    if (m_auxWindow && m_auxWindow->isVisible())
        m_auxWindow->hide();
    if (m_faceplateWindow && m_faceplateWindow->isVisible())
        m_faceplateWindow->hide();

    BankSelectionDialog *&dialog = backup ? m_backupDialog : m_restoreDialog;
    if (!dialog) {
        dialog = new BankSelectionDialog(backup ? BankSelectionDialog::Kind::Backup : BankSelectionDialog::Kind::Restore);
        connect(dialog, &BankSelectionDialog::startRequested, this, &MemoryTransfer::startTransfer);
        connect(dialog, &BankSelectionDialog::quitRequested, this, [this] {
            if (m_transfer && m_transfer->isRunning())
                return; // the progress window's Cancel stops a transfer
            handBack();
        });
    }
    m_dialog = dialog;
    m_dialog->startButton()->setEnabled(true);
    m_dialog->quitButton()->setEnabled(true);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void MemoryTransfer::startTransfer(const QList<int> &banks)
{
    if (!m_dialog || (m_transfer && m_transfer->isRunning()))
        return;
    const bool backup = m_dialog->kind() == BankSelectionDialog::Kind::Backup;
    m_dialog->startButton()->setEnabled(false);
    m_dialog->quitButton()->setEnabled(false);

    m_port = m_portFactory();
    m_port->setObjectName(QStringLiteral("MSComm1")); // the dialog's own serial control
    m_db = std::make_unique<ChannelDatabase>(m_plate->database()->path(), QStringLiteral("orvendal-transfer"));
    if (backup)
        m_transfer = std::make_unique<BankBackup>(m_port.get(), m_db.get(), m_plate->link(), banks);
    else
        m_transfer = std::make_unique<BankRestore>(m_port.get(), m_db.get(), m_plate->link(), banks);

    delete m_progress;
    m_progress = new ProgressWindow(backup ? ProgressWindow::Kind::Backup : ProgressWindow::Kind::Restore);
    connect(m_transfer.get(), &BankTransfer::progress, m_progress, &ProgressWindow::showProgress);
    connect(m_transfer.get(), &BankTransfer::statusText, m_progress, &ProgressWindow::setStatus);
    connect(m_progress, &ProgressWindow::cancelRequested, m_transfer.get(), &BankTransfer::cancel);
    connect(m_transfer.get(), &BankTransfer::finished, this, &MemoryTransfer::transferFinished, Qt::QueuedConnection);
    m_progress->show();
    m_transfer->start();
}

QString MemoryTransfer::completionMessage(bool backup, const BankTransfer::Result &r)
{
    const QString crlf = QStringLiteral("\r\n");
    const QString pressEnter = QStringLiteral("Press ENTER or click OK to continue");
    if (r.outcome == BankTransfer::Outcome::Completed) {
        QString text = backup ? QStringLiteral("Scanner memory backup SUCCESSFUL!")
                              : QStringLiteral("Scanner Memory Restore SUCCESSFUL!");
        if (!backup && r.skipped > 0)
            text += crlf + QStringLiteral("%1 channel(s) had no frequency that could be typed in and were skipped.")
                               .arg(r.skipped);
        return text + crlf + pressEnter;
    }

    QStringList lines;
    const QString what = backup ? QStringLiteral("Scanner memory backup") : QStringLiteral("Scanner memory restore");
    if (r.outcome == BankTransfer::Outcome::Cancelled)
        lines << what + QStringLiteral(" was cancelled.");
    else
        lines << what + QStringLiteral(" FAILED: ") + r.reason + QLatin1Char('.');
    if (r.reason.contains(QLatin1String("no answer")))
        lines << QStringLiteral("Please verify that the scanner is in PC Control mode.");
    if (backup) {
        lines << (r.banksDone.isEmpty() ? QStringLiteral("No bank was saved.")
                                        : QStringLiteral("Banks saved to the database: %1.").arg(bankList(r.banksDone)));
        if (r.bankInProgress)
            lines << QStringLiteral("Bank %1 was left in the database as it was.").arg(r.bankInProgress);
    } else {
        lines << (r.banksDone.isEmpty() ? QStringLiteral("No bank was restored whole.")
                                        : QStringLiteral("Banks restored: %1.").arg(bankList(r.banksDone)));
        if (r.bankInProgress && r.lastChannel)
            lines << QStringLiteral("Bank %1 was restored up to channel %2.").arg(r.bankInProgress).arg(r.lastChannel);
        if (r.skipped > 0)
            lines << QStringLiteral("%1 channel(s) had no frequency that could be typed in and were skipped.").arg(r.skipped);
    }
    lines << pressEnter;
    return lines.join(crlf);
}

void MemoryTransfer::transferFinished(const BankTransfer::Result &result)
{
    const bool backup = m_dialog && m_dialog->kind() == BankSelectionDialog::Kind::Backup;
    if (m_progress)
        m_progress->setFinished();
    if (MessageFn message = m_plate->message()) {
        message(result.outcome == BankTransfer::Outcome::Completed ? MessageKind::Information : MessageKind::Warning,
                QString(), completionMessage(backup, result));
    }
    if (m_port && m_port->isOpen())
        m_port->close();
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
    m_db.reset();
    emit transferEnded(result);
    handBack();
}

void MemoryTransfer::handBack()
{
    if (m_dialog)
        m_dialog->hide();
    m_dialog = nullptr;
    if (m_transfer) {
        m_transfer->deleteLater();
        m_transfer.release();
    }
    m_port.reset();
    if (m_faceplateWindow) {
        m_faceplateWindow->show();
        m_faceplateWindow->raise();
        m_faceplateWindow->activateWindow();
    }
    m_plate->resume();
    emit handedBack();
}

void MemoryTransfer::wipe()
{
    MessageFn message = m_plate->message();
    const bool ok = message
        && message(MessageKind::OkCancel, QStringLiteral("WIPE OUT SCANNER MEMORY?"),
                   QStringLiteral("Are you ABSOLUTELY SURE\r\nthat you want to restore the scanner to\r\nFACTORY DEFAULTS?"));
    if (ok && m_plate->port()->isOpen())
        m_plate->port()->send(QStringLiteral("AC"));
}
