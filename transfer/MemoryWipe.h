#pragma once

#include "link/Prompts.h"

class CommPort;

// WIPEOUT: resets the scanner to its factory defaults, which erases its
// channel memory, once the user has confirmed it.
namespace MemoryWipe {

// Asks; on OK, and only with the port open, sends the clear command.
// True when the command went out.
bool run(CommPort *port, const MessageFn &ask);

} // namespace MemoryWipe
