#pragma once

#include "transfer/BankTransfer.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class BankSelectionDialog;
class ChannelDatabase;
class CommPort;
class FacePlate;
class ProgressWindow;
class QWidget;

// The Database and WIPEOUT menu commands: hands the serial link from the
// faceplate to a bank selection dialog, runs the backup or restore on the
// dialog's own port, and hands the link back; and the memory wipe.
class MemoryTransfer : public QObject
{
    Q_OBJECT
public:
    using PortFactory = std::function<std::unique_ptr<CommPort>()>;

    // faceplateWindow and auxWindow are hidden while a dialog has the link.
    MemoryTransfer(FacePlate *plate, QWidget *faceplateWindow, QWidget *auxWindow, QObject *parent = nullptr);
    ~MemoryTransfer() override;

    // The dialogs' serial ports; a real serial port unless a test says otherwise.
    void setPortFactory(PortFactory factory) { m_portFactory = std::move(factory); }

    void backup();
    void restore();
    void wipe();

    BankSelectionDialog *dialog() const { return m_dialog; }
    ProgressWindow *progressWindow() const { return m_progress; }
    BankTransfer *transfer() const { return m_transfer.get(); }
    bool hasLink() const { return m_dialog != nullptr; }

    static QString completionMessage(bool backup, const BankTransfer::Result &result);

signals:
    // The faceplate has its link back (after QUIT or a transfer).
    void handedBack();
    // A transfer ended; the completion message has been shown.
    void transferEnded(const BankTransfer::Result &result);

private:
    void takeLink(bool backup);
    void startTransfer(const QList<int> &banks);
    void transferFinished(const BankTransfer::Result &result);
    void handBack();

    FacePlate *m_plate;
    QPointer<QWidget> m_faceplateWindow;
    QPointer<QWidget> m_auxWindow;
    PortFactory m_portFactory;
    BankSelectionDialog *m_backupDialog = nullptr;
    BankSelectionDialog *m_restoreDialog = nullptr;
    BankSelectionDialog *m_dialog = nullptr; // the one that has the link
    ProgressWindow *m_progress = nullptr;
    std::unique_ptr<CommPort> m_port;
    std::unique_ptr<ChannelDatabase> m_db;
    std::unique_ptr<BankTransfer> m_transfer;
};
