#include "ui/RemoteAccessDialog.h"

#include "remote/RemoteServer.h"
#include "remote/RemoteSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <qrencode.h>

RemoteAccessDialog::RemoteAccessDialog(RemoteServer *server, QSettings *store, QWidget *parent)
    : QDialog(parent)
    , m_server(server)
    , m_store(store)
    , m_enabled(new QCheckBox(QStringLiteral("Web front panel on"), this))
    , m_interface(new QComboBox(this))
    , m_port(new QSpinBox(this))
    , m_address(new QLineEdit(this))
    , m_qr(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Remote Access"));
    const RemoteSettings::Choice choice = RemoteSettings::load(*m_store);
    m_enabled->setChecked(m_server->isListening() || choice.enabled);

    m_interface->addItem(QStringLiteral("127.0.0.1 (this computer only)"), QStringLiteral("127.0.0.1"));
    for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces()) {
        if (!(nic.flags() & QNetworkInterface::IsUp) || (nic.flags() & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : nic.addressEntries()) {
            const QHostAddress a = entry.ip();
            if (a.isLinkLocal())
                continue;
            m_interface->addItem(QStringLiteral("%1 (%2)").arg(a.toString(), nic.humanReadableName()), a.toString());
        }
    }
    const QString current = m_server->isListening() ? m_server->address().toString() : choice.address;
    const int index = m_interface->findData(current);
    m_interface->setCurrentIndex(index >= 0 ? index : 0);
    m_port->setRange(1, 65535);
    m_port->setValue(m_server->isListening() && m_server->port() ? m_server->port() : choice.port);
    m_address->setReadOnly(true);
    m_qr->setAlignment(Qt::AlignCenter);

    auto *renewButton = new QPushButton(QStringLiteral("Renew"), this);
    auto *form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(QStringLiteral("Interface:"), m_interface);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("Address:"), m_address);
    form->addRow(QString(), renewButton);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_qr);
    layout->addWidget(buttons);

    connect(m_enabled, &QCheckBox::toggled, this, &RemoteAccessDialog::refresh);
    connect(m_interface, &QComboBox::currentIndexChanged, this, &RemoteAccessDialog::refresh);
    connect(m_port, &QSpinBox::valueChanged, this, &RemoteAccessDialog::refresh);
    connect(renewButton, &QPushButton::clicked, this, &RemoteAccessDialog::renew);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        QString error;
        if (apply(&error))
            accept();
        else
            QMessageBox::warning(this, windowTitle(), error);
    });
    refresh();
}

QString RemoteAccessDialog::addressText() const
{
    return m_address->text();
}

void RemoteAccessDialog::refresh()
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(m_interface->currentData().toString());
    url.setPort(m_port->value());
    url.setPath(QStringLiteral("/"));
    url.setQuery(QStringLiteral("token=") + m_server->token());
    const QString text = url.toString();
    m_address->setText(text);
    m_address->setEnabled(m_enabled->isChecked());
    const QImage code = m_enabled->isChecked() ? qrCode(text) : QImage();
    if (code.isNull()) {
        m_qr->clear();
        return;
    }
    const int scale = std::max(1, 200 / code.width());
    m_qr->setPixmap(QPixmap::fromImage(code.scaled(code.size() * scale)));
}

void RemoteAccessDialog::renew()
{
    m_server->renewToken();
    refresh();
}

bool RemoteAccessDialog::apply(QString *error)
{
    const RemoteSettings::Choice choice{m_enabled->isChecked(), m_interface->currentData().toString(),
                                        quint16(m_port->value())};
    RemoteSettings::save(*m_store, choice);
    if (!choice.enabled) {
        m_server->close();
        return true;
    }
    if (m_server->isListening() && m_server->address() == QHostAddress(choice.address)
        && m_server->port() == choice.port)
        return true;
    return m_server->listen(QHostAddress(choice.address), choice.port, error);
}

QImage RemoteAccessDialog::qrCode(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    QRcode *code = QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code)
        return {};
    constexpr int kQuiet = 4;
    const int size = code->width + 2 * kQuiet;
    QImage image(size, size, QImage::Format_Mono);
    image.fill(0); // colour 0 is white below
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if (code->data[y * code->width + x] & 1)
                image.setPixel(x + kQuiet, y + kQuiet, 1);
        }
    }
    QRcode_free(code);
    return image;
}
