#pragma once

#include "alerts/MqttSettings.h"

#include <QDialog>

class MqttPublisher;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSettings;
class QSpinBox;

// Options, "MQTT...": events for home automation on or off, the broker's
// host and port, the login, and how the connection stands now. OK saves
// the choice and applies it at once.
class MqttDialog : public QDialog
{
    Q_OBJECT
public:
    MqttDialog(MqttPublisher *publisher, QSettings *store, QWidget *parent = nullptr);

    MqttSettings choice() const;
    // Saves and applies what the dialog shows; false, with *error, when it
    // cannot be (on without a host).
    bool apply(QString *error);
    QString stateText() const;

private:
    MqttPublisher *m_publisher;
    QSettings *m_store;
    QCheckBox *m_enabled;
    QLineEdit *m_host;
    QSpinBox *m_port;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QLabel *m_state;
};
