#include "remote/RemoteToken.h"

#include <QRandomGenerator>
#include <QSettings>

namespace RemoteToken {

namespace {

constexpr int kWords = 4; // 4 x 32 bits

QString make()
{
    quint32 words[kWords];
    QRandomGenerator::system()->fillRange(words);
    QString text;
    for (quint32 w : words)
        text += QStringLiteral("%1").arg(w, 8, 16, QLatin1Char('0'));
    return text;
}

} // namespace

bool isWellFormed(const QString &token)
{
    if (token.size() != kWords * 8)
        return false;
    for (QChar c : token) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

QString current(QSettings &store)
{
    const QString stored = store.value(QLatin1String(kKey)).toString();
    if (isWellFormed(stored))
        return stored;
    return renew(store);
}

QString renew(QSettings &store)
{
    const QString token = make();
    store.setValue(QLatin1String(kKey), token);
    store.sync();
    return token;
}

bool matches(const QString &given, const QString &expected)
{
    if (given.size() != expected.size() || expected.isEmpty())
        return false;
    ushort diff = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        diff |= given.at(i).unicode() ^ expected.at(i).unicode();
    return diff == 0;
}

} // namespace RemoteToken
