// The faceplate for a screen reader: the display in words, and a change of
// channel or talkgroup announced once, however often the display is drawn.
#include "WindowRig.h"
#include "scanner/DisplayWords.h"
#include "ui/DisplayAnnouncer.h"

#include <QAccessible>
#include <QtTest>

namespace {

void show(DisplayModel &d, const QString &channel, const QString &frequency, bool delay = false)
{
    d.setText(DisplayModel::CHAN, channel);
    d.setText(DisplayModel::FREQ, frequency);
    d.setText(DisplayModel::DELAY, delay ? QStringLiteral("DELAY") : QString());
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT
private slots:
    void displayInWords();
    void announcedOncePerChange();
};

void TestAccessibility::displayInWords()
{
    DisplayModel d;
    d.blank();
    QCOMPARE(DisplayWords::describe(d), QString());
    d.showScanTemplate();
    show(d, QStringLiteral("006"), QStringLiteral("154.8350"), true);
    d.setText(DisplayModel::ModMode, DisplayModel::modulationText(Modulation::NFM));
    QCOMPARE(DisplayWords::describe(d), QStringLiteral("Channel 6, 154.835 megahertz, N F M, delay, scan"));
    d.clearDisplay(false);
    d.showTrunkSearchTemplate();
    d.setText(DisplayModel::FREQ, QStringLiteral("2416"));
    QVERIFY2(DisplayWords::describe(d).startsWith(QStringLiteral("Talkgroup 2416")), qPrintable(DisplayWords::describe(d)));
    // What is not a number is said as it stands.
    d.clearDisplay(false);
    d.setText(DisplayModel::FREQ, QStringLiteral("VKS 4410 "));
    QCOMPARE(DisplayWords::describe(d), QStringLiteral("VKS 4410"));
}

void TestAccessibility::announcedOncePerChange()
{
    // (Without a screen reader's bus no event leaves the program; the one
    // through AT-SPI is checked by the screen-reader test.)
    WindowRig rig;
    const DisplayAnnouncer *announcer = rig.window.announcer();
    QWidget *display = rig.window.centralWidget()->findChild<QWidget *>(QStringLiteral("Text2"));
    QVERIFY(display);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(display);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Display"));

    DisplayModel &d = rig.display();
    d.clearDisplay(false);
    d.showScanTemplate();
    show(d, QStringLiteral("6"), QStringLiteral("154.8350"));
    QTRY_COMPARE(announcer->announcements(), 1);
    // The same call drawn again, and its flags changing: nothing new to say,
    // though what is read is current.
    for (int turn = 0; turn < 6; ++turn) { // the last with its delay flag
        d.clearDisplay(false);
        d.showScanTemplate();
        show(d, QStringLiteral("6"), QStringLiteral("154.8350"), turn % 2);
        QTest::qWait(5);
    }
    QTRY_VERIFY(iface->text(QAccessible::Description).contains(QStringLiteral("delay")));
    QCOMPARE(announcer->announcements(), 1);
    show(d, QStringLiteral("7"), QStringLiteral("155.2200"));
    QTRY_COMPARE(announcer->announcements(), 2);
    QVERIFY(iface->text(QAccessible::Description).startsWith(QStringLiteral("Channel 7, 155.22 megahertz")));
    // A search running through frequencies is said once.
    d.clearDisplay(false);
    d.showSearchTemplate();
    for (int step = 0; step < 10; ++step) {
        d.setText(DisplayModel::FREQ, QString::number(150.0 + step * 0.0125, 'f', 4));
        QTest::qWait(5);
    }
    QTRY_COMPARE(announcer->announcements(), 3);
    QTest::qWait(20);
    QCOMPARE(announcer->announcements(), 3);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
