#include "scanner/ScannerSession.h"

#include "link/CommPort.h"
#include "link/CommandSequence.h"
#include "protocol/Commands.h"
#include "scanner/DisplayModel.h"
#include "scanner/PollLoop.h"
#include "scanner/SelfTest.h"

#include <QSettings>

#include <utility>

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
    // The end of the self-test and the retry timer start polling only in the
    // phase that set them going: never while a transfer has the link, nor
    // after shutdown.
    connect(m_selfTest, &SelfTest::finished, this, [this] {
        if (m_phase == Phase::SelfTest)
            startPolling();
    });
    connect(m_w.port, &CommPort::lost, this, &ScannerSession::portLost);
    connect(m_w.port, &CommPort::connected, this, &ScannerSession::connectionStands);
    m_retry.setSingleShot(true);
    m_retry.setTimerType(Qt::CoarseTimer);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (m_phase == Phase::Waiting)
            resume();
    });
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
        // Over the network "OPENED" waits until the connection stands.
        m_reopening = again;
        if (!m_w.port->isConnecting()) {
            m_lossReason.clear();
            m_outageLogged = false;
            m_w.display->setStatusLine(again ? m_link.reopenedMessage() : m_link.openedMessage());
        }
        return true;
    }
    m_w.display->setStatusLine(m_link.openFailedMessage(m_w.port->errorString()));
    return false;
}

void ScannerSession::connectionStands()
{
    if (m_phase == Phase::Lent || m_phase == Phase::Ended)
        return;
    m_lossReason.clear();
    m_outageLogged = false;
    m_w.display->setStatusLine(m_reopening ? m_link.reopenedMessage() : m_link.openedMessage());
    if (m_phase == Phase::Connecting && m_afterConnect)
        (this->*std::exchange(m_afterConnect, nullptr))();
}

void ScannerSession::logOutage(const QString &reason)
{
    if (m_outageLogged)
        return;
    m_outageLogged = true;
    qCWarning(lcSession) << "no scanner on" << m_w.port->deviceName() << ":" << reason << "- retrying every"
                         << kRetryMillis / 1000 << "s";
}

void ScannerSession::portLost(const QString &reason)
{
    // The port is closed already. While a transfer has the link, or after
    // shutdown, nothing of the session is to start again.
    if (m_phase == Phase::Lent || m_phase == Phase::Ended || m_phase == Phase::Created) {
        qCDebug(lcSession) << "loss reported in phase" << m_phase << ":" << reason;
        return;
    }
    // A connection that never stood did not open: said as such, unless the
    // device was lost before and this is one more try. A working device that
    // went away was logged by the port.
    if (!m_w.port->lostWhileConnecting()) {
        m_lossReason = reason;
        m_outageLogged = true;
    }
    m_afterConnect = nullptr;
    abortResume();
    stopPolling();
    if (m_phase == Phase::SelfTest) {
        // The self-test's end finds the port closed and waits for it.
        showWaiting(reason);
        return;
    }
    waitForPort(reason);
}

void ScannerSession::showWaiting(const QString &reason)
{
    if (!m_lossReason.isEmpty())
        m_w.display->setStatusLine(m_link.lostMessage(m_lossReason));
    else
        m_w.display->setStatusLine(m_link.openFailedMessage(reason) + QStringLiteral(" - retrying"));
}

void ScannerSession::waitForPort(const QString &reason)
{
    if (m_phase == Phase::Lent || m_phase == Phase::Ended)
        return;
    m_afterConnect = nullptr;
    setPhase(Phase::Waiting);
    if (!m_link.isSetUp()) {
        m_w.display->setStatusLine(LinkSettings::notSetUpMessage());
        return;
    }
    logOutage(m_lossReason.isEmpty() ? reason : m_lossReason);
    showWaiting(reason);
    m_retry.start(kRetryMillis);
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
    if (m_phase == Phase::Lent || m_phase == Phase::Ended)
        return;
    m_selfTest->stop();
    stopPolling();
    if (!m_w.port->isOpen()) {
        waitForPort(m_w.port->errorString());
        return;
    }
    if (m_w.port->isConnecting()) {
        setPhase(Phase::Connecting);
        m_afterConnect = &ScannerSession::startPolling;
        return;
    }
    setPhase(Phase::Polling);
    m_poll = new PollLoop(m_w, &m_state, this);
    connect(m_poll, &PollLoop::talkgroupShown, this, &ScannerSession::talkgroupShown);
    connect(m_poll, &PollLoop::quiet, this, &ScannerSession::linkQuiet);
    connect(m_poll, &PollLoop::answering, this, &ScannerSession::linkAnswering);
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
    // Not deleted here: a loss the port reports from inside one of the
    // sequence's own writes ends up here while that write is under way.
    if (!m_resume)
        return;
    m_resume->abort();
    m_resume->deleteLater();
    m_resume = nullptr;
}

void ScannerSession::linkQuiet()
{
    if (m_w.port->isNetworkDevice()) {
        // Over the network silence means a dead path as often as a silent
        // scanner: connect afresh, with the usual retries.
        m_w.port->dropAsLost(tr("no reply from the scanner for %1 s").arg(PollLoop::kQuietMillis / 1000));
        return;
    }
    // A serial scanner may be switched off or out of its PC mode: keep
    // asking, and say so until it answers.
    qCInfo(lcSession) << "no reply from the scanner on" << m_w.port->deviceName();
    m_w.display->setStatusLine(noReplyMessage());
}

void ScannerSession::linkAnswering()
{
    m_w.display->setStatusLine(m_link.openedMessage());
}

void ScannerSession::suspend()
{
    if (m_phase == Phase::Lent || m_phase == Phase::Ended)
        return;
    m_retry.stop();
    m_selfTest->stop();
    m_afterConnect = nullptr;
    abortResume();
    stopPolling();
    setPhase(Phase::Suspended);
}

void ScannerSession::resumeWithChannel(const QString &savedChannel)
{
    if (m_phase == Phase::Lent || m_phase == Phase::Ended)
        return;
    m_state.savedChannel = savedChannel;
    resume();
}

void ScannerSession::resume()
{
    if (m_phase == Phase::Lent || m_phase == Phase::Ended)
        return;
    m_retry.stop();
    m_selfTest->stop();
    m_afterConnect = nullptr;
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
        if (!openPort(true)) {
            waitForPort(m_w.port->errorString());
            return;
        }
    }
    if (m_w.port->isConnecting()) {
        setPhase(Phase::Connecting);
        m_afterConnect = &ScannerSession::continueResume;
        return;
    }
    continueResume();
}

void ScannerSession::continueResume()
{
    setPhase(Phase::Resuming);
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
    m_selfTest->stop();
    m_afterConnect = nullptr;
    abortResume();
    stopPolling();
    setPhase(Phase::Ended);
    m_loanId = 0;
    if (m_w.port->isOpen())
        m_w.port->close();
}

LinkLoan ScannerSession::lendLink()
{
    if (m_phase == Phase::Lent || m_phase == Phase::Ended)
        return {};
    m_state.savedChannel = m_w.display->text(DisplayModel::CHAN);
    suspend();
    if (m_w.port->isOpen())
        m_w.port->close();
    setPhase(Phase::Lent);
    m_loanId = ++m_loans;
    qCDebug(lcSession) << "link lent, loan" << m_loanId;
    return {m_loanId, m_state.savedChannel};
}

bool ScannerSession::returnLink(const LinkLoan &loan)
{
    if (m_phase != Phase::Lent || loan.id == 0 || loan.id != m_loanId) {
        qCInfo(lcSession) << "a link loan that is not out was given back:" << loan.id << "in phase" << m_phase;
        return false;
    }
    m_loanId = 0;
    m_state.savedChannel = loan.savedChannel;
    setPhase(Phase::Suspended);
    resume();
    return true;
}
