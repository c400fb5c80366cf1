#pragma once

#include <QString>
#include <QStringList>

class FacePlate;

// The front-panel keys: each button presses its key on the scanner. The shift
// key also toggles the shift indicator; the mute key steps through automatic,
// on and off.
class Keypad
{
public:
    // Button object names in panel order, and the command each plain key writes.
    static const QStringList &buttonNames();
    static QString commandOf(const QString &buttonName); // empty for SHFT and MUTE

    explicit Keypad(FacePlate *plate)
        : m_plate(plate)
    {
    }

    void press(const QString &buttonName);

private:
    void shift();
    void mute();

    FacePlate *m_plate;
};
