#include "ui/EditorNavigation.h"

#include <QKeyEvent>

namespace EditorNavigation {

void next(RecordCursor &cursor, const Beep &beep)
{
    if (!cursor.eof())
        cursor.moveNext();
    if (cursor.eof() && cursor.count() > 0) {
        if (beep)
            beep();
        cursor.moveLast();
    }
}

void previous(RecordCursor &cursor, const Beep &beep)
{
    if (!cursor.bof())
        cursor.movePrevious();
    if (cursor.bof() && cursor.count() > 0) {
        if (beep)
            beep();
        cursor.moveFirst();
    }
}

KeyAction actionFor(const QKeyEvent *event, bool escapeCloses)
{
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const bool ctrlAlone = mods == Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        return escapeCloses ? KeyAction::Close : KeyAction::None;
    case Qt::Key_End:
        return KeyAction::Last;
    case Qt::Key_Home:
        return KeyAction::First;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        return ctrlAlone ? KeyAction::First : KeyAction::Previous;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        return ctrlAlone ? KeyAction::Last : KeyAction::Next;
    default:
        return KeyAction::None;
    }
}

bool apply(KeyAction action, RecordCursor &cursor, const Beep &beep)
{
    switch (action) {
    case KeyAction::First: cursor.moveFirst(); return true;
    case KeyAction::Last: cursor.moveLast(); return true;
    case KeyAction::Next: next(cursor, beep); return true;
    case KeyAction::Previous: previous(cursor, beep); return true;
    case KeyAction::None:
    case KeyAction::Close: break;
    }
    return false;
}

} // namespace EditorNavigation
