#include "link/Protocol.h"

namespace Protocol {

QByteArray frame(const QString &command)
{
    QByteArray bytes = command.toLatin1();
    bytes.append(kTerminator);
    return bytes;
}

QString decode(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QString digitKey(QChar digit)
{
    return QStringLiteral("KEY02 ") + digit;
}

} // namespace Protocol
