// Random and garbage replies, overlong lines and random splits through the
// poll loop: nothing crashes or hangs, and every field shows only texts it may.

#include "SessionRig.h"
#include "scanner/AuxDisplayModel.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

#include <random>

namespace {

class Fuzzer
{
public:
    explicit Fuzzer(quint32 seed)
        : m_random(seed)
    {
    }

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    QByteArray text(int maxLength)
    {
        QByteArray s;
        for (int i = below(maxLength + 1); i > 0; --i) {
            // Mostly printable, now and then any byte at all (never CR: lines
            // are cut by the caller).
            char c = below(20) == 0 ? char(below(256)) : char(0x20 + below(95));
            if (c == '\r')
                c = ' ';
            s.append(c);
        }
        return s;
    }

    // One line that looks like a reply, or does not.
    QByteArray line()
    {
        static const char *const starts[] = {"C", "I", "ID ", "M", "MD0", "MD1", "N", "NG", "R", "RM ",
                                             "O", "+", "-", "IDF", "IDN", "ID E", ""};
        switch (below(10)) {
        case 0:
            return text(5000); // overlong
        case 1:
        case 2:
            return text(40);
        default:
            return QByteArray(starts[below(int(std::size(starts)))]) + text(below(3) == 0 ? 3 : 32);
        }
    }

private:
    std::mt19937 m_random;
};

bool oneOf(const QString &text, std::initializer_list<const char *> allowed)
{
    for (const char *a : allowed) {
        if (text == QLatin1String(a))
            return true;
    }
    return false;
}

QString checkFields(const DisplayModel &d)
{
    using F = DisplayModel;
    static const QRegularExpression marker(QStringLiteral("^ {0,49}_{1,2}[A-T] \\d{1,2} \\d{1,2}$"));
    auto bad = [&d](F::Field f) { return QStringLiteral("%1 = \"%2\"").arg(F::objectNameOf(f), d.text(f)); };

    if (!oneOf(d.text(F::ModMode), {"", "AM", "   NFM", "       WFM"}))
        return bad(F::ModMode);
    if (!oneOf(d.text(F::TRUNKTYPE), {"", "  TRUNK"}))
        return bad(F::TRUNKTYPE);
    if (!oneOf(d.text(F::MUTE), {"MUTE AUTO", "MUTE ON", "MUTE OFF"}))
        return bad(F::MUTE);
    if (!oneOf(d.text(F::PRI), {"", "PRI", "ERR"}))
        return bad(F::PRI);
    if (!oneOf(d.text(F::DELAY), {"", "DELAY", "ERR"}))
        return bad(F::DELAY);
    if (!oneOf(d.text(F::LOCKOUT), {"", "L/O", "ERR"}))
        return bad(F::LOCKOUT);
    if (!d.text(F::ACTIVEBANK).isEmpty() && !marker.match(d.text(F::ACTIVEBANK)).hasMatch())
        return bad(F::ACTIVEBANK);
    if (d.text(F::CHAN).size() > 4)
        return bad(F::CHAN);
    for (F::Field f : {F::BANK, F::BANKNUM, F::CHANLBL, F::MHZ, F::SCAN, F::MANUAL, F::HOLD, F::DATA, F::SEARCH,
                       F::SRCHDN, F::SRCHUP, F::SVC_PUB, F::SVC_POLICE, F::SVC_FIRE_EMG, F::SVC_AIR, F::SVC_WX,
                       F::ALERT}) {
        if (!d.text(f).isEmpty() && d.text(f) != F::designText(f))
            return bad(f);
    }
    for (int f = 0; f < F::FieldCount; ++f) {
        if (d.text(F::Field(f)).contains(QLatin1Char('\r')) || d.text(F::Field(f)).size() > 5000)
            return bad(F::Field(f));
    }
    return {};
}

} // namespace

class TestFuzz : public QObject
{
    Q_OBJECT
private slots:
    void randomReplies();
    void burst();
};

void TestFuzz::randomReplies()
{
    SessionRig rig;
    rig.display().blank(); // as the self-test leaves it
    rig.loop.start();      // the run's own start; turns are driven below
    rig.loop.stop();
    Fuzzer fuzz(20261208);
    const int kLines = 100000;
    int sent = 0;
    QByteArray pending;
    while (sent < kLines) {
        // A random number of lines, delivered in random pieces.
        const int lines = 1 + fuzz.below(4);
        for (int i = 0; i < lines; ++i) {
            pending += fuzz.line();
            pending += fuzz.below(30) == 0 ? "\r\r" : "\r";
        }
        sent += lines;
        while (!pending.isEmpty()) {
            const int piece = 1 + fuzz.below(int(pending.size()));
            rig.port.inject(pending.left(piece));
            pending.remove(0, piece);
            if (fuzz.below(500) == 0)
                rig.aux().setVisible(!rig.aux().isVisible());
            rig.loop.turn();
            const QString problem = checkFields(rig.display());
            if (!problem.isEmpty())
                QFAIL(qPrintable(QStringLiteral("after %1 lines: %2").arg(sent).arg(problem)));
        }
        rig.port.clearWritten();
    }
    // Work off what is left; the buffer never grew beyond its bound.
    for (int i = 0; i < 10000 && !rig.loop.buffer().isEmpty(); ++i)
        rig.loop.turn();
    QVERIFY(rig.loop.buffer().pending().size() <= ReplyBuffer::kMaxPending);
    QVERIFY(rig.loop.turns() > kLines / 2);
}

void TestFuzz::burst()
{
    // 16 MB of garbage in one read (short lines, long ones, stray control
    // bytes), then a good reply: the turns that work it off cost well under a
    // second together, and the display shows the reply after them.
    SessionRig rig;
    rig.enterMode(ScannerMode::Scan);
    std::mt19937 random(4410);
    QByteArray garbage(16 * 1024 * 1024, Qt::Uninitialized);
    for (char &c : garbage) {
        const quint32 r = random();
        c = (r & 63) == 0 ? '\r' : (r & 0x300) == 0 ? char(r >> 16) : char('+' + (r >> 16) % 64);
    }
    QElapsedTimer clock;
    clock.start();
    rig.port.inject(garbage + "\rC053 F01544150 TF DN LF AF PF\r");
    int turns = 0;
    for (; turns < 2 * ReplyBuffer::kMaxPending && rig.text(DisplayModel::CHAN) != QLatin1String("053"); ++turns)
        rig.loop.turn();
    const qint64 ms = clock.elapsed();
    QCOMPARE(rig.text(DisplayModel::CHAN), QStringLiteral("053"));
    QCOMPARE(rig.text(DisplayModel::FREQ), QStringLiteral("154.4150"));
    QVERIFY2(ms < 4000, qPrintable(QStringLiteral("%1 ms for %2 turns").arg(ms).arg(turns)));
    QVERIFY(rig.loop.buffer().size() <= ReplyBuffer::kMaxPending);
    for (int line = 1; line <= 4; ++line)
        QVERIFY(rig.aux().line(line).size() <= ReplyBuffer::kMaxPending);
    QVERIFY(checkFields(rig.display()).isEmpty());
}

QTEST_GUILESS_MAIN(TestFuzz)
#include "tst_fuzz.moc"
