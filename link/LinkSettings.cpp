#include "link/LinkSettings.h"

#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <limits>

namespace {

const QString kPortPrompt = QStringLiteral("Enter a COM port 1 thru 4");
const QString kPortTitle = QStringLiteral("Select a COM port");
const QString kPortDefault = QStringLiteral("2");

QString deviceKey(int comPort)
{
    return QStringLiteral("%1/Com_Device_%2").arg(QLatin1String(LinkSettings::kGroup)).arg(comPort);
}

// Writes a value and says whether it reached the file.
bool store(QSettings &settings, const QString &key, const QVariant &value)
{
    settings.setValue(key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace

const QStringList &LinkSettings::speeds()
{
    static const QStringList list{QStringLiteral("19200"), QStringLiteral("9600"), QStringLiteral("4800"),
                                  QStringLiteral("2400")};
    return list;
}

bool LinkSettings::isValidSpeed(const QString &speed)
{
    return speeds().contains(speed);
}

int LinkSettings::leadingNumber(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([-+]?)\\s*(\\d{1,9})"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return 0;
    const int value = m.captured(2).toInt();
    return m.captured(1) == QLatin1String("-") ? -value : value;
}

QString LinkSettings::settingsString() const
{
    return comSpeed + QLatin1Char(',') + comParity + QLatin1Char(',') + comDataBits + QLatin1Char(',') + comStopBits;
}

bool LinkSettings::askPortUntilValid(const PromptFn &ask)
{
    static const QRegularExpression whole(QStringLiteral("^\\s*[1-4]\\s*$"));
    for (;;) {
        const std::optional<QString> entry = ask(kPortPrompt, kPortTitle, kPortDefault);
        if (!entry)
            return false;
        if (whole.match(*entry).hasMatch()) {
            comPort = entry->trimmed().toInt();
            return true;
        }
    }
}

bool LinkSettings::askSpeed(const PromptFn &ask)
{
    const QString prompt = QStringLiteral("Select a bps rate for COM%1\r\n19200, 9600, 4800, or 2400").arg(comPort);
    for (;;) {
        const std::optional<QString> entry = ask(prompt, QStringLiteral("Select a bps rate"), QStringLiteral("19200"));
        if (!entry)
            return false;
        if (isValidSpeed(*entry)) {
            comSpeed = *entry;
            return true;
        }
    }
}

bool LinkSettings::loadAtStartup(QSettings &store, const PromptFn &ask)
{
    comSpeed.clear();
    QString storedPort = store.value(QLatin1String(kPortKey), QString()).toString();
    if (storedPort.isEmpty())
        storedPort = QStringLiteral("0");
    const int port = leadingNumber(storedPort);
    if (!runDevice().isEmpty()) {
        // The stored values where they are valid, else COM1 at 19200.
        comPort = isPortNumber(port) ? port : 1;
        comSpeed = store.value(QLatin1String(kSpeedKey)).toString();
        if (!isValidSpeed(comSpeed))
            comSpeed = speeds().first();
        return true;
    }
    const bool portStored = isPortNumber(port);
    if (portStored) {
        comPort = port;
        comSpeed = store.value(QLatin1String(kSpeedKey), QStringLiteral("19200")).toString();
    } else if (!askPortUntilValid(ask)) {
        comPort = 0;
        return false;
    }
    if (!isValidSpeed(comSpeed) && !askSpeed(ask)) {
        if (!portStored)
            comPort = 0;
        comSpeed.clear();
        return false;
    }
    savePort(store);
    saveSpeed(store);
    return true;
}

bool LinkSettings::askPortFromMenu(const PromptFn &ask)
{
    const std::optional<QString> first =
        ask(QStringLiteral("Select a COM Port"), QStringLiteral("COM PORT"), QStringLiteral("1"));
    if (!first)
        return false;
    int port = leadingNumber(*first);
    while (!isPortNumber(port)) {
        const std::optional<QString> entry = ask(kPortPrompt, kPortTitle, kPortDefault);
        if (!entry)
            return false;
        port = leadingNumber(entry->left(1));
    }
    comPort = port;
    return true;
}

bool LinkSettings::savePort(QSettings &settings) const
{
    return store(settings, QLatin1String(kPortKey), QString::number(comPort).trimmed());
}

bool LinkSettings::saveSpeed(QSettings &settings) const
{
    return store(settings, QLatin1String(kSpeedKey), comSpeed.trimmed());
}

namespace {
QString &runDeviceName()
{
    static QString device;
    return device;
}
} // namespace

void LinkSettings::setRunDevice(const QString &device)
{
    runDeviceName() = device.trimmed();
}

QString LinkSettings::runDevice()
{
    return runDeviceName();
}

QString LinkSettings::deviceFor(QSettings &settings, int comPort)
{
    if (!runDevice().isEmpty())
        return runDevice();
    const QString configured = settings.value(deviceKey(comPort)).toString().trimmed();
    if (!configured.isEmpty())
        return configured;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comPort);
#else
    return QStringLiteral("/dev/ttyS%1").arg(comPort - 1);
#endif
}

bool LinkSettings::setDevice(QSettings &settings, int comPort, const QString &device)
{
    return store(settings, deviceKey(comPort), device.trimmed());
}

bool LinkSettings::overlapTransfers(QSettings &settings)
{
    return settings.value(QLatin1String(kOverlapKey), false).toBool();
}

bool LinkSettings::setOverlapTransfers(QSettings &settings, bool on)
{
    return store(settings, QLatin1String(kOverlapKey), on);
}

int LinkSettings::activityRetentionDays(QSettings &settings, int defaultDays, int maxDays, QString *warning)
{
    const QString text = settings.value(QLatin1String(kRetentionKey)).toString().trimmed();
    if (text.isEmpty())
        return defaultDays;
    static const QRegularExpression whole(QStringLiteral("^([-+]?)0*(\\d+)$"));
    const QRegularExpressionMatch m = whole.match(text);
    if (!m.hasMatch()) {
        *warning = QStringLiteral("%1 \"%2\" is not a number of days; %3 is used")
                       .arg(QLatin1String(kRetentionKey), text)
                       .arg(defaultDays);
        return defaultDays;
    }
    // More digits than any day count: as many as can be.
    qint64 days = m.captured(2).size() > 12 ? std::numeric_limits<qint64>::max() / 2 : m.captured(2).toLongLong();
    if (m.captured(1) == QLatin1String("-"))
        days = -days;
    const int used = int(std::clamp<qint64>(days, 0, maxDays));
    if (used != days)
        *warning = QStringLiteral("%1 %2 is out of range (0 to %3 days); %4 is used")
                       .arg(QLatin1String(kRetentionKey), text)
                       .arg(maxDays)
                       .arg(used);
    return used;
}

QString LinkSettings::openedMessage() const
{
    return QStringLiteral("COMM PORT #%1 OPENED at %2").arg(comPort).arg(settingsString());
}

QString LinkSettings::reopenedMessage() const
{
    return openedMessage() + QStringLiteral("again...");
}

QString LinkSettings::closedMessage() const
{
    return QStringLiteral("COMM PORT #%1 CLOSED at %2").arg(comPort).arg(settingsString());
}

QString LinkSettings::openFailedMessage(const QString &reason) const
{
    return QStringLiteral("COMM PORT #%1 could not be opened: %2").arg(comPort).arg(reason);
}

QString LinkSettings::lostMessage(const QString &reason) const
{
    return QStringLiteral("COMM PORT #%1 LOST: %2 - retrying").arg(comPort).arg(reason);
}

QString LinkSettings::notSetUpMessage()
{
    return QStringLiteral("No serial port is set up - choose one under Port Setup");
}
