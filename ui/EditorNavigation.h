#pragma once

#include "data/RecordCursor.h"

#include <functional>

class QKeyEvent;

// What the grid editors share: Next and Previous that beep at either end and
// stay on the last or first row, and the keys that move through the records.
namespace EditorNavigation {

using Beep = std::function<void()>;

// Next: past the end of a non-empty set it beeps and returns to the last row.
void next(RecordCursor &cursor, const Beep &beep);
// Previous: before the start it beeps and returns to the first row.
void previous(RecordCursor &cursor, const Beep &beep);

enum class KeyAction { None, Close, First, Last, Next, Previous };
// End, Home, Up, Down, Page Up and Page Down (with Ctrl alone: to the first
// or last row); Escape closes where the editor allows it.
KeyAction actionFor(const QKeyEvent *event, bool escapeCloses);

// Carries out a move action on the cursor; false for None and Close.
bool apply(KeyAction action, RecordCursor &cursor, const Beep &beep);

} // namespace EditorNavigation
