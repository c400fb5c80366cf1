#include "ui/Prompter.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

namespace Prompter {

PromptFn inputBox(QWidget *parent)
{
    QPointer<QWidget> owner(parent);
    return [owner](const QString &prompt, const QString &title, const QString &defaultText) {
        bool ok = false;
        const QString text = QInputDialog::getText(owner, title, prompt, QLineEdit::Normal, defaultText, &ok);
        return ok ? std::optional<QString>(text) : std::nullopt;
    };
}

MessageFn messageBox(QWidget *parent)
{
    QPointer<QWidget> owner(parent);
    return [owner](MessageKind kind, const QString &title, const QString &text) {
        const QString caption = title.isEmpty() ? QStringLiteral("Orvendal") : title;
        switch (kind) {
        case MessageKind::OkCancel:
            return QMessageBox::question(owner, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                         QMessageBox::Ok)
                == QMessageBox::Ok;
        case MessageKind::Warning:
            QMessageBox::warning(owner, caption, text);
            return true;
        case MessageKind::Information:
            break;
        }
        QMessageBox::information(owner, caption, text);
        return true;
    };
}

PendingEditsFn pendingEditsBox(QWidget *parent)
{
    QPointer<QWidget> owner(parent);
    return [owner](const QString &title, const QString &text) {
        const QMessageBox::StandardButton button = QMessageBox::question(
            owner, title, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        switch (button) {
        case QMessageBox::Save: return PendingAnswer::Save;
        case QMessageBox::Discard: return PendingAnswer::Discard;
        default: return PendingAnswer::Cancel;
        }
    };
}

} // namespace Prompter
