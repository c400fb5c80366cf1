// The session's settings side: the Port Setup menu, the serial device in
// use, the settings store, and the key state the keypad changes.

#include "scanner/ScannerSession.h"

#include "link/CommPort.h"
#include "scanner/DisplayModel.h"

#include <QSettings>

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

void ScannerSession::askComPort()
{
    if (m_phase == Phase::Lent || m_phase == Phase::Ended)
        return; // the port is not ours now
    const bool wasOpen = m_w.port->isOpen();
    // Nothing polls, retries or resumes while the questions are open.
    suspend();
    if (wasOpen) {
        m_w.port->close();
        m_w.display->setStatusLine(m_link.closedMessage());
    }
    if (m_link.askPortFromMenu(m_prompt)) {
        saved(m_link.savePort(*m_w.store));
    } else if (!wasOpen) {
        waitForPort(m_w.port->errorString()); // cancelled: as it was
        return;
    }
    if (!m_link.isSetUp() && !m_link.askSpeed(m_prompt)) {
        waitForPort(QString());
        return;
    }
    saved(m_link.saveSpeed(*m_w.store));
    applyPortSettings();
    if (openPort(false))
        startPolling(); // waits for a connection that does not stand yet
    else
        waitForPort(m_w.port->errorString());
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
    if (m_phase == Phase::Lent || m_phase == Phase::Ended)
        return; // used when the link comes back
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
