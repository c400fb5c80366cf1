#pragma once

#include "scanner/DisplayModel.h"

#include <QHash>
#include <QRect>
#include <QString>

#include <array>

class QLineEdit;
class QPushButton;
class QWidget;

// The faceplate's client area as the real panel looks: the orange display
// with its fields, the status line, the legends and captions, and a button
// for every key, all placed in twips at the screen's resolution.
struct FacePlatePanel
{
    static constexpr int kClientWidth = 10800; // twips
    static constexpr int kClientHeight = 4900;

    explicit FacePlatePanel(qreal dpi)
        : dpi(dpi)
    {
    }

    // Creates every widget on the panel; fields start with the display's texts.
    void build(QWidget *panel, const DisplayModel &display);

    std::array<QLineEdit *, DisplayModel::FieldCount> fields{};
    QLineEdit *status = nullptr;
    QHash<QString, QPushButton *> buttons;
    qreal dpi;

private:
    QLineEdit *makeField(QWidget *panel, const QString &name, const QString &text, const QRect &twips,
                         QLineEdit *edit = nullptr);
    QPushButton *makeButton(QWidget *panel, const QString &name, const QString &caption, const QString &toolTip,
                            const QRect &twips);
    QRect px(const QRect &twips) const;
};
