#include "transfer/BankTransfer.h"

#include "link/CommPort.h"
#include "data/ChannelDatabase.h"

Q_LOGGING_CATEGORY(lcTransfer, "orvendal.transfer")

BankTransfer::BankTransfer(CommPort *port, ChannelDatabase *db, const LinkSettings &link, const QList<int> &banks,
                           QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_db(db)
    , m_link(link)
    , m_banks(banks)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_running)
            timedOut();
    });
    connect(m_port, &CommPort::received, this, [this] {
        if (m_running)
            received();
    });
    connect(m_port, &CommPort::lost, this, [this](const QString &reason) {
        finish(Outcome::Failed, tr("the scanner's port was lost at bank %1, channel %2 (%3)")
                                    .arg(currentBank())
                                    .arg(channelNumber())
                                    .arg(reason));
    });
}

void BankTransfer::start()
{
    m_running = true;
    m_result = Result{};
    if (!m_port->isOpen()) {
        m_port->setCommPort(m_link.comPort);
        m_port->setSettings(m_link.settingsString());
        if (!m_port->open()) {
            finish(Outcome::Failed, tr("COMM PORT #%1 could not be opened: %2").arg(m_link.comPort).arg(m_port->errorString()));
            return;
        }
    }
    m_port->input(); // whatever was waiting belongs to no command of ours
    begin();
}

void BankTransfer::send(const QString &command)
{
    m_port->send(command);
}

void BankTransfer::reportChannel()
{
    emit progress(currentBank(), channelNumber(), m_channelsDone, totalChannels());
}

bool BankTransfer::stopIfCancelled()
{
    if (!m_cancelRequested)
        return false;
    finish(Outcome::Cancelled);
    return true;
}

void BankTransfer::finish(Outcome outcome, const QString &reason)
{
    if (!m_running)
        return;
    m_running = false;
    m_timeout.stop();
    ended();
    m_result.outcome = outcome;
    m_result.reason = reason;
    // A failure happens within a bank; a cancel only between channels, so
    // its bank is under way only once a channel of it is done.
    const bool underWay = outcome == Outcome::Failed || m_doneInBank > 0;
    if (outcome != Outcome::Completed && m_bankIndex < m_banks.size() && underWay)
        m_result.bankInProgress = currentBank();
    if (outcome == Outcome::Completed)
        emit progress(m_banks.isEmpty() ? 0 : m_banks.last(), m_result.lastChannel, totalChannels(), totalChannels());
    if (m_port->isOpen())
        m_port->close();
    qCInfo(lcTransfer) << "transfer ended" << int(outcome) << reason;
    emit finished(m_result);
}
