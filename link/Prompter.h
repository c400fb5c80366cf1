#pragma once

#include <QString>

#include <functional>

class QWidget;

// An input box: prompt, title and default text in, the entered text out
// ("" when the box is cancelled). Tests answer through their own function.
using PromptFn = std::function<QString(const QString &prompt, const QString &title, const QString &defaultText)>;

// A message box. Returns true for OK (or Yes), false for Cancel or a closed box.
enum class MessageKind { Information, OkCancel, Warning };
using MessageFn = std::function<bool(MessageKind kind, const QString &title, const QString &text)>;

namespace Prompter {

// The input box on screen, parented to the given window.
PromptFn inputBox(QWidget *parent);

// The message box on screen, parented to the given window.
MessageFn messageBox(QWidget *parent);

} // namespace Prompter
