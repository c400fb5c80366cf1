#include "ui/MqttDialog.h"

#include "alerts/MqttPublisher.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

MqttDialog::MqttDialog(MqttPublisher *publisher, QSettings *store, QWidget *parent)
    : QDialog(parent)
    , m_publisher(publisher)
    , m_store(store)
    , m_enabled(new QCheckBox(QStringLiteral("Send events to an MQTT broker"), this))
    , m_host(new QLineEdit(this))
    , m_port(new QSpinBox(this))
    , m_user(new QLineEdit(this))
    , m_password(new QLineEdit(this))
    , m_state(new QLabel(this))
{
    setWindowTitle(QStringLiteral("MQTT"));
    // What runs now (it may be --mqtt's, for this run only), else what is saved.
    const MqttSettings s = m_publisher->settings().enabled ? m_publisher->settings() : MqttSettings::load(*m_store);
    m_enabled->setChecked(s.enabled);
    m_host->setText(s.host);
    m_host->setPlaceholderText(QStringLiteral("homeassistant.local"));
    m_port->setRange(1, 65535);
    m_port->setValue(s.port);
    m_user->setText(s.user);
    m_password->setText(s.password);
    m_password->setEchoMode(QLineEdit::Password);
    auto *topics = new QLabel(MqttSettings::kTopicPrefix + QStringLiteral("..."), this);
    topics->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_enabled->setObjectName(QStringLiteral("chkMqttEnabled"));
    m_host->setObjectName(QStringLiteral("txtMqttHost"));
    m_port->setObjectName(QStringLiteral("spnMqttPort"));
    m_user->setObjectName(QStringLiteral("txtMqttUser"));
    m_password->setObjectName(QStringLiteral("txtMqttPassword"));
    m_state->setObjectName(QStringLiteral("lblMqttState"));
    m_state->setWordWrap(true);
    m_state->setText(m_publisher->connection().stateText());
    connect(m_publisher, &MqttPublisher::stateChanged, m_state, &QLabel::setText);

    auto *form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(QStringLiteral("Broker host:"), m_host);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("User:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);
    form->addRow(QStringLiteral("Topics:"), topics);
    form->addRow(QStringLiteral("Connection:"), m_state);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        QString error;
        if (apply(&error))
            accept();
        else
            QMessageBox::warning(this, windowTitle(), error);
    });
}

MqttSettings MqttDialog::choice() const
{
    MqttSettings s;
    s.enabled = m_enabled->isChecked();
    s.host = m_host->text().trimmed();
    s.port = quint16(m_port->value());
    s.user = m_user->text();
    s.password = m_password->text();
    return s;
}

bool MqttDialog::apply(QString *error)
{
    const MqttSettings s = choice();
    if (s.enabled && s.host.isEmpty()) {
        *error = QStringLiteral("Give the broker's host name or address, or turn the events off.");
        return false;
    }
    MqttSettings::save(*m_store, s);
    m_publisher->apply(s);
    return true;
}

QString MqttDialog::stateText() const
{
    return m_state->text();
}
