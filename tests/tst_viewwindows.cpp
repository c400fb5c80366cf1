// The View menu's Talkgroup Activity and Serial Monitor windows, opened from
// the faceplate.

#include "WindowRig.h"
#include "data/ActivityModels.h"
#include "data/TalkgroupActivityLog.h"
#include "link/TrafficTap.h"
#include "ui/ActivityWindow.h"
#include "ui/SerialMonitorModel.h"
#include "ui/SerialMonitorWindow.h"
#include "ui/ViewWindows.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTest>

namespace {

struct ViewRig : SessionRig
{
    TalkgroupActivityLog &log = parts.log;
    TrafficTap tap;
    QStringList messages;
    FacePlateWindow window{wiring()};

    FacePlateWindow::Wiring wiring()
    {
        FacePlateWindow::Wiring w = windowWiring(parts, &port, store.store.get(), databasePath());
        w.activity = &log;
        w.tap = &tap;
        return w;
    }
    ViewRig()
    {
        window.setMessage([this](MessageKind, const QString &, const QString &text) {
            messages << text;
            return true;
        });
        tap.watch(&port, QStringLiteral("Faceplate"));
        log.setFlushDelay(1);
    }
    void trigger(const char *name) { window.findChild<QAction *>(QLatin1String(name))->trigger(); }
};

} // namespace

class TestViewWindows : public QObject
{
    Q_OBJECT
private slots:
    void activityFollowsTheLog();
    void serialMonitor();
};

void TestViewWindows::activityFollowsTheLog()
{
    ViewRig rig;
    rig.log.record(QStringLiteral("123"), QLatin1Char('C'));
    QVERIFY(rig.log.flush());
    rig.trigger("mnuTalkgroupActivity");
    ActivityWindow *window = rig.window.viewWindows()->activityWindow();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Talkgroup Activity"));
    QCOMPARE(window->listModel()->rowCount(), 1);

    // What the poll loop shows next appears without asking.
    rig.enterMode(ScannerMode::TrunkSearch);
    for (int i = 0; i < PollLoop::kAgreeingReplies; ++i)
        rig.reply(QStringLiteral("ID L 04711"));
    QTRY_COMPARE(window->listModel()->rowCount(), 2);
    QCOMPARE(window->listModel()->index(0, 1).data().toString(), QStringLiteral("4711"));
    QCOMPARE(window->summaryModel()->rowCount(), 2);

    window->idFilter()->setText(QStringLiteral("123"));
    window->refresh();
    QCOMPARE(window->listModel()->rowCount(), 1);
    window->spanFilter()->setCurrentIndex(0); // the last hour
    QCOMPARE(window->listModel()->rowCount(), 1);

    const QString csv = rig.store.dir.filePath(QStringLiteral("activity.csv"));
    QVERIFY(window->exportTo(csv));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("HEARD,ID,BANK,CHANNEL,FREQUENCY,NAME,CITY,RECORDING,FILE\r"));
    QVERIFY(lines.at(1).contains(",123,C"));
    // A folder that is not there: told, not crashed.
    QVERIFY(!window->exportTo(rig.store.dir.filePath(QStringLiteral("none/activity.csv"))));
    QCOMPARE(rig.messages.size(), 1);

    // The same window again from the menu.
    rig.trigger("mnuTalkgroupActivity");
    QCOMPARE(rig.window.viewWindows()->activityWindow(), window);
}

void TestViewWindows::serialMonitor()
{
    ViewRig rig;
    rig.port.send(QStringLiteral("MD"));
    QCOMPARE(rig.tap.total(), 0);
    rig.trigger("mnuSerialMonitor");
    SerialMonitorWindow *monitor = rig.window.viewWindows()->serialMonitor();
    QVERIFY(monitor && monitor->isVisible());
    QVERIFY(rig.tap.isRecording());

    rig.reply(QStringLiteral("-")); // a reply the poll loop reads
    rig.port.send(QStringLiteral("SQ"));
    SerialMonitorModel *model = monitor->model();
    QCOMPARE(monitor->view()->model(), model);
    // Shown in a batch, not line by line.
    QCOMPARE(model->rowCount(), 0);
    QTRY_COMPARE(model->rowCount(), 2);
    QVERIFY(model->index(0).data().toString().endsWith(QStringLiteral("Faceplate <- -")));
    QVERIFY(model->index(1).data().toString().endsWith(QStringLiteral("Faceplate -> SQ")));

    monitor->setPaused(true);
    QVERIFY(!rig.tap.isRecording());
    rig.reply(QStringLiteral("-"));
    QCOMPARE(rig.tap.total(), 2);
    monitor->setPaused(false);

    const QString path = rig.store.dir.filePath(QStringLiteral("trace.txt"));
    QVERIFY(monitor->saveTo(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), 2);

    monitor->clear();
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(rig.tap.lines().isEmpty());

    // A flood keeps at most the cap, the newest last, trimmed in blocks.
    for (int i = 0; i < 25000; ++i) {
        rig.port.send(QStringLiteral("KEY%1").arg(i));
        if (i % 1000 == 999)
            monitor->showNewLines();
    }
    monitor->showNewLines();
    QVERIFY(model->rowCount() <= TrafficTap::kCapacity);
    QVERIFY(model->rowCount() >= TrafficTap::kCapacity * 9 / 10);
    QVERIFY(model->index(model->rowCount() - 1).data().toString().endsWith(QStringLiteral("-> KEY24999")));
    monitor->clear();

    // Closed, it records nothing.
    monitor->close();
    QVERIFY(!rig.tap.isRecording());
    rig.reply(QStringLiteral("-"));
    QVERIFY(rig.tap.lines().isEmpty());
}

QTEST_MAIN(TestViewWindows)
#include "tst_viewwindows.moc"
