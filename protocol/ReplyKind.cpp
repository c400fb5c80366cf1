#include "protocol/ReplyKind.h"

ReplyKind replyKindOf(const QString &line)
{
    if (line.isEmpty())
        return ReplyKind::Empty;
    switch (line.at(0).unicode()) {
    case 'O': return ReplyKind::Acknowledge;
    case '+':
    case '-': return ReplyKind::Squelch;
    case 'C': return ReplyKind::Channel;
    case 'I': return ReplyKind::Talkgroup;
    case 'M': return ReplyKind::Mode;
    case 'N': return ReplyKind::Rejected;
    case 'R': return ReplyKind::Modulation;
    default: return ReplyKind::Unknown;
    }
}
