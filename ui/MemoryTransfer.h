#pragma once

#include "link/Prompts.h"
#include "scanner/ScannerSession.h"
#include "transfer/BankBackup.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class BankSelectionDialog;
class ChannelDatabase;
class CommPort;
class ProgressWindow;
class QSettings;
class QWidget;
class TrafficTap;

// The Database menu's Backup and Restore: borrows the serial link from the
// session, lets the user pick banks, runs the transfer on the dialog's own
// port with a progress window, and gives the link back.
class MemoryTransfer : public QObject
{
    Q_OBJECT
public:
    using PortFactory = std::function<std::unique_ptr<CommPort>()>;

    struct Wiring
    {
        ScannerSession *session = nullptr;
        QSettings *store = nullptr;   // device names of the dialogs' ports
        QString databasePath;
        MessageFn message;
        QWidget *faceplateWindow = nullptr; // hidden while a dialog has the link
        QWidget *auxWindow = nullptr;
        TrafficTap *tap = nullptr; // watches the dialogs' ports
    };

    explicit MemoryTransfer(const Wiring &wiring, QObject *parent = nullptr);
    ~MemoryTransfer() override;

    // The dialogs' serial ports; a real serial port unless a test says otherwise.
    void setPortFactory(PortFactory factory) { m_portFactory = std::move(factory); }
    // How long a backup waits for a locked database per bank write.
    void setDatabaseWaitMillis(int ms) { m_databaseWaitMs = ms; }

    void backup();
    void restore();

    BankSelectionDialog *dialog() const { return m_dialog; }
    ProgressWindow *progressWindow() const { return m_progress; }
    BankTransfer *transfer() const { return m_transfer.get(); }
    bool hasLink() const { return m_dialog != nullptr; }

signals:
    // The session has its link back (after QUIT or a transfer).
    void handedBack();
    // A transfer ended; the completion message has been shown.
    void transferEnded(const BankTransfer::Result &result);

private:
    void takeLink(bool backup);
    void startTransfer(const QList<int> &banks);
    void transferFinished(const BankTransfer::Result &result);
    void handBack();

    ScannerSession *m_session;
    QString m_databasePath;
    QSettings *m_store;
    MessageFn m_message;
    QPointer<QWidget> m_faceplateWindow;
    QPointer<QWidget> m_auxWindow;
    PortFactory m_portFactory;
    TrafficTap *m_tap;
    static constexpr int kBackupBusyMillis = 100;
    int m_databaseWaitMs = BankBackup::kDatabaseWaitMs;
    LinkLoan m_loan;
    BankSelectionDialog *m_backupDialog = nullptr;
    BankSelectionDialog *m_restoreDialog = nullptr;
    BankSelectionDialog *m_dialog = nullptr; // the one that has the link
    ProgressWindow *m_progress = nullptr;
    std::unique_ptr<CommPort> m_port;
    std::unique_ptr<ChannelDatabase> m_db;
    std::unique_ptr<BankTransfer> m_transfer;
};
