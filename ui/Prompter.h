#pragma once

#include "link/Prompts.h"

class QWidget;

// The input and message boxes on screen.
namespace Prompter {

// The input box, parented to the given window.
PromptFn inputBox(QWidget *parent);

// The message box, parented to the given window.
MessageFn messageBox(QWidget *parent);

// The Save / Discard / Cancel box, parented to the given window.
PendingEditsFn pendingEditsBox(QWidget *parent);

} // namespace Prompter
