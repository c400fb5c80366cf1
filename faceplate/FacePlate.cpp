#include "faceplate/FacePlate.h"

#include "faceplate/AuxLookups.h"
#include "faceplate/CommandSequence.h"
#include "faceplate/Keyboard.h"
#include "faceplate/Keypad.h"
#include "faceplate/PollLoop.h"
#include "faceplate/SelfTest.h"
#include "transfer/ChannelDatabase.h"
#include "link/CommPort.h"
#include "link/Protocol.h"

#include <QSettings>

Q_LOGGING_CATEGORY(lcFacePlate, "orvendal.faceplate")

namespace {
// The pause after each digit of the channel typed in on resume.
constexpr int kResumeDigitPauseMs = 50;
} // namespace

FacePlate::FacePlate(CommPort *port, QSettings *store, const QString &databasePath, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_store(store)
    // The lookups run between poll turns: a database another program holds
    // locked must not stall the display for long.
    , m_database(std::make_unique<ChannelDatabase>(databasePath, QStringLiteral("orvendal-lookups"), 200))
    , m_keypad(std::make_unique<Keypad>(this))
    , m_keyboard(new Keyboard(this, this))
    , m_selfTest(new SelfTest(&m_display, this))
{
    m_port->setObjectName(QStringLiteral("MSComm1"));
    m_lookups = std::make_unique<AuxLookups>(&m_aux, m_database.get(),
                                             [this](const QString &text) { m_display.setStatusLine(text); });
    QSettings *settings = m_store;
    m_port->setDeviceResolver([settings](int n) { return LinkSettings::deviceFor(*settings, n); });
    connect(m_selfTest, &SelfTest::finished, this, &FacePlate::startPolling);
}

FacePlate::~FacePlate()
{
    stopPolling();
}

void FacePlate::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    qCDebug(lcFacePlate) << "state" << state;
    emit stateChanged(state);
}

void FacePlate::applyPortSettings()
{
    m_port->setCommPort(m_link.comPort);
    m_port->setSettings(m_link.settingsString());
}

bool FacePlate::openPort(bool again)
{
    if (m_port->open()) {
        m_display.setStatusLine(again ? m_link.reopenedMessage() : m_link.openedMessage());
        return true;
    }
    m_display.setStatusLine(m_link.openFailedMessage(m_port->errorString()));
    return false;
}

void FacePlate::load()
{
    setState(State::Loading);
    ShiftOn = false;
    m_display.setText(DisplayModel::SHIFT, QString());

    m_link.loadAtStartup(*m_store, m_prompt);
    applyPortSettings();
    openPort(false);

    if (m_placeWindows)
        m_placeWindows();

    setState(State::SelfTest);
    m_selfTest->start(m_selfTestPause);
}

void FacePlate::startPolling()
{
    stopPolling();
    setState(State::Polling);
    m_poll = new PollLoop(this, this);
    emit pollingStarted();
    m_poll->start();
}

void FacePlate::stopPolling()
{
    if (!m_poll)
        return;
    m_poll->stop();
    m_poll->deleteLater();
    m_poll = nullptr;
    emit pollingStopped();
}

void FacePlate::suspend()
{
    if (m_resume)
        m_resume->abort();
    delete m_resume;
    stopPolling();
    setState(State::Suspended);
}

void FacePlate::resume()
{
    stopPolling();
    if (m_resume) {
        m_resume->abort();
        delete m_resume;
    }
    setState(State::Resuming);

    m_port->setSettings(m_link.settingsString());
    if (!m_port->isOpen()) {
        m_port->setCommPort(m_link.comPort);
        openPort(true);
    }

    auto *seq = new CommandSequence(m_port, this);
    m_resume = seq;
    if (CurrentMode == 0) {
        seq->send(QStringLiteral("KEY00"));
    } else if (CurrentMode == 1) {
        seq->send(QStringLiteral("KEY01"));
        for (const QChar c : std::as_const(SavedChannel))
            seq->send(Protocol::digitKey(c)).pause(kResumeDigitPauseMs);
        seq->send(QStringLiteral("KEY01"));
    }
    connect(seq, &CommandSequence::finished, this, [this, seq] {
        seq->deleteLater();
        startPolling();
    });
    seq->start();
}

void FacePlate::shutdown()
{
    if (m_resume)
        m_resume->abort();
    stopPolling();
    setState(State::Ended);
    if (m_port->isOpen())
        m_port->close();
}

void FacePlate::mnuComPort()
{
    if (m_port->isOpen()) {
        m_port->close();
        m_display.setStatusLine(m_link.closedMessage());
    }
    m_link.askPortFromMenu(m_prompt);
    m_link.savePort(*m_store);
    applyPortSettings();
    if (!m_port->isOpen())
        openPort(false);
}

void FacePlate::mnuComSpeed()
{
    m_link.askSpeed(m_prompt);
    m_link.saveSpeed(*m_store);
}
