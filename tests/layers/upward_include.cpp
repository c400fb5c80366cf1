// Built only by the layering test, which expects it NOT to compile: the link
// layer reaching up into the scanner layer.
#include "scanner/PollLoop.h"
