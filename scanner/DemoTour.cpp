#include "scanner/DemoTour.h"

#include "scanner/Keypad.h"
#include "scanner/ScannerSession.h"

DemoTour::DemoTour(ScannerSession *session, Keypad *keypad, int scanMillis, int trunkMillis, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_keypad(keypad)
    , m_scanMillis(scanMillis)
    , m_trunkMillis(trunkMillis)
{
    connect(&m_timer, &QTimer::timeout, this, &DemoTour::look);
}

void DemoTour::start()
{
    m_seen = m_session->state().mode;
    m_since.start();
    m_timer.start(kLookMillis);
}

void DemoTour::stop()
{
    m_timer.stop();
}

void DemoTour::press(const char *button)
{
    qCInfo(lcSession) << "demo: pressing" << button;
    m_keypad->press(QLatin1String(button));
    ++m_pressed;
    m_since.restart();
}

void DemoTour::look()
{
    if (m_session->phase() != ScannerSession::Phase::Polling) {
        m_since.restart(); // a full stay once polling goes on
        return;
    }
    const ScannerMode mode = m_session->state().mode;
    if (mode != m_seen) {
        m_seen = mode;
        m_since.restart();
        return;
    }
    switch (mode) {
    case ScannerMode::Scan:
        if (m_since.elapsed() >= m_scanMillis)
            press("btnTRUNK"); // from scan the scanner goes to trunk search
        break;
    case ScannerMode::TrunkSearch:
    case ScannerMode::TrunkScan:
        if (m_since.elapsed() >= m_trunkMillis)
            press("btnSCAN");
        break;
    case ScannerMode::Manual:
    case ScannerMode::Search:
        break;
    }
}
