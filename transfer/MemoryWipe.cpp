#include "transfer/MemoryWipe.h"

#include "link/CommPort.h"
#include "protocol/Commands.h"

namespace MemoryWipe {

bool run(CommPort *port, const MessageFn &ask)
{
    const bool ok = ask
        && ask(MessageKind::OkCancel, QStringLiteral("WIPE OUT SCANNER MEMORY?"),
               QStringLiteral("Are you ABSOLUTELY SURE\r\nthat you want to restore the scanner to\r\nFACTORY DEFAULTS?"));
    if (!ok || !port->isOpen())
        return false;
    port->send(Command::kClearMemory);
    return true;
}

} // namespace MemoryWipe
