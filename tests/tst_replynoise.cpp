// Line noise and overlong replies: the poll loop keeps its rhythm, and
// noise never becomes a talkgroup.

#include "SessionRig.h"
#include "sim/ScannerEngine.h"

#include <QSqlQuery>
#include <QTest>

#include <random>

class TestReplyNoise : public QObject
{
    Q_OBJECT
private slots:
    void overlongRepliesKeepTheRhythm();
    void noisyLineLogsNoPhantoms();
};

void TestReplyNoise::overlongRepliesKeepTheRhythm()
{
    SessionRig rig;
    rig.enterMode(ScannerMode::TrunkSearch);
    QCOMPARE(rig.reply(QStringLiteral("ID C 00123")), QStringLiteral("RM"));
    QCOMPARE(rig.reply(QStringLiteral("RM NFM")), QStringLiteral("ID"));

    // A 5000-digit talkgroup reply arriving in pieces: while it is partial the
    // loop asks "SQ" as for any partial line; once it ends it is an
    // unrecognised talkgroup reply, and the loop goes on with "RM".
    const QByteArray digits(5000, '7');
    const QByteArray longReply = "ID C 0" + digits + '\r';
    for (qsizetype at = 0; at < longReply.size(); at += 700) {
        const QString sent = rig.turnWith(longReply.mid(at, 700));
        QCOMPARE(sent, at + 700 < longReply.size() ? QStringLiteral("SQ") : QStringLiteral("RM"));
    }
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("123"));
    // The scanner's answers to those "SQ"s, then the normal rhythm again.
    while (!rig.loop.buffer().isEmpty())
        rig.turnWith({});
    QCOMPARE(rig.reply(QStringLiteral("-")), QString());
    QCOMPARE(rig.reply(QStringLiteral("RM AM")), QStringLiteral("ID"));
    QCOMPARE(rig.reply(QStringLiteral("ID C 00456")), QStringLiteral("RM"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("456"));

    // The whole reply in one read, with the normal replies right behind it.
    QCOMPARE(rig.turnWith("ID D 0" + digits + "\rRM NFM\rID D 00789\r"), QStringLiteral("RM"));
    QCOMPARE(rig.turnWith({}), QStringLiteral("ID"));
    QCOMPARE(rig.turnWith({}), QStringLiteral("RM"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("789"));

    // Noise of any kind, thousands of characters before its line end: one
    // line that is handled as what it starts with, then the replies again.
    QCOMPARE(rig.turnWith(QByteArray(6000, 'x')), QStringLiteral("SQ"));
    QCOMPARE(rig.turnWith(QByteArray(3000, 'x') + "\rRM NFM\r"), QString());
    QCOMPARE(rig.turnWith({}), QStringLiteral("ID"));
    QCOMPARE(rig.reply(QStringLiteral("ID D 00111")), QStringLiteral("RM"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("111"));
    QVERIFY(rig.loop.buffer().pending().size() <= ReplyBuffer::kMaxPending);

    // Noise without a line end that swallows the next reply of the cycle:
    // after the answers to the loop's "SQ"s, the cycle starts again, once.
    QCOMPARE(rig.turnWith(QByteArray(5000, '7')), QStringLiteral("SQ"));
    QCOMPARE(rig.turnWith("RM NFM\r"), QString());
    QStringList sent;
    for (int i = 0; i < 2 * PollLoop::kTrunkStallTurns && !sent.contains(QStringLiteral("ID")); ++i)
        sent << rig.turnWith(sent.isEmpty() || sent.last() == QLatin1String("SQ") ? QByteArray("-\r") : QByteArray());
    QCOMPARE(sent.count(QStringLiteral("ID")), 1);
    QCOMPARE(rig.reply(QStringLiteral("ID D 00222")), QStringLiteral("RM"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("222"));
    // While the cycle is alive, squelch answers change nothing.
    QCOMPARE(rig.reply(QStringLiteral("-")), QString());
}

void TestReplyNoise::noisyLineLogsNoPhantoms()
{
    // Five minutes of trunk search in 10 ms turns, as fast as the machine
    // goes: the simulated scanner answers each query, 1 % of the bytes on
    // the way have a bit flipped, and lines shaped like talkgroup replies
    // come in between.
    SessionRig rig;
    ScannerEngine engine;
    qint64 now = 0;
    engine.setClock([&now] { return now; });
    engine.setMode(ScannerEngine::TrunkSearch);
    engine.setTalkgroupDisplayOn(true);
    QList<ScannerEngine::Talkgroup> stream;
    QStringList real;
    for (int i = 0; i < 12; ++i) {
        const QString id = QStringLiteral("%1").arg(1000 + 371 * i, 5, 10, QLatin1Char('0'));
        stream.append({char('F' + i), id}); // "E" would read as no talkgroup
        stream.append(ScannerEngine::Talkgroup{}); // a pause between conversations
        real << id.mid(1);
    }
    engine.setTalkgroups(stream, 12500);
    std::mt19937 random(16);
    auto chance = [&random](int inTenThousand) { return int(random() % 10000) < inTenThousand; };
    auto letter = [&random] { return QChar(char('A' + random() % 26)); };
    // Noise does not repeat itself: look-alikes with letters and digits of
    // their own, and now and then the two seen on a real line.
    const QStringList alike = {QStringLiteral("I##%1#%2"), QStringLiteral("ID%1%1 %2"), QStringLiteral("ID %1 %2")};
    int flipped = 0;
    rig.enterMode(ScannerMode::TrunkSearch);
    QString sent = rig.reply(QStringLiteral("MD09"));
    for (; now < 5 * 60 * 1000; now += PollLoop::kTurnMillis) {
        QByteArray bytes;
        if (now % 10000 == 0)
            bytes += now % 20000 ? "I##C#5151\r" : "IDFG 7171\r";
        for (const QString &line : sent.isEmpty() ? QStringList() : engine.handle(sent)) {
            if (chance(100)) { // one reply in a hundred has a look-alike before it
                const QString odd = alike.at(int(random() % alike.size())).arg(letter()).arg(random() % 100000);
                bytes += odd.toLatin1() + '\r';
            }
            bytes += line.toLatin1() + '\r';
        }
        for (char &c : bytes) {
            if (chance(100)) {
                c = char(c ^ (1 << (random() % 8)));
                ++flipped;
            }
        }
        sent = rig.turnWith(bytes);
    }
    QVERIFY(flipped > 1000);
    while (rig.parts.log.queued() > 0)
        QVERIFY(rig.parts.log.flush());

    // Every talkgroup logged is one the scanner sent, and every one it sent
    // is logged: in TALKGROUPS once, and once in the activity for each of
    // its conversations.
    QSqlQuery q(rig.parts.lookupsDb.database());
    QVERIFY(q.exec(QStringLiteral("SELECT ID FROM TALKGROUPS ORDER BY ID")));
    QStringList talkgroups;
    while (q.next())
        talkgroups << q.value(0).toString();
    QStringList expected = real;
    expected.sort();
    QCOMPARE(talkgroups.join(QLatin1Char(' ')), expected.join(QLatin1Char(' ')));
    QVERIFY(q.exec(QStringLiteral("SELECT ID, count(*) FROM TALKGROUP_ACTIVITY GROUP BY ID ORDER BY ID")));
    QStringList activity;
    while (q.next())
        activity << QStringLiteral("%1:%2").arg(q.value(0).toString()).arg(q.value(1).toInt());
    QStringList once;
    for (const QString &id : expected)
        once << id + QStringLiteral(":1");
    QCOMPARE(activity, once);
}

QTEST_GUILESS_MAIN(TestReplyNoise)
#include "tst_replynoise.moc"
