#pragma once

#include <QObject>
#include <QString>

class QWidget;

// Every control a screen reader meets has a name: the program names its
// special ones itself; the rest are named here from what a sighted user
// reads beside them (a button's caption, a field's label, a box's title,
// a tooltip), when the window is first shown.
class AccessibleNames : public QObject
{
    Q_OBJECT
public:
    // Names every window of the application as it is shown.
    explicit AccessibleNames(QObject *parent = nullptr);

    // Names the controls under root that have no name yet.
    static void fill(QWidget *root);
    // The name a control would be given; empty when nothing says it.
    static QString nameFor(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
