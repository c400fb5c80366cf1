#include "ui/MemoryTransfer.h"

#include "data/ChannelDatabase.h"
#include "link/CommPort.h"
#include "link/LinkSettings.h"
#include "link/SerialCommPort.h"
#include "link/TrafficTap.h"
#include "scanner/ScannerSession.h"
#include "transfer/BankBackup.h"
#include "transfer/BankRestore.h"
#include "transfer/TransferReport.h"
#include "ui/BankSelectionDialog.h"
#include "ui/ProgressWindow.h"

#include <QPushButton>
#include <QSettings>
#include <QWidget>

#include <utility>

MemoryTransfer::MemoryTransfer(const Wiring &w, QObject *parent)
    : QObject(parent)
    , m_session(w.session)
    , m_databasePath(w.databasePath)
    , m_message(w.message)
    , m_faceplateWindow(w.faceplateWindow)
    , m_auxWindow(w.auxWindow)
    , m_tap(w.tap)
{
    QSettings *store = w.store;
    m_store = store;
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
    m_loan = m_session->lendLink();
    if (m_loan.id == 0)
        return; // the session has ended, or lent the link elsewhere
    if (m_auxWindow && m_auxWindow->isVisible())
        m_auxWindow->hide();
    if (m_faceplateWindow && m_faceplateWindow->isVisible())
        m_faceplateWindow->hide();

    BankSelectionDialog *&dialog = backup ? m_backupDialog : m_restoreDialog;
    if (!dialog) {
        dialog = new BankSelectionDialog(backup ? TransferDirection::Backup : TransferDirection::Restore);
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
    const TransferDirection direction = m_dialog->direction();
    const bool backup = direction == TransferDirection::Backup;
    m_dialog->startButton()->setEnabled(false);
    m_dialog->quitButton()->setEnabled(false);

    m_port = m_portFactory();
    m_port->setObjectName(QStringLiteral("MSComm1")); // the dialog's own serial control
    if (m_tap)
        m_tap->watch(m_port.get(), backup ? QStringLiteral("Backup") : QStringLiteral("Restore"));
    if (backup) {
        // A backup waits for a locked database on a timer of its own, so each
        // try gives up quickly and the windows stay alive meanwhile.
        m_db = std::make_unique<ChannelDatabase>(m_databasePath, QStringLiteral("orvendal-transfer"), kBackupBusyMillis);
        auto backupRun = std::make_unique<BankBackup>(m_port.get(), m_db.get(), m_session->link(), banks);
        backupRun->setDatabaseWaitMillis(m_databaseWaitMs);
        backupRun->setOverlap(LinkSettings::overlapTransfers(*m_store));
        m_transfer = std::move(backupRun);
    } else {
        m_db = std::make_unique<ChannelDatabase>(m_databasePath, QStringLiteral("orvendal-transfer"));
        m_transfer = std::make_unique<BankRestore>(m_port.get(), m_db.get(), m_session->link(), banks);
    }

    delete m_progress;
    m_progress = new ProgressWindow(direction);
    connect(m_transfer.get(), &BankTransfer::progress, m_progress, &ProgressWindow::showProgress);
    connect(m_transfer.get(), &BankTransfer::statusText, m_progress, &ProgressWindow::setStatus);
    connect(m_progress, &ProgressWindow::cancelRequested, m_transfer.get(), &BankTransfer::cancel);
    connect(m_transfer.get(), &BankTransfer::finished, this, &MemoryTransfer::transferFinished, Qt::QueuedConnection);
    m_progress->show();
    m_transfer->start();
}

void MemoryTransfer::transferFinished(const BankTransfer::Result &result)
{
    const TransferDirection direction = m_dialog ? m_dialog->direction() : TransferDirection::Restore;
    if (m_progress)
        m_progress->setFinished();
    if (m_message) {
        const bool clean = result.outcome == BankTransfer::Outcome::Completed && result.unverified.isEmpty();
        m_message(clean ? MessageKind::Information : MessageKind::Warning,
                  QString(), TransferReport::message(direction, result));
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
    // The transfer goes before its port: nothing of it may touch the port
    // after this. This runs from a queued call or a button, never from
    // inside the transfer's own code.
    m_transfer.reset();
    m_port.reset();
    if (m_faceplateWindow) {
        m_faceplateWindow->show();
        m_faceplateWindow->raise();
        m_faceplateWindow->activateWindow();
    }
    m_session->returnLink(std::exchange(m_loan, LinkLoan{}));
    emit handedBack();
}
