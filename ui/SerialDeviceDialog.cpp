#include "ui/SerialDeviceDialog.h"

#include "link/SerialCommPort.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

SerialDeviceDialog::SerialDeviceDialog(int comPort, const QString &device, bool overlap, QWidget *parent)
    : QDialog(parent)
    , m_lister([] { return SerialDevices::available(); })
    , m_list(new QTreeWidget(this))
    , m_edit(new QLineEdit(device, this))
    , m_problem(new QLabel(this))
    , m_overlap(new QCheckBox(tr("Overlap transfer commands (faster; the scanner must accept a command while it answers)"),
                              this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("frmSerialDevice"));
    setWindowTitle(tr("Serial Device for COM%1").arg(comPort));

    m_list->setObjectName(QStringLiteral("lstDevices"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({tr("Device"), tr("Description"), tr("Manufacturer"), tr("Serial number"), tr("USB id"),
                             tr("Stable name")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_edit->setObjectName(QStringLiteral("txtDevice"));
    m_edit->setPlaceholderText(tr("/dev/ttyUSB0, or socket://host:port for a port shared over the network"));
    m_problem->setObjectName(QStringLiteral("lblProblem"));
    m_overlap->setObjectName(QStringLiteral("chkOverlap"));
    m_overlap->setChecked(overlap);
    auto *refreshButton = m_buttons->addButton(tr("&Refresh"), QDialogButtonBox::ActionRole);
    refreshButton->setObjectName(QStringLiteral("btnRefresh"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Serial ports on this computer:"), this));
    layout->addWidget(m_list);
    layout->addWidget(new QLabel(tr("Device for COM%1 (pick one above, or type a path or network address):").arg(comPort),
                                 this));
    layout->addWidget(m_edit);
    layout->addWidget(m_problem);
    layout->addWidget(m_overlap);
    layout->addWidget(m_buttons);

    connect(refreshButton, &QPushButton::clicked, this, &SerialDeviceDialog::refresh);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_edit, &QLineEdit::textChanged, this, &SerialDeviceDialog::validate);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (item)
            m_edit->setText(item->data(0, Qt::UserRole).toString());
    });
    refresh();
    validate();
    resize(720, 360);
}

void SerialDeviceDialog::setLister(Lister lister)
{
    m_lister = std::move(lister);
    refresh();
}

void SerialDeviceDialog::refresh()
{
    const QString typed = m_edit->text();
    m_list->clear();
    for (const SerialDevice &d : m_lister()) {
        auto *item = new QTreeWidgetItem(
            m_list, {d.systemLocation, d.description, d.manufacturer, d.serialNumber, d.usbIds, d.stableName});
        item->setData(0, Qt::UserRole, d.preferredName());
    }
    m_edit->setText(typed); // a refresh picks nothing
}

QString SerialDeviceDialog::device() const
{
    return m_edit->text().trimmed();
}

bool SerialDeviceDialog::overlap() const
{
    return m_overlap->isChecked();
}

void SerialDeviceDialog::validate()
{
    const QString text = device();
    QString host;
    quint16 port = 0;
    QString problem;
    if (text.isEmpty())
        problem = tr("Choose a device.");
    else if (text.startsWith(QLatin1String(SerialCommPort::kSocketScheme), Qt::CaseInsensitive)
             && !SerialCommPort::parseSocketAddress(text, &host, &port))
        problem = tr("A network address is written socket://HOST:PORT, for example socket://attic-pc:3001.");
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}
