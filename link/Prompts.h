#pragma once

#include <QString>

#include <functional>
#include <optional>

// How the program asks the user something. The windows supply message and
// input boxes; tests answer through functions of their own.

// An input box: prompt, title and default text in, the entered text out; no
// value when the box is cancelled or closed.
using PromptFn =
    std::function<std::optional<QString>(const QString &prompt, const QString &title, const QString &defaultText)>;

// A message box. Returns true for OK (or Yes), false for Cancel or a closed box.
enum class MessageKind { Information, OkCancel, Warning };
using MessageFn = std::function<bool(MessageKind kind, const QString &title, const QString &text)>;

// The question before a window with changes not yet written closes: Save
// writes them, Discard drops them, Cancel keeps the window open with them.
enum class PendingAnswer { Save, Discard, Cancel };
using PendingEditsFn = std::function<PendingAnswer(const QString &title, const QString &text)>;
