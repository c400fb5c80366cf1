#pragma once

#include "scanner/Keyboard.h"

class QKeyEvent;

// A key event of the window as the key and character codes the keyboard
// table uses (the numbers of the Windows keyboard).
namespace KeyCodes {

Keyboard::Codes fromEvent(const QKeyEvent *event);

} // namespace KeyCodes
