#include "link/Framing.h"

namespace Framing {

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

} // namespace Framing
