// Runs the faceplate offscreen against the simulator on a pseudo-terminal and
// prints what polling costs and how fast a channel reaches the display; then
// times the auxiliary display's database lookups.
// With --monitor the serial monitor is open while polling. With --burst it
// only times a 16 MB burst of garbage: from the moment it arrives until the
// display shows the good reply that follows it, with the turns on their
// timer as in the program.
//
// usage: bench-poll [seconds] [--monitor] (default 20)
//        bench-poll --burst

#include "BenchSupport.h"
#include "data/ChannelDatabase.h"
#include "link/TrafficTap.h"
#include "link/SerialCommPort.h"
#include "protocol/ChannelReply.h"
#include "scanner/AuxDisplayModel.h"
#include "scanner/AuxLookups.h"
#include "scanner/DisplayModel.h"
#include "scanner/Keyboard.h"
#include "scanner/Keypad.h"
#include "scanner/PollLoop.h"
#include "scanner/ScannerSession.h"
#include "ui/FacePlateWindow.h"
#include "ui/SerialMonitorModel.h"
#include "ui/SerialMonitorWindow.h"
#include "ui/ViewWindows.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <random>

namespace {

struct Change
{
    qint64 ns;
    QString text;
};

void lookupBenchmark(const QString &dir)
{
    const QString path = dir + QStringLiteral("/lookups.db");
    ChannelDatabase db(path, QStringLiteral("bench-lookups"));
    QString error;
    if (!db.open(&error)) {
        std::printf("lookups: cannot open database: %s\n", qPrintable(error));
        return;
    }
    QSqlDatabase sql = db.database();
    sql.transaction();
    for (int bank = 1; bank <= ChannelDatabase::kBanks; ++bank) {
        QSqlQuery q(sql);
        q.prepare(QStringLiteral("INSERT INTO %1 (CHANNEL, FREQUENCY, sFREQ, COMPANY_NAME, NOTES) VALUES (?, ?, ?, ?, ?)")
                      .arg(ChannelDatabase::bankTableName(bank)));
        for (int c = 1; c <= 50; ++c) {
            const int n = (bank - 1) * 50 + c;
            q.addBindValue(n);
            q.addBindValue(150.0 + n / 100.0);
            q.addBindValue(QStringLiteral("%1").arg(150.0 + n / 100.0, 0, 'f', 4));
            q.addBindValue(QStringLiteral("Company %1").arg(n));
            q.addBindValue(QStringLiteral("Notes for channel %1").arg(n));
            q.exec();
        }
    }
    {
        QSqlQuery q(sql);
        q.prepare(QStringLiteral("INSERT INTO TALKGROUPS (ID, CITY, SERVICE_DESC, NOTES) VALUES (?, ?, ?, ?)"));
        for (int i = 0; i < 10000; ++i) {
            q.addBindValue(QString::number(1000 + i * 7));
            q.addBindValue(QStringLiteral("City %1").arg(i % 97));
            q.addBindValue(QStringLiteral("Service %1").arg(i % 13));
            q.addBindValue(QStringLiteral("Talkgroup %1").arg(i));
            q.exec();
        }
    }
    sql.commit();

    AuxDisplayModel aux;
    aux.setVisible(true); // shown, and a new frequency each time: every lookup goes to the database
    AuxLookups lookups(&aux, &db, [](const QString &s) { std::printf("lookup problem: %s\n", qPrintable(s)); });
    std::mt19937 random(4410);
    QList<double> channelMs;
    QList<double> talkgroupMs;
    QElapsedTimer timer;
    for (int i = 0; i < 10000; ++i) {
        const int channel = 1 + int(random() % 1000);
        const QString text = QStringLiteral("%1").arg(channel % 1000, 3, 10, QLatin1Char('0'));
        timer.start();
        lookups.lookupChannel(text, QStringLiteral("154.%1").arg(i));
        channelMs << timer.nsecsElapsed() / 1e6;

        const QString id = QString::number(1000 + int(random() % 10000) * 7);
        timer.start();
        lookups.lookupTalkgroup(id);
        talkgroupMs << timer.nsecsElapsed() / 1e6;
    }
    std::printf("channel lookups:   10000 on 1000 channels, median %.3f ms, p99 %.3f ms (target median < 0.5 ms)\n",
                Bench::quantile(channelMs, 0.5), Bench::quantile(channelMs, 0.99));
    std::printf("talkgroup lookups: 10000 on 10000 talkgroups, median %.3f ms, p99 %.3f ms (target median < 0.5 ms)\n",
                Bench::quantile(talkgroupMs, 0.5), Bench::quantile(talkgroupMs, 0.99));
}

// A scanner that says nothing but what the benchmark gives it.
class BurstPort : public CommPort
{
public:
    void inject(const QByteArray &bytes)
    {
        m_incoming.append(bytes);
        notifyReceived();
    }

protected:
    bool openDevice(const QString &, const SerialSettings &, QString *) override { return true; }
    void closeDevice() override {}
    bool applySettings(const SerialSettings &) override { return true; }
    void writeDevice(const QByteArray &) override {}
    QByteArray readDevice() override
    {
        QByteArray bytes;
        bytes.swap(m_incoming);
        return bytes;
    }

private:
    QByteArray m_incoming;
};

int burstBenchmark(const QString &dir)
{
    QSettings store(dir + QStringLiteral("/burst.conf"), QSettings::IniFormat);
    store.setValue("Config/Com_Port", "1");
    store.setValue("Config/Com_Speed", "19200");
    BurstPort port;
    ChannelDatabase lookupsDb(dir + QStringLiteral("/burst.db"), QStringLiteral("burst-lookups"), 200);
    DisplayModel display;
    AuxDisplayModel aux;
    AuxLookups lookups(&aux, &lookupsDb, [](const QString &) {});
    ScannerSession session({&port, &store, &display, &aux, &lookups});
    port.open();
    session.startPolling();
    port.inject("MD00\r");

    // Lines of random length, one byte in four anything at all.
    std::mt19937 random(4410);
    QByteArray garbage(16 * 1024 * 1024, Qt::Uninitialized);
    for (char &c : garbage) {
        const quint32 r = random();
        c = (r & 63) == 0 ? '\r' : (r & 0x300) == 0 ? char(r >> 16) : char('+' + (r >> 16) % 64);
    }
    qint64 startNs = 0, shownNs = 0;
    qint64 turnsBefore = 0;
    QObject::connect(&display, &DisplayModel::textChanged, &session,
                     [&](DisplayModel::Field field, const QString &text) {
                         if (startNs && !shownNs && field == DisplayModel::CHAN && text == QLatin1String("053")) {
                             shownNs = Bench::monotonicNs();
                             QCoreApplication::quit();
                         }
                     });
    QTimer::singleShot(200, &session, [&] {
        turnsBefore = session.pollLoop() ? session.pollLoop()->turns() : 0;
        startNs = Bench::monotonicNs();
        port.inject(garbage + "\rC053 F01544150 TF DN LF AF PF\r");
    });
    QTimer::singleShot(120000, &session, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    const qint64 turns = session.pollLoop() ? session.pollLoop()->turns() - turnsBefore : 0;
    session.shutdown();
    if (!shownNs) {
        std::printf("16 MB burst: the good reply after it was not shown within 120 s\n");
        return 1;
    }
    std::printf("16 MB burst: the good reply after it shown %.0f ms after the burst arrived, %lld turns "
                "(the lines left of the burst are worked off one a turn)\n",
                (shownNs - startNs) / 1e6, (long long)turns);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "orvendal.*.debug=false\norvendal.*.info=false");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool monitor = args.removeAll(QStringLiteral("--monitor")) > 0;
    const bool burst = args.removeAll(QStringLiteral("--burst")) > 0;
    const int seconds = args.isEmpty() ? 20 : args.first().toInt();

    QTemporaryDir dir;
    if (burst)
        return burstBenchmark(dir.path());
    const QString link = dir.filePath(QStringLiteral("vks"));
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    QProcess sim;
    sim.setStandardOutputFile(trace);
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vks-sim"),
              {QStringLiteral("--link"), link, QStringLiteral("--baud"), QStringLiteral("19200"),
               QStringLiteral("--squelch-open"), QStringLiteral("600"), QStringLiteral("--squelch-closed"),
               QStringLiteral("400"), QStringLiteral("--trace")});
    if (!sim.waitForStarted(5000)) {
        std::printf("cannot start vks-sim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    for (int i = 0; i < 100 && !QFile::exists(link); ++i)
        QThread::msleep(20);

    QSettings store(dir.filePath(QStringLiteral("OVKS4410.conf")), QSettings::IniFormat);
    store.setValue("Config/Com_Port", "1");
    store.setValue("Config/Com_Speed", "19200");
    store.setValue("Config/Com_Device_1", link);
    // Put together as the program does.
    const QString databasePath = dir.filePath(QStringLiteral("Data/Orvendal.db"));
    SerialCommPort port;
    ChannelDatabase lookupsDb(databasePath, QStringLiteral("orvendal-lookups"), 200);
    DisplayModel display;
    AuxDisplayModel aux;
    AuxLookups lookups(&aux, &lookupsDb, [&display](const QString &text) { display.setStatusLine(text); });
    ScannerSession session({&port, &store, &display, &aux, &lookups});
    Keypad keypad(&port, &session);
    Keyboard keyboard(&port, &session, &aux);
    TrafficTap tap;
    tap.watch(&port, QStringLiteral("Faceplate"));
    FacePlateWindow window({&session, &port, &store, databasePath, &display, &aux, &keypad, &keyboard, nullptr, &tap});
    session.setPlaceWindows([&window] { window.placeWindows(); });
    QList<Change> changes;
    QObject::connect(window.field(DisplayModel::FREQ), &QLineEdit::textChanged, &app,
                     [&changes](const QString &text) { changes.append({Bench::monotonicNs(), text}); });

    session.load();
    double cpuStart = 0, cpu = 0, wall = 0;
    qint64 wallStart = 0, turns = 0, queries = 0;
    QObject::connect(&session, &ScannerSession::pollingStarted, &app, [&] {
        if (monitor)
            window.findChild<QAction *>(QStringLiteral("mnuSerialMonitor"))->trigger();
        cpuStart = Bench::cpuSeconds();
        wallStart = Bench::monotonicNs();
        QTimer::singleShot(seconds * 1000, &app, [&] {
            cpu = Bench::cpuSeconds() - cpuStart;
            wall = (Bench::monotonicNs() - wallStart) / 1e9;
            if (PollLoop *loop = session.pollLoop()) {
                turns = loop->turns();
                queries = loop->queriesSent();
            }
            session.shutdown();
            QCoreApplication::quit();
        });
    });
    app.exec();
    const SerialMonitorWindow *monitorWindow = window.viewWindows()->serialMonitor();
    sim.terminate();
    sim.waitForFinished(3000);

    // Match each new frequency on the display with the simulator's first
    // write of that channel reply since the display last changed.
    struct Write
    {
        qint64 ns;
        QString frequency;
    };
    QList<Write> writes;
    QFile file(trace);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(QLatin1Char(' '));
        if (parts.size() >= 4 && parts[1] == QLatin1String("wrote") && parts[3].startsWith(QLatin1Char('C'))) {
            const QString reply = parts.mid(3).join(QLatin1Char(' '));
            writes.append({parts[2].toLongLong(), ChannelReply::decode(reply).frequencyText});
        }
    }
    QList<double> delays;
    qint64 previousChange = 0;
    for (const Change &c : changes) {
        for (const Write &w : writes) {
            if (w.ns > c.ns)
                break;
            if (w.ns >= previousChange && w.frequency == c.text) {
                delays << (c.ns - w.ns) / 1e6;
                break;
            }
        }
        previousChange = c.ns;
    }

    std::printf("poll: %d s against vks-sim at 19200 bit/s, offscreen%s\n", seconds,
                monitor ? ", serial monitor open" : "");
    if (monitor && monitorWindow)
        std::printf("serial monitor: %lld lines recorded, %d shown\n", (long long)tap.total(),
                    monitorWindow->model()->rowCount());
    std::printf("CPU: %.3f s in %.1f s = %.4f CPU s per wall s (target <= 0.02)\n", cpu, wall, cpu / wall);
    std::printf("turns: %.1f per s, queries: %.1f per s\n", turns / wall, queries / wall);
    std::printf("channel reply to tbFREQ: %lld samples, median %.2f ms, p99 %.2f ms (target median <= 15 ms)\n",
                (long long)delays.size(), Bench::quantile(delays, 0.5), Bench::quantile(delays, 0.99));
    lookupBenchmark(dir.path());
    return 0;
}
