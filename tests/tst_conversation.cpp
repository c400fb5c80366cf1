// A whole conversation with the simulated scanner over a pseudo-terminal:
// start-up, scanning, keys, manual mode, trunk search and the talkgroup log.

#include "SessionRig.h"
#include "link/SerialCommPort.h"
#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"
#include "data/ChannelDatabase.h"

#include <QSqlQuery>
#include <QTest>

class TestConversation : public QObject
{
    Q_OBJECT
private slots:
    void conversation();
};

void TestConversation::conversation()
{
    qint64 now = 0;
    ScannerEngine engine;
    engine.setClock([&now] { return now; });
    engine.setChannel(53, {1544150, false, true, false, true});
    engine.setChannel(52, {4531250, false, false, true, false});
    engine.setTalkgroups({{'C', QStringLiteral("00123")}, {'L', QStringLiteral("04711")}}, 1000);
    SimLink link(&engine);
    link.setOptions({19200, 2, false});
    PtyHost host(&link);
    TempSettings store;
    QString error;
    QVERIFY2(host.open(store.dir.filePath(QStringLiteral("vks")), &error), qPrintable(error));
    store->setValue("Config/Com_Port", "2");
    store->setValue("Config/Com_Speed", "19200");
    store->setValue("Config/Com_Device_2", host.portName());

    // A channel the database knows.
    const QString dbPath = store.dir.filePath(QStringLiteral("Data/Orvendal.db"));
    {
        ChannelDatabase seed(dbPath, QStringLiteral("seed"));
        QVERIFY(seed.open(&error));
        QVERIFY(QSqlQuery(seed.database())
                    .exec(QStringLiteral("INSERT INTO BANK02 (CHANNEL, COMPANY_NAME, NOTES) VALUES (53, 'County Fire', 'north')")));
    }

    SerialCommPort port;
    SessionParts parts(&port, store.store.get(), dbPath);
    ScannerSession &session = parts.session;
    AuxDisplayModel *aux = &parts.aux;
    session.setSelfTestPause(10);
    aux->setVisible(true);
    DisplayModel *d = &parts.display;
    session.load();
    QTRY_COMPARE(session.phase(), ScannerSession::Phase::Polling);
    QCOMPARE(d->statusLine(), QStringLiteral("COMM PORT #2 OPENED at 19200,N,8,1"));

    // Scan mode, squelch closed: the scan template.
    engine.setMode(ScannerEngine::Scan);
    engine.setCurrentChannel(53);
    engine.forceSquelch(0);
    QTRY_COMPARE(d->text(DisplayModel::FREQ), QStringLiteral(" SCAN  "));
    QCOMPARE(session.state().modeName(), QStringLiteral("SCAN"));
    QCOMPARE(d->text(DisplayModel::MUTE), QStringLiteral("MUTE AUTO"));

    // A signal on channel 53: channel, frequency, indicators and the notes.
    engine.forceSquelch(1);
    QTRY_COMPARE(d->text(DisplayModel::FREQ), QStringLiteral("154.4150"));
    QCOMPARE(d->text(DisplayModel::CHAN), QStringLiteral("053"));
    QCOMPARE(d->text(DisplayModel::DELAY), QStringLiteral("DELAY"));
    QCOMPARE(d->text(DisplayModel::PRI), QStringLiteral("PRI"));
    QCOMPARE(d->text(DisplayModel::LOCKOUT), QString());
    QTRY_COMPARE(aux->line(3), QStringLiteral("County Fire"));
    QCOMPARE(aux->line(2), QStringLiteral("CHAN: 53"));

    // MAN: manual mode on the channel received.
    parts.keypad.press(QStringLiteral("btnMAN"));
    QTRY_COMPARE(session.state().mode, ScannerMode::Manual);
    QTRY_COMPARE(d->text(DisplayModel::MANUAL), QStringLiteral("MANUAL"));
    QCOMPARE(engine.currentChannel(), 53);
    QTRY_COMPARE(session.state().manualChannel, 53);

    // Keypad minus: one channel down.
    parts.keyboard.keyDown(109, 0);
    QTRY_COMPARE(engine.currentChannel(), 52);
    QTRY_COMPARE(d->text(DisplayModel::CHAN), QStringLiteral("052"));
    QTRY_COMPARE(d->text(DisplayModel::FREQ), QStringLiteral("453.1250"));
    QCOMPARE(d->text(DisplayModel::LOCKOUT), QStringLiteral("L/O"));

    // Squelch closes: the manual template stays, the channel is asked again.
    engine.forceSquelch(0);
    QTRY_COMPARE(d->text(DisplayModel::MANUAL), QStringLiteral("MANUAL"));

    // Trunk search: talkgroups shown and logged once each.
    parts.keypad.press(QStringLiteral("btnTRUNK"));
    QTRY_COMPARE(session.state().mode, ScannerMode::TrunkSearch);
    QTRY_COMPARE(d->text(DisplayModel::FREQ), QStringLiteral("123"));
    QVERIFY(engine.talkgroupDisplayOn()); // "IDF" was answered with "IDN"
    QCOMPARE(d->text(DisplayModel::ACTIVEBANK), QString(6, QLatin1Char(' ')) + QStringLiteral("_C 3 6"));
    QTRY_COMPARE(d->text(DisplayModel::ModMode), QStringLiteral("   NFM"));
    QTRY_COMPARE(aux->line(1), QStringLiteral("Talkgroup ID: 123"));
    now = 1000;
    QTRY_COMPARE(d->text(DisplayModel::FREQ), QStringLiteral("4711"));
    QTRY_COMPARE(aux->line(1), QStringLiteral("Talkgroup ID: 4711")); // taken as heard
    now = 2000;
    QTRY_COMPARE(d->text(DisplayModel::FREQ), QStringLiteral("123"));
    QTest::qWait(100);
    QVERIFY(parts.log.flush());

    QSqlQuery q(parts.lookupsDb.database());
    QVERIFY(q.exec(QStringLiteral("SELECT ID, count(*) FROM TALKGROUPS GROUP BY ID ORDER BY ID")));
    QStringList logged;
    while (q.next())
        logged << QStringLiteral("%1:%2").arg(q.value(0).toString()).arg(q.value(1).toInt());
    QCOMPARE(logged, QStringList({QStringLiteral("123:1"), QStringLiteral("4711:1")}));

    // The commands were the poll loop's queries and the keys, nothing else.
    const QStringList known = {"MD", "MUA", "SQ", "MA", "ID", "IDN", "RM", "KEY01", "KEY13", "KEY02 5", "KEY02 2"};
    for (const QString &command : engine.commandLog())
        QVERIFY2(known.contains(command), qPrintable(command));

    session.shutdown();
    QVERIFY(!port.isOpen());
}

QTEST_GUILESS_MAIN(TestConversation)
#include "tst_conversation.moc"
