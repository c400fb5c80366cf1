#pragma once

#include "protocol/ScannerMode.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class Keypad;
class ScannerSession;

// The demo's tour of the scanner's modes. It presses the front-panel keys a
// user would, so that the scanner spends a while in conventional scan and a
// while in trunk search, and the program learns of each change as it does
// of any key: the scanner acknowledges the key, and the poll loop asks for
// the mode. A mode the user chose otherwise (manual, search) is left alone;
// nothing is pressed unless the session is polling.
class DemoTour : public QObject
{
    Q_OBJECT
public:
    static constexpr int kScanMillis = 15000;
    static constexpr int kTrunkMillis = 30000;
    // How often the tour looks at the mode.
    static constexpr int kLookMillis = 250;

    DemoTour(ScannerSession *session, Keypad *keypad, int scanMillis = kScanMillis, int trunkMillis = kTrunkMillis,
             QObject *parent = nullptr);

    void start();
    void stop();
    int keysPressed() const { return m_pressed; }

private:
    void look();
    void press(const char *button);

    ScannerSession *m_session;
    Keypad *m_keypad;
    int m_scanMillis;
    int m_trunkMillis;
    QTimer m_timer;
    QElapsedTimer m_since; // since the mode last changed or a key was pressed
    ScannerMode m_seen = ScannerMode::Scan;
    int m_pressed = 0;
};
