// Line noise and overlong replies: the poll loop keeps its rhythm.

#include "SessionRig.h"

#include <QTest>

class TestReplyNoise : public QObject
{
    Q_OBJECT
private slots:
    void overlongRepliesKeepTheRhythm();
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

QTEST_GUILESS_MAIN(TestReplyNoise)
#include "tst_replynoise.moc"
