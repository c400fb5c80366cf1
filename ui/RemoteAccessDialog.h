#pragma once

#include <QDialog>
#include <QImage>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSettings;
class QSpinBox;
class RemoteServer;

// Options, "Remote Access...": the web front panel on or off, the network
// interface and port it listens on, and its address with the token, as
// text and as a QR code for a phone's camera. OK saves the choice and
// applies it at once; Renew makes a new token (addresses given out before
// stop working).
class RemoteAccessDialog : public QDialog
{
    Q_OBJECT
public:
    RemoteAccessDialog(RemoteServer *server, QSettings *store, QWidget *parent = nullptr);

    // The QR code of a text, one pixel a module with a quiet zone of four;
    // a null image when it cannot be made.
    static QImage qrCode(const QString &text);

    // Saves and applies what the dialog shows; false, with *error, when the
    // panel cannot listen there (the choice is saved all the same).
    bool apply(QString *error);

    QString addressText() const;

private:
    void refresh();
    void renew();

    RemoteServer *m_server;
    QSettings *m_store;
    QCheckBox *m_enabled;
    QComboBox *m_interface;
    QSpinBox *m_port;
    QLineEdit *m_address;
    QLabel *m_qr;
};
