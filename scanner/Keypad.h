#pragma once

#include <QString>
#include <QStringList>

class CommPort;
class ScannerSession;

// The front-panel keys: each button presses its key on the scanner. The shift
// key also toggles the shift indicator; the mute key steps through automatic,
// on and off.
class Keypad
{
public:
    // Button object names in panel order, and the command each plain key writes.
    static const QStringList &buttonNames();
    static QString commandOf(const QString &buttonName); // empty for SHFT and MUTE

    Keypad(CommPort *port, ScannerSession *session)
        : m_port(port)
        , m_session(session)
    {
    }

    void press(const QString &buttonName);

private:
    void sendIfOpen(const QString &command);
    void mute();

    CommPort *m_port;
    ScannerSession *m_session;
};
