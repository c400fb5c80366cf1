#include "protocol/Commands.h"

namespace Command {

QString key(Key key)
{
    return QStringLiteral("KEY%1").arg(int(key), 2, 10, QLatin1Char('0'));
}

QString digit(QChar digit)
{
    return key(Key::Digit) + QLatin1Char(' ') + digit;
}

QStringList numberKeys(int number)
{
    QStringList keys;
    for (const QChar c : QString::number(number))
        keys << digit(c);
    return keys;
}

QStringList frequencyKeys(const QString &frequency)
{
    QStringList keys;
    for (const QChar c : frequency)
        keys << (c == QLatin1Char('.') ? key(Key::Point) : digit(c));
    return keys;
}

QString mute(MuteSetting setting)
{
    switch (setting) {
    case MuteSetting::Off: return QStringLiteral("MUF");
    case MuteSetting::On: return QStringLiteral("MUN");
    case MuteSetting::Auto: break;
    }
    return QStringLiteral("MUA");
}

QString memoryAccess(int channel)
{
    return QStringLiteral("MA%1").arg(channel, 3, 10, QLatin1Char('0'));
}

} // namespace Command
