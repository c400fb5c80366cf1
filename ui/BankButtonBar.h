#pragma once

#include <QWidget>

// picButtons: the bank editor's seven command buttons. Update and Cancel
// stand where Add and Edit are; only one pair shows at a time.
class BankButtonBar : public QWidget
{
    Q_OBJECT
public:
    explicit BankButtonBar(QWidget *parent);
};
