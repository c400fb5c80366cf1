// The poll loop's reply handling: what each reply shows and which query follows.

#include "SessionRig.h"
#include "scanner/AuxDisplayModel.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

class TestPollLoop : public QObject
{
    Q_OBJECT
private slots:
    void startOfRun();
    void emptyTurnsAskSquelch();
    void channelReplies();
    void shortAndOddChannelReplies();
    void talkgroupReplies();
    void talkgroupBankChangesClearOnce();
    void odd_talkgroupReplies();
    void modeReplies();
    void unknownModeShowsDiagnostics();
    void squelchClosedRedrawsOnce();
    void rejectedCommandRedrawsPerMode();
    void modulationAndAcknowledgement();
    void linesAreTakenOnePerTurn();
    void closedPortIsTolerated();
};

void TestPollLoop::startOfRun()
{
    SessionRig rig;
    rig.session.setMute(MuteSetting::On);
    rig.loop.start();
    rig.loop.stop();
    QCOMPARE(rig.port.commands(), QStringList({QStringLiteral("MD"), QStringLiteral("MUA")}));
    QCOMPARE(rig.text(DisplayModel::MUTE), QStringLiteral("MUTE AUTO"));
    QCOMPARE(rig.state().mute, MuteSetting::Auto);
}

void TestPollLoop::emptyTurnsAskSquelch()
{
    SessionRig rig;
    // Nothing ever received: no reply, "SQ" every turn.
    QCOMPARE(rig.turnWith({}), QStringLiteral("SQ"));
    QCOMPARE(rig.turnWith({}), QStringLiteral("SQ"));
    QCOMPARE(rig.loop.lastQuery(), QStringLiteral("SQ"));
    // A partial line is not a reply yet; an empty line is none either.
    QCOMPARE(rig.turnWith("MD0"), QStringLiteral("SQ"));
    QCOMPARE(rig.turnWith("0\r"), QString()); // MD00 completes: scan, nothing queried
    QCOMPARE(rig.state().mode, ScannerMode::Scan);
    QCOMPARE(rig.turnWith("\r"), QStringLiteral("SQ"));
}

void TestPollLoop::channelReplies()
{
    SessionRig rig;
    rig.enterMode(ScannerMode::Manual);
    QCOMPARE(rig.reply(QStringLiteral("C000 F12960000 TF DN LF AF PN")), QStringLiteral("SQ"));
    QCOMPARE(rig.text(DisplayModel::CHAN), QStringLiteral("1000"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("1296.0000"));
    QCOMPARE(rig.text(DisplayModel::DELAY), QStringLiteral("DELAY"));
    QCOMPARE(rig.text(DisplayModel::LOCKOUT), QString());
    QCOMPARE(rig.text(DisplayModel::PRI), QStringLiteral("PRI"));
    QCOMPARE(rig.state().manualChannel, 1000);

    rig.reply(QStringLiteral("C053 F08515125 TN DF LN AF PF"));
    QCOMPARE(rig.text(DisplayModel::CHAN), QStringLiteral("053"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("851.5125"));
    QCOMPARE(rig.text(DisplayModel::DELAY), QString());
    QCOMPARE(rig.text(DisplayModel::LOCKOUT), QStringLiteral("L/O"));
    QCOMPARE(rig.text(DisplayModel::PRI), QString());
    QCOMPARE(rig.state().manualChannel, 53);
    QCOMPARE(rig.loop.channelText(), QStringLiteral("053"));

    rig.enterMode(ScannerMode::Scan);
    rig.reply(QStringLiteral("C120 F11234567 TF DX LF AF P?"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("1123.4567"));
    QCOMPARE(rig.text(DisplayModel::DELAY), QStringLiteral("ERR"));
    QCOMPARE(rig.text(DisplayModel::PRI), QStringLiteral("ERR"));
    QCOMPARE(rig.state().manualChannel, 53); // only kept in manual mode
}

void TestPollLoop::shortAndOddChannelReplies()
{
    SessionRig rig;
    QCOMPARE(rig.reply(QStringLiteral("C05")), QStringLiteral("SQ"));
    QCOMPARE(rig.text(DisplayModel::CHAN), QStringLiteral("05"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("."));
    QCOMPARE(rig.text(DisplayModel::DELAY), QStringLiteral("ERR"));
    QCOMPARE(rig.text(DisplayModel::LOCKOUT), QStringLiteral("ERR"));
    QCOMPARE(rig.text(DisplayModel::PRI), QStringLiteral("ERR"));
    rig.reply(QStringLiteral("C"));
    QCOMPARE(rig.text(DisplayModel::CHAN), QString());
    // Quotes and other signs in a reply are only text.
    rig.reply(QStringLiteral("C1'3 F0'; DROP"));
    QCOMPARE(rig.text(DisplayModel::CHAN), QStringLiteral("1'3"));
}

void TestPollLoop::talkgroupReplies()
{
    SessionRig rig;
    rig.enterMode(ScannerMode::TrunkSearch);
    QCOMPARE(rig.reply(QStringLiteral("ID C 00123")), QStringLiteral("RM"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("123"));
    QCOMPARE(rig.state().currentTalkgroup, QStringLiteral("123"));
    QCOMPARE(rig.text(DisplayModel::ACTIVEBANK), QString(6, QLatin1Char(' ')) + QStringLiteral("_C 3 6"));
    QCOMPARE(rig.text(DisplayModel::TRUNKTYPE), QStringLiteral("  TRUNK"));

    rig.reply(QStringLiteral("ID L 01234"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("1234"));
    QCOMPARE(rig.text(DisplayModel::ACTIVEBANK), QString(26, QLatin1Char(' ')) + QStringLiteral("__L 12 26"));
    rig.reply(QStringLiteral("ID L 12345"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("12345"));
    rig.reply(QStringLiteral("ID L 00012"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("012"));
    // Bank 20 wants 50 blanks; the loop has 49.
    rig.reply(QStringLiteral("ID T 7"));
    QCOMPARE(rig.text(DisplayModel::ACTIVEBANK), QString(49, QLatin1Char(' ')) + QStringLiteral("__T 20 50"));

    // A talkgroup reply clears the modulation word first.
    rig.display().setText(DisplayModel::ModMode, QStringLiteral("   NFM"));
    rig.reply(QStringLiteral("ID T 8"));
    QCOMPARE(rig.text(DisplayModel::ModMode), QString());

    QCOMPARE(rig.reply(QStringLiteral("IDF")), QStringLiteral("IDN"));
    QCOMPARE(rig.reply(QStringLiteral("IDN")), QString());
}

void TestPollLoop::talkgroupBankChangesClearOnce()
{
    SessionRig rig;
    rig.enterMode(ScannerMode::TrunkSearch);
    rig.reply(QStringLiteral("ID C 00123"));
    rig.display().setText(DisplayModel::SCAN, QStringLiteral("SCAN")); // something the clear would remove
    rig.reply(QStringLiteral("ID C 00456"));
    QCOMPARE(rig.text(DisplayModel::SCAN), QStringLiteral("SCAN"));
    rig.reply(QStringLiteral("ID D 00456"));
    QCOMPARE(rig.text(DisplayModel::SCAN), QString());

    // No talkgroup: the trunk template, and the loop keeps asking.
    rig.display().setText(DisplayModel::SCAN, QStringLiteral("SCAN"));
    QCOMPARE(rig.reply(QStringLiteral("ID ERR")), QStringLiteral("ID"));
    QCOMPARE(rig.text(DisplayModel::SCAN), QString());
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("    -- --- "));
    QCOMPARE(rig.text(DisplayModel::TRUNKTYPE), QStringLiteral("  TRUNK"));
    // Out of trunk mode (the answer to an "ID" asked before the user left
    // it), the loop stops asking and goes back to the squelch.
    rig.enterMode(ScannerMode::Scan);
    QCOMPARE(rig.reply(QStringLiteral("ID ERR")), QString());
    QCOMPARE(rig.turnWith({}), QStringLiteral("SQ"));

    // A new run forgets the bank letter: the same bank clears again.
    rig.session.startPolling();
    PollLoop &second = *rig.session.pollLoop();
    second.stop();
    rig.display().setText(DisplayModel::SCAN, QStringLiteral("SCAN"));
    rig.port.inject("ID D 00456\r");
    second.turn();
    QCOMPARE(rig.text(DisplayModel::SCAN), QString());
}

void TestPollLoop::odd_talkgroupReplies()
{
    SessionRig rig;
    rig.enterMode(ScannerMode::TrunkSearch);
    rig.reply(QStringLiteral("ID C 00123"));
    const QString freq = rig.text(DisplayModel::FREQ);
    const QString bankRow = rig.text(DisplayModel::ACTIVEBANK);
    // A letter that is no bank, a reply too short for one: nothing changes,
    // nothing is logged, and the loop goes on with "RM".
    for (const QString &odd : {QStringLiteral("ID c 00999"), QStringLiteral("ID U 00999"), QStringLiteral("ID"),
                               QStringLiteral("I"), QStringLiteral("ID 5 00999")}) {
        QCOMPARE(rig.reply(odd), QStringLiteral("RM"));
        QCOMPARE(rig.text(DisplayModel::FREQ), freq);
        QCOMPARE(rig.text(DisplayModel::ACTIVEBANK), bankRow);
        QCOMPARE(rig.state().currentTalkgroup, QStringLiteral("123"));
    }
    // IDs that no talkgroup has (quotes, punctuation, control characters,
    // letters, more than twelve characters) are line noise: not shown, never
    // logged.
    QSqlQuery count(rig.parts.lookupsDb.database());
    QVERIFY(count.exec(QStringLiteral("SELECT count(*) FROM TALKGROUPS")) && count.next());
    const int logged = count.value(0).toInt();
    for (const QString &junk :
         {QStringLiteral("ID C X|:<~GzM6qMmkwk)$~kpqIWhcMSt"), QStringLiteral("ID C P&!"), QStringLiteral("ID C 12'3"),
          QStringLiteral("ID C 1\x01"), QStringLiteral("ID C -123"), QStringLiteral("ID C 1234567890123"),
          QStringLiteral("ID C 00"), QStringLiteral("ID C 12 34")}) {
        QCOMPARE(rig.reply(junk), QStringLiteral("RM"));
        QCOMPARE(rig.text(DisplayModel::FREQ), freq);
        QCOMPARE(rig.state().currentTalkgroup, QStringLiteral("123"));
    }
    // Lines shaped like talkgroup replies that are not: never shown.
    for (const QString &alike : {QStringLiteral("I##C#5151"), QStringLiteral("IX C 05151"), QStringLiteral("I##E")}) {
        QCOMPARE(rig.reply(alike), QStringLiteral("RM"));
        QCOMPARE(rig.text(DisplayModel::FREQ), freq);
    }
    // Fleet-subfleet IDs and twelve characters are fine, logged once the
    // next replies agree.
    for (const QString &id : {QStringLiteral("100-01"), QStringLiteral("123456789012")}) {
        for (int i = 0; i < PollLoop::kAgreeingReplies; ++i) {
            rig.reply(QStringLiteral("ID C ") + id);
            QCOMPARE(rig.text(DisplayModel::FREQ), id);
        }
    }
    QVERIFY(rig.parts.log.flush());
    QVERIFY(count.exec(QStringLiteral("SELECT count(*) FROM TALKGROUPS")) && count.next());
    QCOMPARE(count.value(0).toInt(), logged + 2);
}

void TestPollLoop::modeReplies()
{
    SessionRig rig;
    struct Case
    {
        const char *reply;
        int mode;
        const char *name;
        const char *next;
        DisplayModel::Field field;
        const char *text;
    };
    const Case cases[] = {
        {"MD00", 0, "SCAN", "", DisplayModel::FREQ, " SCAN  "},
        {"MD01", 1, "MANUAL", "", DisplayModel::MANUAL, "MANUAL"},
        {"MD02", 2, "SEARCH", "MA", DisplayModel::FREQ, " 1300.000"},
        {"MD09", 9, "TRNKSRCH", "ID", DisplayModel::FREQ, "    -- --- "},
        {"MD11", 11, "TRNKSCAN", "", DisplayModel::TRUNKTYPE, "  TRUNK"},
    };
    for (const Case &c : cases) {
        rig.aux().setLine(1, QStringLiteral("old"));
        QCOMPARE(rig.reply(QLatin1String(c.reply)), QLatin1String(c.next));
        QCOMPARE(int(rig.state().mode), c.mode);
        QCOMPARE(rig.state().modeName(), QLatin1String(c.name));
        QCOMPARE(rig.text(c.field), QLatin1String(c.text));
        QCOMPARE(rig.aux().line(1), QString()); // the clear empties the aux lines too
    }
    QCOMPARE(rig.text(DisplayModel::SCAN), QStringLiteral("SCAN"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QString());
    // The clear leaves the mute word and the alert indicator alone.
    QCOMPARE(rig.text(DisplayModel::MUTE), DisplayModel::designText(DisplayModel::MUTE));
    QCOMPARE(rig.text(DisplayModel::ALERT), QStringLiteral("ALERT"));

    // Shift on: the clear keeps the shift indicator.
    rig.session.setShift(true);
    rig.reply(QStringLiteral("MD01"));
    QCOMPARE(rig.text(DisplayModel::SHIFT), QStringLiteral("SFT"));
    QCOMPARE(rig.text(DisplayModel::SRCHUP), QString());
    rig.reply(QStringLiteral("MD02"));
    QCOMPARE(rig.text(DisplayModel::SRCHDN), DisplayModel::kSearchDown);
    QCOMPARE(rig.text(DisplayModel::SRCHUP), DisplayModel::kSearchUp);
}

void TestPollLoop::unknownModeShowsDiagnostics()
{
    SessionRig rig;
    rig.enterMode(ScannerMode::Manual);
    rig.turnWith("MD55\r+");
    QCOMPARE(rig.state().mode, ScannerMode::Manual);
    QCOMPARE(rig.aux().line(1), QStringLiteral("MD55\r+"));
    QCOMPARE(rig.aux().line(2), QStringLiteral("+"));
    QCOMPARE(rig.aux().line(3), QStringLiteral("MD55"));
    QCOMPARE(rig.aux().line(4), QStringLiteral("4"));
}

void TestPollLoop::squelchClosedRedrawsOnce()
{
    SessionRig rig;
    rig.enterMode(ScannerMode::Scan);
    rig.reply(QStringLiteral("C053 F01544150 TF DF LF AF PF"));
    QSignalSpy changes(&rig.display(), &DisplayModel::textChanged);
    rig.port.inject("-\r-\r");
    rig.loop.turn();
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral(" SCAN  "));
    QCOMPARE(rig.text(DisplayModel::CHAN), QString());
    const qsizetype afterFirst = changes.size();
    QVERIFY(afterFirst > 0);
    rig.loop.turn();
    QCOMPARE(rig.loop.reply(), QStringLiteral("-"));
    QCOMPARE(changes.size(), afterFirst);

    // Manual mode: the template, and the channel is asked for.
    rig.enterMode(ScannerMode::Manual);
    QCOMPARE(rig.reply(QStringLiteral("+")), QStringLiteral("MA"));
    QCOMPARE(rig.reply(QStringLiteral("-")), QStringLiteral("MA"));
    QCOMPARE(rig.text(DisplayModel::MANUAL), QStringLiteral("MANUAL"));
    // Search mode: nothing.
    rig.enterMode(ScannerMode::Search);
    QCOMPARE(rig.reply(QStringLiteral("+")), QString());
    QCOMPARE(rig.reply(QStringLiteral("-")), QString());
}

void TestPollLoop::rejectedCommandRedrawsPerMode()
{
    SessionRig rig;
    const int modes[] = {0, 1, 9};
    const DisplayModel::Field shows[] = {DisplayModel::SCAN, DisplayModel::MANUAL, DisplayModel::SEARCH};
    for (int i = 0; i < 3; ++i) {
        rig.enterMode(ScannerMode(modes[i]));
        rig.display().setText(DisplayModel::HOLD, QStringLiteral("HOLD"));
        QCOMPARE(rig.reply(QStringLiteral("NG")), QString());
        QCOMPARE(rig.text(DisplayModel::HOLD), QString());
        QVERIFY(!rig.text(shows[i]).isEmpty());
    }
    for (int mode : {2, 11}) {
        rig.enterMode(ScannerMode(mode));
        rig.display().setText(DisplayModel::HOLD, QStringLiteral("HOLD"));
        rig.reply(QStringLiteral("NG"));
        QCOMPARE(rig.text(DisplayModel::HOLD), QStringLiteral("HOLD"));
    }
    rig.reply(QStringLiteral("NOISE"));
    QCOMPARE(rig.text(DisplayModel::SHIFT), QStringLiteral("NOISE"));
}

void TestPollLoop::modulationAndAcknowledgement()
{
    SessionRig rig;
    QCOMPARE(rig.reply(QStringLiteral("RM AM")), QStringLiteral("ID"));
    QCOMPARE(rig.text(DisplayModel::ModMode), QStringLiteral("AM"));
    rig.reply(QStringLiteral("RM NFM"));
    QCOMPARE(rig.text(DisplayModel::ModMode), QStringLiteral("   NFM"));
    rig.reply(QStringLiteral("RM WFM"));
    QCOMPARE(rig.text(DisplayModel::ModMode), QStringLiteral("       WFM"));
    QCOMPARE(rig.reply(QStringLiteral("RM FM")), QStringLiteral("ID"));
    QCOMPARE(rig.text(DisplayModel::ModMode), QStringLiteral("       WFM"));

    QCOMPARE(rig.reply(QStringLiteral("OK")), QStringLiteral("MD"));
    rig.enterMode(ScannerMode::Scan);
    QCOMPARE(rig.reply(QStringLiteral("+")), QStringLiteral("MA"));
    QCOMPARE(rig.reply(QStringLiteral("?")), QString());

    // A query set by a key (mute off) goes out at the end of the turn.
    rig.session.leaveQuery(QStringLiteral("MUF"));
    QCOMPARE(rig.reply(QStringLiteral("?")), QStringLiteral("MUF"));
}

void TestPollLoop::linesAreTakenOnePerTurn()
{
    SessionRig rig;
    rig.port.inject("MD01\rC053 F01544150 TF DF LF AF PF\r");
    rig.loop.turn();
    QCOMPARE(rig.loop.reply(), QStringLiteral("MD01"));
    QCOMPARE(rig.text(DisplayModel::CHAN), QString());
    rig.loop.turn(); // nothing new arrives; the line is taken from the buffer
    QCOMPARE(rig.loop.reply(), QStringLiteral("C053 F01544150 TF DF LF AF PF"));
    QCOMPARE(rig.loop.previousReply(), QStringLiteral("MD01"));
    QCOMPARE(rig.text(DisplayModel::CHAN), QStringLiteral("053"));
    rig.loop.turn();
    QCOMPARE(rig.loop.reply(), QString());

    // Split over two reads: handled once complete.
    QCOMPARE(rig.turnWith("C054 F0154"), QStringLiteral("SQ"));
    QCOMPARE(rig.text(DisplayModel::CHAN), QStringLiteral("053"));
    rig.turnWith("4150 TF DF LF AF PF\r");
    QCOMPARE(rig.text(DisplayModel::CHAN), QStringLiteral("054"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("154.4150"));
}

void TestPollLoop::closedPortIsTolerated()
{
    SessionRig rig(false);
    for (int i = 0; i < 5; ++i)
        rig.loop.turn();
    QVERIFY(rig.port.written().isEmpty());
    QCOMPARE(rig.loop.turns(), 5);
}

QTEST_GUILESS_MAIN(TestPollLoop)
#include "tst_pollloop.moc"
