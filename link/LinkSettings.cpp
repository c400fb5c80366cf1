#include "link/LinkSettings.h"

#include <QRegularExpression>
#include <QSettings>

namespace {

const QString kPortPrompt = QStringLiteral("Enter a COM port 1 thru 4");
const QString kPortTitle = QStringLiteral("Select a COM port");
const QString kPortDefault = QStringLiteral("2");

bool isPortNumber(int n)
{
    return n >= 1 && n <= 4;
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

void LinkSettings::askPortUntilValid(const PromptFn &ask)
{
    static const QRegularExpression whole(QStringLiteral("^\\s*[1-4]\\s*$"));
    for (;;) {
        const QString entry = ask(kPortPrompt, kPortTitle, kPortDefault);
        if (whole.match(entry).hasMatch()) {
            comPort = entry.trimmed().toInt();
            return;
        }
    }
}

void LinkSettings::askSpeed(const PromptFn &ask)
{
    const QString prompt = QStringLiteral("Select a bps rate for COM%1\r\n19200, 9600, 4800, or 2400").arg(comPort);
    QString entry;
    do {
        entry = ask(prompt, QStringLiteral("Select a bps rate"), QStringLiteral("19200"));
    } while (!isValidSpeed(entry));
    comSpeed = entry;
}

void LinkSettings::loadAtStartup(QSettings &store, const PromptFn &ask)
{
    comSpeed.clear();
    QString storedPort = store.value(QLatin1String(kPortKey), QString()).toString();
    if (storedPort.isEmpty())
        storedPort = QStringLiteral("0");
    const int port = leadingNumber(storedPort);
    if (isPortNumber(port)) {
        comPort = port;
        comSpeed = store.value(QLatin1String(kSpeedKey), QStringLiteral("19200")).toString();
    } else {
        askPortUntilValid(ask);
    }
    if (!isValidSpeed(comSpeed))
        askSpeed(ask);
    savePort(store);
    saveSpeed(store);
}

void LinkSettings::askPortFromMenu(const PromptFn &ask)
{
    comPort = leadingNumber(ask(QStringLiteral("Select a COM Port"), QStringLiteral("COM PORT"), QStringLiteral("1")));
    while (!isPortNumber(comPort)) {
        const QString entry = ask(kPortPrompt, kPortTitle, kPortDefault);
        comPort = leadingNumber(entry.left(1));
    }
}

void LinkSettings::savePort(QSettings &store) const
{
    store.setValue(QLatin1String(kPortKey), QString::number(comPort).trimmed());
}

void LinkSettings::saveSpeed(QSettings &store) const
{
    store.setValue(QLatin1String(kSpeedKey), comSpeed.trimmed());
}

QString LinkSettings::deviceFor(QSettings &store, int comPort)
{
    const QString configured =
        store.value(QStringLiteral("%1/Com_Device_%2").arg(QLatin1String(kGroup)).arg(comPort)).toString().trimmed();
    if (!configured.isEmpty())
        return configured;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comPort);
#else
    return QStringLiteral("/dev/ttyS%1").arg(comPort - 1);
#endif
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
