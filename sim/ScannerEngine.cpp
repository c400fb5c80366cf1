#include "sim/ScannerEngine.h"

#include "protocol/ChannelReply.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <memory>

namespace {

const QString kOk = QStringLiteral("OK");
const QString kNg = QStringLiteral("NG");

std::function<qint64()> monotonicClock()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed(); };
}

// Band edges (100 Hz units) and steps the built-in plan draws from.
struct Band
{
    int base;
    int step;
};
const Band kBands[] = {
    {1544150, 150},   // VHF public safety
    {4531250, 125},   // UHF
    {8515125, 125},   // 800 MHz trunking
    {1213000, 250},   // air band
    {1624000, 250},   // weather
};

} // namespace

ScannerEngine::ScannerEngine()
    : m_clock(monotonicClock())
{
    loadBuiltInPlan();
    m_talkgroups = {
        {'A', QStringLiteral("00123")}, {'A', QStringLiteral("01234")}, {'C', QStringLiteral("12345")},
        {0, QString()},                 {'C', QStringLiteral("00012")}, {'L', QStringLiteral("04711")},
        {'L', QStringLiteral("00123")}, {'T', QStringLiteral("65535")}, {'B', QStringLiteral("00777")},
    };
}

void ScannerEngine::loadBuiltInPlan()
{
    for (int n = 1; n <= kChannels; ++n) {
        SimChannel c;
        if (n % 7 != 0) {
            const Band &band = kBands[(n - 1) % 5];
            c.freq = band.base + ((n * 37) % 97) * band.step;
            c.delay = n % 3 == 0;
            c.lockout = n % 11 == 0;
            c.priority = n % 50 == 1;
            c.trunked = n > 900;
        }
        m_channels[n - 1] = c;
    }
}

bool ScannerEngine::loadPlan(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = file.errorString();
        return false;
    }
    std::array<SimChannel, kChannels> channels{};
    QTextStream in(&file);
    int lineNo = 0;
    while (!in.atEnd()) {
        ++lineNo;
        QString line = in.readLine();
        line = line.left(line.indexOf(QLatin1Char('#'))).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList parts = line.split(QRegularExpression(QStringLiteral("\\s+")));
        bool ok = false;
        const int n = parts.value(0).toInt(&ok);
        SimChannel c;
        if (!ok || n < 1 || n > kChannels || parts.size() < 2
            || !(parseFrequency(parts[1], &c.freq) || parts[1].toDouble() == 0.0)) {
            *error = QStringLiteral("%1:%2: expected \"<channel> <MHz> [T] [D] [L] [P]\"").arg(path).arg(lineNo);
            return false;
        }
        for (const QString &flag : parts.mid(2)) {
            if (flag == QLatin1String("T")) c.trunked = true;
            else if (flag == QLatin1String("D")) c.delay = true;
            else if (flag == QLatin1String("L")) c.lockout = true;
            else if (flag == QLatin1String("P")) c.priority = true;
        }
        channels[n - 1] = c;
    }
    m_channels = channels;
    return true;
}

bool ScannerEngine::savePlan(const QString &path, QString *error) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate)) {
        *error = file.errorString();
        return false;
    }
    QTextStream out(&file);
    for (int n = 1; n <= kChannels; ++n) {
        const SimChannel &c = m_channels[n - 1];
        out << n << ' ' << (c.isEmpty() ? QStringLiteral("0") : frequencyText(c.freq));
        if (c.trunked) out << " T";
        if (c.delay) out << " D";
        if (c.lockout) out << " L";
        if (c.priority) out << " P";
        out << '\n';
    }
    return true;
}

void ScannerEngine::setSquelchTiming(int openMs, int closedMs)
{
    m_openMs = qMax(1, openMs);
    m_closedMs = qMax(1, closedMs);
}

void ScannerEngine::setTalkgroups(const QList<Talkgroup> &stream, int holdMs)
{
    m_talkgroups = stream;
    m_talkgroupMs = qMax(1, holdMs);
}

bool ScannerEngine::squelchOpen()
{
    updateScan();
    if (m_mode != Scan && m_mode != Manual)
        return false;
    if (m_channels[m_current - 1].isEmpty())
        return false;
    if (m_forcedSquelch >= 0)
        return m_forcedSquelch == 1;
    const qint64 period = m_openMs + m_closedMs;
    return m_clock() % period >= m_closedMs;
}

void ScannerEngine::updateScan()
{
    // In scan mode the scanner stops on the next active channel each time the
    // squelch opens anew.
    const qint64 cycle = m_clock() / (m_openMs + m_closedMs);
    if (cycle == m_lastCycle)
        return;
    m_lastCycle = cycle;
    if (m_mode != Scan)
        return;
    for (int step = 1; step <= kChannels; ++step) {
        const int n = (m_current - 1 + step) % kChannels + 1;
        const SimChannel &c = m_channels[n - 1];
        if (!c.isEmpty() && !c.lockout) {
            m_current = n;
            return;
        }
    }
}

ScannerEngine::Talkgroup ScannerEngine::currentTalkgroup()
{
    if (m_talkgroups.isEmpty() || (m_mode != TrunkSearch && m_mode != TrunkScan))
        return {};
    return m_talkgroups.at(int((m_clock() / m_talkgroupMs) % m_talkgroups.size()));
}

QString ScannerEngine::frequencyText(int freq)
{
    return QStringLiteral("%1.%2").arg(freq / 10000).arg(freq % 10000, 4, 10, QLatin1Char('0'));
}

bool ScannerEngine::parseFrequency(const QString &text, int *freq)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,4})(?:\\.(\\d{0,4}))?$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return false;
    const int mhz = m.captured(1).toInt();
    const int decimals = m.captured(2).leftJustified(4, QLatin1Char('0')).toInt();
    const int value = mhz * 10000 + decimals;
    if (value < 250000 || value > 13000000) // 25 to 1300 MHz
        return false;
    *freq = value;
    return true;
}

QString ScannerEngine::channelReply(int n, const SimChannel &c)
{
    ChannelReply::Contents contents;
    contents.channel = n;
    contents.freq100Hz = c.freq;
    contents.trunked = c.trunked;
    contents.delay = c.delay;
    contents.lockout = c.lockout;
    contents.priority = c.priority;
    return ChannelReply::encode(contents);
}

QString ScannerEngine::modulationReply() const
{
    if (m_mode == TrunkSearch || m_mode == TrunkScan)
        return QStringLiteral("RM NFM");
    const int f = m_channels[m_current - 1].freq;
    if (f >= 880000 && f < 1080000)
        return QStringLiteral("RM WFM");
    if (f >= 1080000 && f < 1370000)
        return QStringLiteral("RM AM");
    return QStringLiteral("RM NFM");
}

QString ScannerEngine::garbageLine()
{
    std::uniform_int_distribution<int> length(1, 40);
    std::uniform_int_distribution<int> ch(0x20, 0x7e);
    QString line;
    for (int i = length(m_random); i > 0; --i)
        line.append(QChar(ch(m_random)));
    return line;
}

bool ScannerEngine::store(const QString &entry)
{
    int freq = 0;
    if (m_mode != Manual || !parseFrequency(entry, &freq))
        return false;
    m_channels[m_current - 1].freq = freq;
    return true;
}

QStringList ScannerEngine::receive(const QByteArray &bytes)
{
    QStringList replies;
    m_pending.append(bytes);
    for (qsizetype cr = m_pending.indexOf('\r'); cr >= 0; cr = m_pending.indexOf('\r')) {
        const QString command = QString::fromLatin1(m_pending.left(cr));
        m_pending.remove(0, cr + 1);
        replies += handle(command);
    }
    if (m_pending.size() > 256) // never a command: forget it
        m_pending.clear();
    return replies;
}

QStringList ScannerEngine::handle(const QString &command)
{
    m_log.append(command);
    if (m_silentAfter >= 0 && m_log.size() > m_silentAfter)
        return {};

    QString reply = kNg;
    const bool entryKey = command.startsWith(QLatin1String("KEY02 ")) || command == QLatin1String("KEY03")
        || command == QLatin1String("KEY04");
    if (!entryKey && command != QLatin1String("MD") && command != QLatin1String("SQ"))
        m_accessed = false;
    if (entryKey && m_accessed && m_current == m_refuseKeysOn) {
        m_entry.clear();
        return {kNg};
    }
    static const QRegularExpression digitKey(QStringLiteral("^KEY02 (\\d)$"));
    static const QRegularExpression memoryAccess(QStringLiteral("^MA(\\d{3,4})$"));
    QRegularExpressionMatch m;

    if (command == QLatin1String("MD")) {
        updateScan();
        reply = QStringLiteral("MD%1").arg(m_mode, 2, 10, QLatin1Char('0'));
    } else if (command == QLatin1String("SQ")) {
        reply = squelchOpen() ? QStringLiteral("+") : QStringLiteral("-");
    } else if (command == QLatin1String("MA")) {
        updateScan();
        SimChannel c = m_channels[m_current - 1];
        if (m_mode == Search)
            c.freq = 1300000 + int((m_clock() / 100) % 400) * 125;
        reply = channelReply(m_current, c);
    } else if ((m = memoryAccess.match(command)).hasMatch()) {
        const int n = m.captured(1).toInt();
        if (n >= 1 && n <= kChannels) {
            m_current = n;
            m_mode = Manual;
            m_entry.clear();
            m_accessed = true;
            if (m_silentOnAccess)
                return {};
            reply = channelReply(n, m_channels[n - 1]);
        }
    } else if (command == QLatin1String("ID")) {
        if (!m_idDisplay) {
            reply = QStringLiteral("IDF");
        } else {
            const Talkgroup tg = currentTalkgroup();
            reply = tg.bank ? QStringLiteral("ID %1 %2").arg(QLatin1Char(tg.bank)).arg(tg.id) : QStringLiteral("ID ERR");
        }
    } else if (command == QLatin1String("IDN") || command == QLatin1String("IDF")) {
        m_idDisplay = command == QLatin1String("IDN");
        reply = kOk;
    } else if (command == QLatin1String("RM")) {
        reply = modulationReply();
    } else if (command == QLatin1String("MUA") || command == QLatin1String("MUN") || command == QLatin1String("MUF")) {
        reply = kOk;
    } else if (command == QLatin1String("AC")) {
        m_channels.fill(SimChannel{});
        m_current = 1;
        m_mode = Scan;
        reply = kOk;
    } else if ((m = digitKey.match(command)).hasMatch()) {
        if (m_entry.size() < 9) {
            m_entry.append(m.captured(1));
            reply = kOk;
        }
    } else if (command == QLatin1String("KEY03")) {
        if (m_entry.size() < 9 && !m_entry.contains(QLatin1Char('.'))) {
            m_entry.append(QLatin1Char('.'));
            reply = kOk;
        }
    } else if (command == QLatin1String("KEY04")) {
        // E: store the frequency typed in on the current channel.
        const QString entry = m_entry;
        m_entry.clear();
        if (entry.isEmpty() || (m_accessed && m_current == m_ignoreTypingOn) || store(entry))
            reply = kOk;
    } else if (command == QLatin1String("KEY01")) {
        const QString entry = m_entry;
        m_entry.clear();
        if (entry.isEmpty()) {
            if (m_mode == Manual)
                m_current = m_current % kChannels + 1; // MAN in manual steps up one channel
            m_mode = Manual;
            reply = kOk;
        } else if (!entry.contains(QLatin1Char('.')) && entry.toInt() >= 1 && entry.toInt() <= kChannels) {
            m_current = entry.toInt();
            m_mode = Manual;
            reply = kOk;
        }
    } else if (command == QLatin1String("KEY00")) {
        m_entry.clear();
        m_mode = Scan;
        reply = kOk;
    } else if (command == QLatin1String("KEY09")) {
        m_entry.clear();
        m_mode = Search;
        reply = kOk;
    } else if (command == QLatin1String("KEY13")) {
        m_entry.clear();
        m_mode = m_mode == TrunkSearch ? TrunkScan : TrunkSearch;
        reply = kOk;
    } else if (command == QLatin1String("KEY14")) {
        m_shift = !m_shift;
        reply = kOk;
    } else if (command == QLatin1String("KEY05") || command == QLatin1String("KEY06")
               || command == QLatin1String("KEY12")) {
        // Priority, lock-out and delay toggle on the current channel in manual mode.
        if (m_mode == Manual) {
            SimChannel &c = m_channels[m_current - 1];
            if (command.endsWith(QLatin1String("05"))) c.priority = !c.priority;
            else if (command.endsWith(QLatin1String("06"))) c.lockout = !c.lockout;
            else c.delay = !c.delay;
        }
        reply = kOk;
    } else if (command == QLatin1String("KEY07") || command == QLatin1String("KEY08")
               || command == QLatin1String("KEY10") || command == QLatin1String("KEY11")) {
        reply = kOk;
    }

    QStringList replies;
    ++m_replies;
    if (m_garbageEvery > 0 && m_replies % m_garbageEvery == 0)
        replies.append(garbageLine());
    replies.append(reply);
    return replies;
}
