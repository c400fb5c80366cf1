// Options, "MQTT...": what it saves, what it refuses, and the connection's
// state shown as it changes.

#include "SessionRig.h"
#include "alerts/MqttPublisher.h"
#include "scanner/CallTracker.h"
#include "ui/MqttDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTcpServer>
#include <QTest>

class TestMqttDialog : public QObject
{
    Q_OBJECT
private slots:
    void savesAppliesAndShowsTheState();
};

void TestMqttDialog::savesAppliesAndShowsTheState()
{
    SessionRig rig;
    CallTracker tracker(&rig.session);
    MqttPublisher publisher({&rig.session, &tracker, rig.databasePath()});
    QSettings &store = *rig.store;
    MqttDialog dialog(&publisher, &store);
    auto *enabled = dialog.findChild<QCheckBox *>(QStringLiteral("chkMqttEnabled"));
    auto *host = dialog.findChild<QLineEdit *>(QStringLiteral("txtMqttHost"));
    auto *port = dialog.findChild<QSpinBox *>(QStringLiteral("spnMqttPort"));
    auto *user = dialog.findChild<QLineEdit *>(QStringLiteral("txtMqttUser"));
    QVERIFY(enabled && host && port && user);
    QVERIFY(!enabled->isChecked());
    QCOMPARE(port->value(), 1883);
    QCOMPARE(dialog.stateText(), QStringLiteral("Off"));

    // On without a broker: refused, nothing saved.
    enabled->setChecked(true);
    QString error;
    QVERIFY(!dialog.apply(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!store.contains(QStringLiteral("Config/Mqtt_Enabled")));

    // A port where nothing listens: saved, tried, and the state line says why it waits.
    quint16 closed = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closed = probe.serverPort();
    }
    host->setText(QStringLiteral(" 127.0.0.1 "));
    port->setValue(closed);
    user->setText(QStringLiteral("ha"));
    QVERIFY(dialog.apply(&error));
    const MqttSettings saved = MqttSettings::load(store);
    QVERIFY(saved.enabled);
    QCOMPARE(saved.host, QStringLiteral("127.0.0.1"));
    QCOMPARE(saved.port, closed);
    QCOMPARE(saved.user, QStringLiteral("ha"));
    QCOMPARE(publisher.settings(), saved);
    QTRY_VERIFY(dialog.stateText().contains(QLatin1String("trying again")));
    QVERIFY(dialog.stateText().contains(QString::number(closed)));

    // A new dialog shows what runs; off stops it.
    MqttDialog again(&publisher, &store);
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("txtMqttHost"))->text(), QStringLiteral("127.0.0.1"));
    again.findChild<QCheckBox *>(QStringLiteral("chkMqttEnabled"))->setChecked(false);
    QVERIFY(again.apply(&error));
    QCOMPARE(publisher.connection().state(), MqttConnection::State::Off);
    QCOMPARE(again.stateText(), QStringLiteral("Off"));
    QVERIFY(!MqttSettings::load(store).enabled);
}

QTEST_MAIN(TestMqttDialog)
#include "tst_mqttdialog.moc"
