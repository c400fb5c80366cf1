// The scanner's language: the commands and the decoding of each reply kind.

#include "data/ChannelRecord.h"
#include "protocol/ChannelReply.h"
#include "protocol/Commands.h"
#include "protocol/ModeReply.h"
#include "protocol/ModulationReply.h"
#include "protocol/ReplyKind.h"
#include "protocol/TalkgroupReply.h"

#include <QTest>

class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void commands();
    void replyKinds();
    void channelReplies();
    void channelReplyRoundTrip();
    void talkgroupReplies();
    void modeAndModulation();
};

void TestProtocol::commands()
{
    using Command::Key;
    QCOMPARE(Command::key(Key::Scan), QStringLiteral("KEY00"));
    QCOMPARE(Command::key(Key::Shift), QStringLiteral("KEY14"));
    QCOMPARE(Command::digit(QLatin1Char('7')), QStringLiteral("KEY02 7"));
    QCOMPARE(Command::numberKeys(1000), QStringList({"KEY02 1", "KEY02 0", "KEY02 0", "KEY02 0"}));
    QCOMPARE(Command::numberKeys(120), QStringList({"KEY02 1", "KEY02 2", "KEY02 0"}));
    QCOMPARE(Command::frequencyKeys(QStringLiteral("154.4150")),
             QStringList({"KEY02 1", "KEY02 5", "KEY02 4", "KEY03", "KEY02 4", "KEY02 1", "KEY02 5", "KEY02 0"}));
    QCOMPARE(Command::memoryAccess(1), QStringLiteral("MA001"));
    QCOMPARE(Command::memoryAccess(53), QStringLiteral("MA053"));
    QCOMPARE(Command::memoryAccess(1000), QStringLiteral("MA1000"));
    QCOMPARE(Command::mute(MuteSetting::Auto), QStringLiteral("MUA"));
    QCOMPARE(Command::mute(MuteSetting::On), QStringLiteral("MUN"));
    QCOMPARE(Command::mute(MuteSetting::Off), QStringLiteral("MUF"));
    // The mute key's cycle: automatic, on, off, automatic.
    QCOMPARE(nextMuteSetting(MuteSetting::Auto), MuteSetting::On);
    QCOMPARE(nextMuteSetting(MuteSetting::On), MuteSetting::Off);
    QCOMPARE(nextMuteSetting(MuteSetting::Off), MuteSetting::Auto);
}

void TestProtocol::replyKinds()
{
    QCOMPARE(replyKindOf(QString()), ReplyKind::Empty);
    QCOMPARE(replyKindOf(QStringLiteral("OK")), ReplyKind::Acknowledge);
    QCOMPARE(replyKindOf(QStringLiteral("+")), ReplyKind::Squelch);
    QCOMPARE(replyKindOf(QStringLiteral("-")), ReplyKind::Squelch);
    QCOMPARE(replyKindOf(QStringLiteral("C053")), ReplyKind::Channel);
    QCOMPARE(replyKindOf(QStringLiteral("IDF")), ReplyKind::Talkgroup);
    QCOMPARE(replyKindOf(QStringLiteral("MD01")), ReplyKind::Mode);
    QCOMPARE(replyKindOf(QStringLiteral("NG")), ReplyKind::Rejected);
    QCOMPARE(replyKindOf(QStringLiteral("RM AM")), ReplyKind::Modulation);
    QCOMPARE(replyKindOf(QStringLiteral("?")), ReplyKind::Unknown);
    QCOMPARE(replyKindOf(QStringLiteral("c053")), ReplyKind::Unknown);
}

void TestProtocol::channelReplies()
{
    ChannelReply r = ChannelReply::decode(QStringLiteral("C000 F12960000 TF DN LF AF PN"));
    QVERIFY(r.wellFormed);
    QCOMPARE(r.channelText, QStringLiteral("1000"));
    QCOMPARE(r.channel(), 1000);
    QCOMPARE(r.frequencyText, QStringLiteral("1296.0000"));
    QCOMPARE(r.trunked, ChannelReply::Flag::Off);
    QCOMPARE(r.delay, ChannelReply::Flag::On);
    QCOMPARE(r.priority, ChannelReply::Flag::On);
    QVERIFY(!r.isEmptyChannel());

    // One leading zero of the frequency is dropped.
    QCOMPARE(ChannelReply::decode(QStringLiteral("C053 F08515125 TN DF LN AF PF")).frequencyText,
             QStringLiteral("851.5125"));
    QCOMPARE(ChannelReply::decode(QStringLiteral("C053 F01544150")).frequencyText, QStringLiteral("154.4150"));

    // A short or damaged line gives what is there, and is not well formed.
    r = ChannelReply::decode(QStringLiteral("C05"));
    QVERIFY(!r.wellFormed);
    QCOMPARE(r.channelText, QStringLiteral("05"));
    QCOMPARE(r.frequencyText, QStringLiteral("."));
    QCOMPARE(r.delay, ChannelReply::Flag::Invalid);
    QCOMPARE(r.channel(), 0);
    QVERIFY(!ChannelReply::decode(QStringLiteral("C1'3 F0154415x TF")).wellFormed);
    QCOMPARE(ChannelReply::decode(QStringLiteral("C120 F11234567 TF DX")).delay, ChannelReply::Flag::Invalid);

    // An empty channel: "000" at 7 to 9.
    QVERIFY(ChannelReply::decode(QStringLiteral("C007 F00000000 TF DF LF AF PF")).isEmptyChannel());
}

void TestProtocol::channelReplyRoundTrip()
{
    // What the simulator writes, the program reads back; the backup's
    // record is built from the same decoding.
    ChannelReply::Contents c;
    c.channel = 1000;
    c.freq100Hz = 1544150;
    c.delay = true;
    c.priority = true;
    const QString line = ChannelReply::encode(c);
    QCOMPARE(line, QStringLiteral("C000 F01544150 TF DN LF AF PN"));
    const ChannelReply r = ChannelReply::decode(line);
    QCOMPARE(r.channel(), 1000);
    QCOMPARE(r.frequencyText, QStringLiteral("154.4150"));

    const std::optional<ChannelRecord> record = ChannelRecord::fromReply(line, 1000);
    QVERIFY(record);
    QCOMPARE(record->sFreq, QStringLiteral("154.4150"));
    QCOMPARE(record->frequency, 154.415);
    QVERIFY(record->delay && record->priority && !record->trunked && !record->lockout);
    // Another channel's reply, or a damaged one, is no record of this channel.
    QVERIFY(!ChannelRecord::fromReply(line, 53));
    QVERIFY(!ChannelRecord::fromReply(QStringLiteral("C000 F0154"), 1000));
    // An empty channel is locked out and has no frequency.
    c.freq100Hz = 0;
    const std::optional<ChannelRecord> empty = ChannelRecord::fromReply(ChannelReply::encode(c), 1000);
    QVERIFY(empty);
    QCOMPARE(empty->sFreq, ChannelRecord::kEmpty);
    QVERIFY(empty->lockout && !empty->priority);
}

void TestProtocol::talkgroupReplies()
{
    QCOMPARE(TalkgroupReply::decode(QStringLiteral("IDF")).kind, TalkgroupReply::Kind::DisplayOff);
    QCOMPARE(TalkgroupReply::decode(QStringLiteral("IDN")).kind, TalkgroupReply::Kind::DisplayOn);
    QCOMPARE(TalkgroupReply::decode(QStringLiteral("ID ERR")).kind, TalkgroupReply::Kind::NoTalkgroup);
    const struct
    {
        const char *line;
        const char *id;
    } ids[] = {{"ID C 00123", "123"}, {"ID C 01234", "1234"}, {"ID C 12345", "12345"}, {"ID C 00012", "012"}};
    for (const auto &c : ids) {
        const TalkgroupReply r = TalkgroupReply::decode(QLatin1String(c.line));
        QCOMPARE(r.kind, TalkgroupReply::Kind::Talkgroup);
        QCOMPARE(r.id, QLatin1String(c.id));
        QCOMPARE(r.bank, 3);
    }
    QCOMPARE(TalkgroupReply::decode(QStringLiteral("ID T 7")).bank, 20);
    for (const char *odd : {"ID c 00999", "ID U 00999", "ID", "I", "ID 5 00999", "I##C#5151", "IXE", "IXF"})
        QCOMPARE(TalkgroupReply::decode(QLatin1String(odd)).kind, TalkgroupReply::Kind::Unrecognised);
}

void TestProtocol::modeAndModulation()
{
    QCOMPARE(ModeReply::decode(QStringLiteral("MD00")), ScannerMode::Scan);
    QCOMPARE(ModeReply::decode(QStringLiteral("MD01")), ScannerMode::Manual);
    QCOMPARE(ModeReply::decode(QStringLiteral("MD02")), ScannerMode::Search);
    QCOMPARE(ModeReply::decode(QStringLiteral("MD09")), ScannerMode::TrunkSearch);
    QCOMPARE(ModeReply::decode(QStringLiteral("MD11 extra")), ScannerMode::TrunkScan);
    QVERIFY(!ModeReply::decode(QStringLiteral("MD55")));
    QVERIFY(!ModeReply::decode(QStringLiteral("MD0")));
    QCOMPARE(modeName(ScannerMode::TrunkSearch), QStringLiteral("TRNKSRCH"));

    QCOMPARE(ModulationReply::decode(QStringLiteral("RM NFM")), Modulation::NFM);
    QVERIFY(!ModulationReply::decode(QStringLiteral("RM FM")));
    QVERIFY(!ModulationReply::decode(QStringLiteral("RM AM ")));
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
