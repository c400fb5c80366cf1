#include "scanner/SelfTest.h"

QList<SelfTest::Step> SelfTest::schedule(int pauseMillis)
{
    const int blank = pauseMillis / 5;
    return {
        {Screen::Blank, blank}, {Screen::AllSegments, pauseMillis},
        {Screen::Blank, blank}, {Screen::Scan, pauseMillis},
        {Screen::Blank, blank}, {Screen::Trunk, pauseMillis},
        {Screen::Blank, blank}, {Screen::Search, pauseMillis},
        {Screen::Blank, blank}, {Screen::Service, pauseMillis},
        {Screen::Blank, blank},
    };
}

SelfTest::SelfTest(DisplayModel *display, QObject *parent)
    : QObject(parent)
    , m_display(display)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SelfTest::runStep);
}

void SelfTest::start(int pauseMillis)
{
    m_steps = schedule(pauseMillis);
    m_next = 0;
    runStep();
}

void SelfTest::show(DisplayModel *display, Screen screen)
{
    switch (screen) {
    case Screen::Blank:
        // The shift indicator flashes on as the screen is blanked.
        display->setText(DisplayModel::SHIFT, QStringLiteral("SFT"));
        display->blank();
        break;
    case Screen::AllSegments: display->showAllSegments(); break;
    case Screen::Scan: display->showScanScreen(); break;
    case Screen::Trunk: display->showTrunkScreen(); break;
    case Screen::Search: display->showSearchScreen(); break;
    case Screen::Service: display->showServiceScreen(); break;
    }
}

void SelfTest::runStep()
{
    if (m_next >= m_steps.size()) {
        emit finished();
        return;
    }
    const Step step = m_steps.at(m_next++);
    show(m_display, step.screen);
    m_timer.start(step.millis);
}
