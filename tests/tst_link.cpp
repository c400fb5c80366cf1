// Link settings, their prompts and store, status texts, framing and line cutting.

#include "FakeCommPort.h"
#include "TestSupport.h"
#include "link/LinkSettings.h"
#include "link/Framing.h"
#include "link/ReplyBuffer.h"

#include <QTest>

#include <random>

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void noStoredSettingsAsksPortThenSpeed();
    void storedSettingsAreUsedWithoutPrompt();
    void invalidStoredValuesAreAskedFor();
    void invalidEntriesAreAskedAgain();
    void menuPortReadsFirstCharacterOnRetry();
    void statusTexts();
    void deviceNames();
    void deviceForThisRunOnly();
    void framing();
    void lineCutting();
    void bufferStaysBounded();
    void bufferCutsAsAPlainStringWould();
    void settingsParsing();
};

void TestLink::noStoredSettingsAsksPortThenSpeed()
{
    TempSettings store;
    ScriptedPrompt prompt{{QStringLiteral(" 3 "), QStringLiteral("9600")}};
    LinkSettings link;
    link.loadAtStartup(*store, prompt.fn());

    QCOMPARE(prompt.asked,
             QStringList({QStringLiteral("Enter a COM port 1 thru 4"),
                          QStringLiteral("Select a bps rate for COM3\r\n19200, 9600, 4800, or 2400")}));
    QCOMPARE(prompt.titles, QStringList({QStringLiteral("Select a COM port"), QStringLiteral("Select a bps rate")}));
    QCOMPARE(prompt.defaults, QStringList({QStringLiteral("2"), QStringLiteral("19200")}));
    QCOMPARE(link.comPort, 3);
    QCOMPARE(store->value("Config/Com_Port").toString(), QStringLiteral("3"));
    QCOMPARE(store->value("Config/Com_Speed").toString(), QStringLiteral("9600"));
    QCOMPARE(link.settingsString(), QStringLiteral("9600,N,8,1"));
}

void TestLink::storedSettingsAreUsedWithoutPrompt()
{
    TempSettings store;
    store->setValue("Config/Com_Port", "3");
    store->setValue("Config/Com_Speed", "4800");
    ScriptedPrompt prompt;
    LinkSettings link;
    link.loadAtStartup(*store, prompt.fn());
    QVERIFY(prompt.asked.isEmpty());
    QCOMPARE(link.settingsString(), QStringLiteral("4800,N,8,1"));
    QCOMPARE(link.openedMessage(), QStringLiteral("COMM PORT #3 OPENED at 4800,N,8,1"));

    // A stored port without a speed takes the default speed.
    TempSettings portOnly;
    portOnly->setValue("Config/Com_Port", "2");
    LinkSettings link2;
    link2.loadAtStartup(*portOnly, prompt.fn());
    QVERIFY(prompt.asked.isEmpty());
    QCOMPARE(link2.comSpeed, QStringLiteral("19200"));
    QCOMPARE(portOnly->value("Config/Com_Speed").toString(), QStringLiteral("19200"));
}

void TestLink::invalidStoredValuesAreAskedFor()
{
    {
        // A speed with a trailing blank is not one of the four speeds.
        TempSettings store;
        store->setValue("Config/Com_Port", "2");
        store->setValue("Config/Com_Speed", "9600 ");
        ScriptedPrompt prompt{{QStringLiteral("2400")}};
        LinkSettings link;
        link.loadAtStartup(*store, prompt.fn());
        QCOMPARE(prompt.asked.size(), 1);
        QCOMPARE(prompt.titles.first(), QStringLiteral("Select a bps rate"));
        QCOMPARE(link.comSpeed, QStringLiteral("2400"));
    }
    {
        // Port 7 is out of range: the port prompt, then (speed not read) the speed prompt.
        TempSettings store;
        store->setValue("Config/Com_Port", "7");
        store->setValue("Config/Com_Speed", "4800");
        ScriptedPrompt prompt{{QStringLiteral("1"), QStringLiteral("19200")}};
        LinkSettings link;
        link.loadAtStartup(*store, prompt.fn());
        QCOMPARE(prompt.titles, QStringList({QStringLiteral("Select a COM port"), QStringLiteral("Select a bps rate")}));
        QCOMPARE(link.comPort, 1);
        QCOMPARE(store->value("Config/Com_Port").toString(), QStringLiteral("1"));
    }
}

void TestLink::invalidEntriesAreAskedAgain()
{
    TempSettings store;
    ScriptedPrompt prompt{{QString(), QStringLiteral("abc"), QStringLiteral("-1"), QStringLiteral("5"),
                           QStringLiteral("2.5"), QStringLiteral("4"), QString(), QStringLiteral("9600 "),
                           QStringLiteral("960"), QStringLiteral("4800")}};
    LinkSettings link;
    link.loadAtStartup(*store, prompt.fn());
    QCOMPARE(link.comPort, 4);
    QCOMPARE(link.comSpeed, QStringLiteral("4800"));
    QCOMPARE(prompt.asked.size(), 10);
}

void TestLink::menuPortReadsFirstCharacterOnRetry()
{
    ScriptedPrompt prompt{{QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("abc"), QStringLiteral("34")}};
    LinkSettings link;
    link.askPortFromMenu(prompt.fn());
    QCOMPARE(link.comPort, 3);
    QCOMPARE(prompt.asked.first(), QStringLiteral("Select a COM Port"));
    QCOMPARE(prompt.titles.first(), QStringLiteral("COM PORT"));
    QCOMPARE(prompt.defaults.first(), QStringLiteral("1"));
    QCOMPARE(prompt.asked.mid(1), QStringList(3, QStringLiteral("Enter a COM port 1 thru 4")));

    // A valid first answer is taken whole.
    ScriptedPrompt direct{{QStringLiteral("2")}};
    link.askPortFromMenu(direct.fn());
    QCOMPARE(link.comPort, 2);
    QCOMPARE(direct.asked.size(), 1);
}

void TestLink::statusTexts()
{
    LinkSettings link;
    link.comPort = 2;
    link.comSpeed = QStringLiteral("9600");
    QCOMPARE(link.openedMessage(), QStringLiteral("COMM PORT #2 OPENED at 9600,N,8,1"));
    QCOMPARE(link.reopenedMessage(), QStringLiteral("COMM PORT #2 OPENED at 9600,N,8,1again..."));
    QCOMPARE(link.closedMessage(), QStringLiteral("COMM PORT #2 CLOSED at 9600,N,8,1"));
    QCOMPARE(link.openFailedMessage(QStringLiteral("No such file")),
             QStringLiteral("COMM PORT #2 could not be opened: No such file"));
}

void TestLink::deviceNames()
{
    TempSettings store;
    store->setValue("Config/Com_Device_2", "/tmp/scanner");
    QCOMPARE(LinkSettings::deviceFor(*store, 2), QStringLiteral("/tmp/scanner"));
    QCOMPARE(LinkSettings::deviceFor(*store, 3), QStringLiteral("/dev/ttyS2"));

    FakeCommPort port;
    port.setDeviceResolver([&store](int n) { return LinkSettings::deviceFor(*store, n); });
    port.setCommPort(2);
    port.setSettings(QStringLiteral("19200,N,8,1"));
    QVERIFY(port.open());
    QCOMPARE(port.openedDevice(), QStringLiteral("/tmp/scanner"));
    QCOMPARE(port.appliedSettings(), QStringLiteral("19200,N,8,1"));
}

void TestLink::framing()
{
    QCOMPARE(Framing::frame(QStringLiteral("MD")), QByteArray("MD\r"));
    QCOMPARE(Framing::frame(QStringLiteral("MD")).size(), 3);

    FakeCommPort port;
    port.send(QStringLiteral("MD")); // closed: nothing is written
    QVERIFY(port.written().isEmpty());
    QVERIFY(port.open());
    port.send(QStringLiteral("KEY02 7"));
    QCOMPARE(port.written(), QByteArray("KEY02 7\r"));
    QCOMPARE(port.bytesWritten(), 8);
}

void TestLink::lineCutting()
{
    ReplyBuffer buffer;
    QString line;

    // Two replies in one read: one line per cut.
    buffer.append(QByteArray("MD00\r+\r"));
    QCOMPARE(buffer.cut(&line), ReplyBuffer::Cut::Line);
    QCOMPARE(line, QStringLiteral("MD00"));
    QCOMPARE(buffer.cut(&line), ReplyBuffer::Cut::Line);
    QCOMPARE(line, QStringLiteral("+"));
    QCOMPARE(buffer.cut(&line), ReplyBuffer::Cut::NoLine);

    // A reply split over two reads is a line only once its CR arrives.
    buffer.append(QByteArray("C053 F0154"));
    QCOMPARE(buffer.cut(&line), ReplyBuffer::Cut::NoLine);
    QCOMPARE(buffer.pending(), QStringLiteral("C053 F0154"));
    buffer.append(QByteArray("4150\rO"));
    QCOMPARE(buffer.cut(&line), ReplyBuffer::Cut::Line);
    QCOMPARE(line, QStringLiteral("C053 F01544150"));
    QCOMPARE(buffer.pending(), QStringLiteral("O"));

    // An empty line removes just its CR.
    buffer.clear();
    buffer.append(QByteArray("\rOK\r"));
    QCOMPARE(buffer.cut(&line), ReplyBuffer::Cut::EmptyLine);
    QCOMPARE(buffer.pending(), QStringLiteral("OK\r"));

    // takeLine skips empty lines.
    buffer.clear();
    buffer.append(QByteArray("\r\r\rC001\r"));
    QVERIFY(buffer.takeLine(&line));
    QCOMPARE(line, QStringLiteral("C001"));
    QVERIFY(!buffer.takeLine(&line));
}

void TestLink::bufferStaysBounded()
{
    ReplyBuffer buffer;
    QString line;
    // A flood without any line end.
    for (int i = 0; i < 100; ++i)
        buffer.append(QByteArray(1000, 'x'));
    QVERIFY(buffer.pending().size() <= ReplyBuffer::kMaxPending);
    // After the flood, a proper line is still found whole.
    buffer.append(QByteArray("\rMD01\r"));
    while (buffer.cut(&line) == ReplyBuffer::Cut::Line && line != QLatin1String("MD01")) {
    }
    QCOMPARE(line, QStringLiteral("MD01"));

    // An overlong line keeps its head, so it is still known by its first
    // characters, and the line after it is intact.
    buffer.clear();
    buffer.append("ID C 0" + QByteArray(3000, '5'));
    buffer.append(QByteArray(3000, '5') + "\rRM AM\r");
    QVERIFY(buffer.cut(&line) == ReplyBuffer::Cut::Line);
    QCOMPARE(line.size(), ReplyBuffer::kMaxLine);
    QVERIFY(line.startsWith(QLatin1String("ID C 0555")));
    QVERIFY(buffer.cut(&line) == ReplyBuffer::Cut::Line);
    QCOMPARE(line, QStringLiteral("RM AM"));
    QVERIFY(buffer.isEmpty());

    // A flood of short lines keeps the newest lines intact.
    buffer.clear();
    for (int i = 0; i < 5000; ++i)
        buffer.append(QByteArray("O\r"));
    buffer.append(QByteArray("MD09\r"));
    QVERIFY(buffer.pending().size() <= ReplyBuffer::kMaxPending);
    QVERIFY(buffer.pending().startsWith(QLatin1String("O\r")));
    QVERIFY(buffer.pending().endsWith(QLatin1String("MD09\r")));
}

void TestLink::bufferCutsAsAPlainStringWould()
{
    // The buffer keeps a read offset and drops old text now and then; what it
    // hands out must be what plain string handling gives: each line's head,
    // the newest whole lines past the bound.
    QString plain;
    bool dropping = false;
    const auto plainAppend = [&](QString text) {
        if (dropping) {
            const qsizetype end = text.indexOf(QLatin1Char('\r'));
            if (end < 0)
                return;
            dropping = false;
            text.remove(0, end);
        }
        QStringList lines = (plain + text).split(QLatin1Char('\r'));
        if (lines.last().size() > ReplyBuffer::kMaxLine)
            dropping = true;
        for (QString &line : lines)
            line.truncate(ReplyBuffer::kMaxLine);
        plain = lines.join(QLatin1Char('\r'));
        while (plain.size() > ReplyBuffer::kMaxPending && plain.contains(QLatin1Char('\r')))
            plain.remove(0, plain.indexOf(QLatin1Char('\r')) + 1);
    };
    ReplyBuffer buffer;
    std::mt19937 random(16);
    for (int step = 0; step < 20000; ++step) {
        if (random() % 3) {
            // Pieces up to 20 kB with lines of any length.
            QString piece(int(random() % (random() % 8 ? 40 : random() % 16 ? 3000 : 20000)), QLatin1Char(' '));
            const quint32 crEvery = random() % 4 ? 12 : 400;
            for (QChar &c : piece)
                c = random() % crEvery ? QChar(char16_t('0' + random() % 40)) : QLatin1Char('\r');
            buffer.append(piece);
            plainAppend(piece);
        } else {
            QString line;
            const qsizetype end = plain.indexOf(QLatin1Char('\r'));
            const ReplyBuffer::Cut cut = buffer.cut(&line);
            QCOMPARE(cut, end < 0 ? ReplyBuffer::Cut::NoLine : end == 0 ? ReplyBuffer::Cut::EmptyLine : ReplyBuffer::Cut::Line);
            if (cut == ReplyBuffer::Cut::Line)
                QCOMPARE(line, plain.left(end));
            if (end >= 0)
                plain.remove(0, end + 1);
        }
        QCOMPARE(buffer.pending(), plain);
    }
}

void TestLink::settingsParsing()
{
    SerialSettings s;
    QVERIFY(SerialSettings::parse(QStringLiteral("2400,N,8,1"), &s));
    QCOMPARE(s.baud, 2400);
    QCOMPARE(s.parity, 'N');
    QVERIFY(!SerialSettings::parse(QStringLiteral("9600 ,N,8"), &s));
    QVERIFY(!SerialSettings::parse(QStringLiteral(",N,8,1"), &s));

    FakeCommPort port;
    port.setSettings(QStringLiteral("fast,N,8,1"));
    QVERIFY(!port.open());
    QVERIFY(!port.isOpen());
    QVERIFY(!port.errorString().isEmpty());
}

void TestLink::deviceForThisRunOnly()
{
    // A device given on the command line: no questions, nothing stored, and
    // it stands for every port number.
    TempSettings store;
    store->setValue("Config/Com_Device_2", "/dev/stored");
    LinkSettings::setRunDevice(QStringLiteral("socket://attic:3001"));
    ScriptedPrompt prompt;
    LinkSettings link;
    QVERIFY(link.loadAtStartup(*store, prompt.fn()));
    QVERIFY(prompt.asked.isEmpty());
    QCOMPARE(link.settingsString(), QStringLiteral("19200,N,8,1"));
    QCOMPARE(link.comPort, 1);
    QCOMPARE(LinkSettings::deviceFor(*store, 2), QStringLiteral("socket://attic:3001"));
    QVERIFY(!store->contains("Config/Com_Port"));
    // Stored values are used where they are valid.
    store->setValue("Config/Com_Port", "3");
    store->setValue("Config/Com_Speed", "4800");
    QVERIFY(link.loadAtStartup(*store, prompt.fn()));
    QCOMPARE(link.comPort, 3);
    QCOMPARE(link.comSpeed, QStringLiteral("4800"));
    LinkSettings::setRunDevice(QString());
    QCOMPARE(LinkSettings::deviceFor(*store, 2), QStringLiteral("/dev/stored"));
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
