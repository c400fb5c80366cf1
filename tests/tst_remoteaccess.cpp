// Options, "Remote Access...": the web front panel turned on and off from
// the dialog, its choice kept, and a renewed token in the address.
#include "SessionRig.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteSettings.h"
#include "ui/RemoteAccessDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTest>

class TestRemoteAccess : public QObject
{
    Q_OBJECT
private slots:
    void dialogTurnsThePanelOnAndOff()
    {
        SessionRig rig;
        QSettings &store = *rig.store.store;
        RemoteServer server({&rig.parts.display, &rig.parts.aux, &rig.session, &rig.parts.keypad, &store,
                             rig.databasePath(), {}});
        QCOMPARE(RemoteSettings::load(store).enabled, false); // off by default
        QTcpServer probe; // a port that is free now
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();

        RemoteAccessDialog dialog(&server, &store);
        dialog.findChild<QCheckBox *>()->setChecked(true);
        dialog.findChild<QSpinBox *>()->setValue(port);
        const QString first = dialog.addressText();
        QCOMPARE(first, QStringLiteral("http://127.0.0.1:%1/?token=%2").arg(port).arg(server.token()));
        QString error;
        QVERIFY2(dialog.apply(&error), qPrintable(error));
        QVERIFY(server.isListening());
        QCOMPARE(server.port(), port);
        const RemoteSettings::Choice saved = RemoteSettings::load(store);
        QVERIFY(saved.enabled);
        QCOMPARE(saved.port, port);

        for (QPushButton *b : dialog.findChildren<QPushButton *>()) {
            if (b->text() == QLatin1String("Renew"))
                b->click();
        }
        QVERIFY(dialog.addressText() != first);
        QVERIFY(dialog.addressText().endsWith(server.token()));

        const QImage code = RemoteAccessDialog::qrCode(dialog.addressText());
        QVERIFY(code.width() >= 21 + 8);
        QCOMPARE(code.pixelIndex(0, 0), 0);  // quiet zone
        QCOMPARE(code.pixelIndex(4, 4), 1);  // a finder pattern's corner

        dialog.findChild<QCheckBox *>()->setChecked(false);
        QVERIFY(dialog.apply(&error));
        QVERIFY(!server.isListening());
        QVERIFY(!RemoteSettings::load(store).enabled);
    }
};

QTEST_MAIN(TestRemoteAccess)
#include "tst_remoteaccess.moc"
