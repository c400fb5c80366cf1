#include "ui/AccessibleNames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabBar>
#include <QTextEdit>

namespace {

QString plain(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    text.replace(QLatin1String("&&"), QLatin1String("&"));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

// The label that names a field: its buddy, or the one before it in a form.
QString labelFor(QWidget *control)
{
    QWidget *window = control->window();
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->buddy() == control)
            return plain(label->text());
    }
    for (QWidget *w = control; w && w != window; w = w->parentWidget()) {
        QWidget *parent = w->parentWidget();
        auto *form = parent ? qobject_cast<QFormLayout *>(parent->layout()) : nullptr;
        if (!form)
            continue;
        if (auto *label = qobject_cast<QLabel *>(form->labelForField(w)))
            return plain(label->text());
    }
    return {};
}

// The label just before the control in a row of its layout.
QString labelBefore(QLayout *layout, QWidget *control)
{
    if (!layout)
        return {};
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == control) {
            for (int j = i - 1; j >= 0; --j) {
                if (auto *label = qobject_cast<QLabel *>(layout->itemAt(j)->widget()))
                    return plain(label->text());
                if (layout->itemAt(j)->widget())
                    return {}; // another control stands between
            }
            return {};
        }
        if (const QString found = labelBefore(item->layout(), control); !found.isEmpty())
            return found;
    }
    return {};
}

bool isControl(QWidget *w)
{
    return qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)
           || qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QAbstractSlider *>(w)
           || qobject_cast<QAbstractItemView *>(w) || qobject_cast<QTextEdit *>(w)
           || qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QTabBar *>(w) || qobject_cast<QGroupBox *>(w);
}

} // namespace

AccessibleNames::AccessibleNames(QObject *parent)
    : QObject(parent)
{
    qApp->installEventFilter(this);
}

QString AccessibleNames::nameFor(QWidget *control)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        const QString caption = plain(button->text());
        if (!caption.isEmpty())
            return caption;
    }
    if (auto *box = qobject_cast<QGroupBox *>(control))
        return plain(box->title());
    QString name = labelFor(control);
    if (name.isEmpty() && control->parentWidget())
        name = labelBefore(control->parentWidget()->layout(), control);
    if (name.isEmpty())
        name = plain(control->toolTip());
    if (name.isEmpty()) {
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            name = plain(edit->placeholderText());
    }
    if (name.isEmpty() && qobject_cast<QAbstractItemView *>(control))
        name = plain(control->window()->windowTitle());
    return name;
}

void AccessibleNames::fill(QWidget *root)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets) {
        if (!isControl(w) || !w->accessibleName().isEmpty())
            continue;
        const QString name = nameFor(w);
        if (!name.isEmpty())
            w->setAccessibleName(name);
        // A tooltip that says more than the name describes the control.
        const QString tip = plain(w->toolTip());
        if (w->accessibleDescription().isEmpty() && !tip.isEmpty() && tip != w->accessibleName())
            w->setAccessibleDescription(tip);
    }
}

bool AccessibleNames::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *w = static_cast<QWidget *>(watched);
        if (w->isWindow())
            fill(w);
    }
    return QObject::eventFilter(watched, event);
}
