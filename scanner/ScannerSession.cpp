#include "scanner/ScannerSession.h"

#include "link/CommPort.h"
#include "link/CommandSequence.h"
#include "protocol/Commands.h"
#include "scanner/DisplayModel.h"
#include "scanner/PollLoop.h"
#include "scanner/SelfTest.h"

#include <QSettings>

Q_LOGGING_CATEGORY(lcSession, "orvendal.session")

namespace {
// The pause after each digit of the channel typed in on resume.
constexpr int kResumeDigitPauseMs = 50;
} // namespace

ScannerSession::ScannerSession(const SessionWiring &wiring, QObject *parent)
    : QObject(parent)
    , m_w(wiring)
    , m_selfTest(new SelfTest(wiring.display, this))
{
    m_w.port->setObjectName(QStringLiteral("MSComm1"));
    // Only the poll loop reads this port, once a turn: bytes arriving
    // between turns need not wake the program.
    m_w.port->setPolled(true);
    QSettings *store = m_w.store;
    m_w.port->setDeviceResolver([store](int n) { return LinkSettings::deviceFor(*store, n); });
    connect(m_selfTest, &SelfTest::finished, this, &ScannerSession::startPolling);
    connect(m_w.port, &CommPort::lost, this, &ScannerSession::portLost);
    m_retry.setSingleShot(true);
    m_retry.setTimerType(Qt::CoarseTimer);
    connect(&m_retry, &QTimer::timeout, this, &ScannerSession::resume);
}

ScannerSession::~ScannerSession()
{
    stopPolling();
}

bool ScannerSession::isPortOpen() const
{
    return m_w.port->isOpen();
}

void ScannerSession::setPhase(Phase phase)
{
    if (m_phase == phase)
        return;
    m_phase = phase;
    qCDebug(lcSession) << "phase" << phase;
    emit phaseChanged(phase);
}

void ScannerSession::applyPortSettings()
{
    m_w.port->setCommPort(m_link.comPort);
    m_w.port->setSettings(m_link.settingsString());
}

bool ScannerSession::openPort(bool again)
{
    if (m_w.port->open()) {
        m_lossReason.clear();
        m_w.display->setStatusLine(again ? m_link.reopenedMessage() : m_link.openedMessage());
        return true;
    }
    m_w.display->setStatusLine(m_link.openFailedMessage(m_w.port->errorString()));
    return false;
}

void ScannerSession::portLost(const QString &reason)
{
    m_lossReason = reason;
    abortResume();
    stopPolling();
    waitForPort(reason);
}

void ScannerSession::waitForPort(const QString &reason)
{
    setPhase(Phase::Waiting);
    if (!m_link.isSetUp()) {
        m_w.display->setStatusLine(LinkSettings::notSetUpMessage());
        return;
    }
    if (!m_lossReason.isEmpty())
        m_w.display->setStatusLine(m_link.lostMessage(m_lossReason));
    else
        m_w.display->setStatusLine(m_link.openFailedMessage(reason) + QStringLiteral(" - retrying"));
    m_retry.start(kRetryMillis);
}

void ScannerSession::saved(bool written)
{
    if (written || m_saveWarned)
        return;
    m_saveWarned = true;
    qCWarning(lcSession) << "settings could not be saved to" << m_w.store->fileName();
    if (m_message) {
        m_message(MessageKind::Warning, QString(),
                  QStringLiteral("The settings could not be saved to %1.\r\nThe port and speed chosen are used for "
                                 "this run only.")
                      .arg(m_w.store->fileName()));
    }
}

void ScannerSession::load()
{
    setPhase(Phase::Loading);
    setShift(false);

    if (m_link.loadAtStartup(*m_w.store, m_prompt)) {
        saved(m_w.store->status() == QSettings::NoError);
        applyPortSettings();
        openPort(false);
    } else {
        m_w.display->setStatusLine(LinkSettings::notSetUpMessage());
    }

    if (m_placeWindows)
        m_placeWindows();

    setPhase(Phase::SelfTest);
    m_selfTest->start(m_selfTestPause);
}

void ScannerSession::startPolling()
{
    stopPolling();
    if (!m_w.port->isOpen()) {
        waitForPort(m_w.port->errorString());
        return;
    }
    setPhase(Phase::Polling);
    m_poll = new PollLoop(m_w, &m_state, this);
    connect(m_poll, &PollLoop::talkgroupShown, this, &ScannerSession::talkgroupShown);
    emit pollingStarted();
    m_poll->start();
}

void ScannerSession::stopPolling()
{
    if (!m_poll)
        return;
    m_poll->stop();
    m_poll->deleteLater();
    m_poll = nullptr;
    emit pollingStopped();
}

void ScannerSession::abortResume()
{
    if (m_resume)
        m_resume->abort();
    delete m_resume;
}

void ScannerSession::suspend()
{
    m_retry.stop();
    abortResume();
    stopPolling();
    setPhase(Phase::Suspended);
}

void ScannerSession::resume()
{
    m_retry.stop();
    stopPolling();
    abortResume();
    setPhase(Phase::Resuming);
    if (!m_link.isSetUp()) {
        waitForPort(QString());
        return;
    }

    m_w.port->setSettings(m_link.settingsString());
    if (!m_w.port->isOpen()) {
        m_w.port->setCommPort(m_link.comPort);
        if (!m_w.port->open()) {
            waitForPort(m_w.port->errorString());
            return;
        }
        m_lossReason.clear();
        m_w.display->setStatusLine(m_link.reopenedMessage());
    }

    auto *seq = new CommandSequence(m_w.port, this);
    m_resume = seq;
    if (m_state.mode == ScannerMode::Scan) {
        seq->send(Command::key(Command::Key::Scan));
    } else if (m_state.mode == ScannerMode::Manual) {
        seq->send(Command::key(Command::Key::Manual));
        for (const QChar c : std::as_const(m_state.savedChannel))
            seq->send(Command::digit(c)).pause(kResumeDigitPauseMs);
        seq->send(Command::key(Command::Key::Manual));
    }
    connect(seq, &CommandSequence::finished, this, [this, seq] {
        seq->deleteLater();
        startPolling();
    });
    seq->start();
}

void ScannerSession::shutdown()
{
    m_retry.stop();
    abortResume();
    stopPolling();
    setPhase(Phase::Ended);
    if (m_w.port->isOpen())
        m_w.port->close();
}

QString ScannerSession::lendLink()
{
    m_state.savedChannel = m_w.display->text(DisplayModel::CHAN);
    suspend();
    if (m_w.port->isOpen())
        m_w.port->close();
    return m_state.savedChannel;
}

void ScannerSession::returnLink(const QString &savedChannel)
{
    m_state.savedChannel = savedChannel;
    resume();
}

void ScannerSession::askComPort()
{
    const bool wasOpen = m_w.port->isOpen();
    if (wasOpen) {
        m_w.port->close();
        m_w.display->setStatusLine(m_link.closedMessage());
    }
    if (m_link.askPortFromMenu(m_prompt)) {
        saved(m_link.savePort(*m_w.store));
    } else if (!wasOpen) {
        return; // cancelled: nothing changes
    }
    if (!m_link.isSetUp() && !m_link.askSpeed(m_prompt)) {
        waitForPort(QString());
        return;
    }
    saved(m_link.saveSpeed(*m_w.store));
    applyPortSettings();
    if (openPort(false)) {
        if (m_phase != Phase::Polling)
            startPolling();
    } else {
        stopPolling();
        waitForPort(m_w.port->errorString());
    }
}

void ScannerSession::askComSpeed()
{
    if (m_link.askSpeed(m_prompt))
        saved(m_link.saveSpeed(*m_w.store));
}

void ScannerSession::useDevice(const QString &device)
{
    if (!LinkSettings::isPortNumber(m_link.comPort)) {
        m_link.comPort = 1;
        saved(m_link.savePort(*m_w.store));
    }
    if (!LinkSettings::isValidSpeed(m_link.comSpeed)) {
        m_link.comSpeed = LinkSettings::speeds().first();
        saved(m_link.saveSpeed(*m_w.store));
    }
    saved(LinkSettings::setDevice(*m_w.store, m_link.comPort, device));
    suspend();
    if (m_w.port->isOpen())
        m_w.port->close();
    m_lossReason.clear();
    resume();
}

void ScannerSession::setShift(bool on)
{
    m_state.shiftOn = on;
    m_w.display->setText(DisplayModel::SHIFT, on ? QStringLiteral("SFT") : QString());
}

void ScannerSession::setMute(MuteSetting setting)
{
    m_state.mute = setting;
    m_w.display->setText(DisplayModel::MUTE, DisplayModel::muteWord(setting));
}

void ScannerSession::leaveQuery(const QString &command)
{
    m_state.keyQuery = command;
}

int ScannerSession::stepManualChannelDown()
{
    m_state.manualChannel = m_state.manualChannel > 1 ? m_state.manualChannel - 1 : 1000;
    return m_state.manualChannel;
}
