#pragma once

#include "link/SerialDevices.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

// Port Setup, Serial Device: the machine's serial ports to pick from, or any
// device path or network address (socket://HOST:PORT) typed in, for the
// current port number; and whether transfers may overlap their commands.
class SerialDeviceDialog : public QDialog
{
    Q_OBJECT
public:
    using Lister = std::function<QList<SerialDevice>()>;

    SerialDeviceDialog(int comPort, const QString &device, bool overlap, QWidget *parent = nullptr);

    // Where the ports come from; the system's unless a test says otherwise.
    void setLister(Lister lister);
    void refresh();

    QString device() const;
    bool overlap() const;

    QTreeWidget *list() const { return m_list; }
    QLineEdit *deviceEdit() const { return m_edit; }
    QCheckBox *overlapBox() const { return m_overlap; }
    QDialogButtonBox *buttons() const { return m_buttons; }

private:
    void validate();

    Lister m_lister;
    QTreeWidget *m_list;
    QLineEdit *m_edit;
    QLabel *m_problem;
    QCheckBox *m_overlap;
    QDialogButtonBox *m_buttons;
};
