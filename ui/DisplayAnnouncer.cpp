#include "ui/DisplayAnnouncer.h"

#include "scanner/DisplayModel.h"
#include "scanner/DisplayWords.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

// The display as one piece of text whose description is always current.
class DisplayAccessible : public QAccessibleWidget
{
public:
    explicit DisplayAccessible(DisplayFace *w)
        : QAccessibleWidget(w, QAccessible::StaticText)
        , m_model(w->model())
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return QStringLiteral("Display");
        if (t == QAccessible::Description || t == QAccessible::Value)
            return DisplayWords::describe(*m_model);
        return QAccessibleWidget::text(t);
    }

private:
    const DisplayModel *m_model;
};

QAccessibleInterface *displayFactory(const QString &, QObject *object)
{
    if (auto *face = qobject_cast<DisplayFace *>(object))
        return new DisplayAccessible(face);
    return nullptr;
}

} // namespace

DisplayFace::DisplayFace(const DisplayModel *model, QWidget *parent)
    : QLineEdit(parent)
    , m_model(model)
{
    // Before anything asks for this widget's interface.
    static const bool installed = [] {
        QAccessible::installFactory(displayFactory);
        return true;
    }();
    Q_UNUSED(installed);
    // While a screen reader listens, the line edit was already asked for
    // its interface as it was being built, as a plain line edit: that one
    // goes, so that the next question is answered by ours.
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(this);
    if (iface && !dynamic_cast<DisplayAccessible *>(iface))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

DisplayAnnouncer::DisplayAnnouncer(QWidget *display, const DisplayModel *model, QObject *parent)
    : QObject(parent)
    , m_display(display)
    , m_model(model)
    , m_lastKey(DisplayWords::announcementKey(*model))
{
}

void DisplayAnnouncer::refresh()
{
    const QString key = DisplayWords::announcementKey(*m_model);
    if (key == m_lastKey || !m_display)
        return;
    m_lastKey = key;
    if (DisplayWords::describe(*m_model).isEmpty())
        return; // a cleared display is not news
    ++m_announcements;
    QAccessibleEvent event(m_display.data(), QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}
