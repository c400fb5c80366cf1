#include "faceplate/PollLoop.h"

#include "faceplate/AuxDisplayModel.h"
#include "faceplate/AuxLookups.h"
#include "faceplate/FacePlate.h"
#include "link/CommPort.h"
#include "link/LinkSettings.h"
#include "link/Protocol.h"

Q_LOGGING_CATEGORY(lcPoll, "orvendal.poll")

namespace {

// Mid(text, position from 1, length), as the reply positions are counted.
QString mid(const QString &text, int position, int length = -1)
{
    return text.mid(position - 1, length);
}

QChar at(const QString &text, int position)
{
    return position <= text.size() ? text.at(position - 1) : QChar();
}

QString flagText(QChar flag, const QString &word)
{
    if (flag == QLatin1Char('N'))
        return word;
    if (flag == QLatin1Char('F'))
        return QString();
    return QStringLiteral("ERR");
}

} // namespace

PollLoop::PollLoop(FacePlate *plate, QObject *parent)
    : QObject(parent)
    , m_plate(plate)
    , m_blanks(49, QLatin1Char(' '))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTurnMillis);
    connect(&m_timer, &QTimer::timeout, this, &PollLoop::turn);
}

void PollLoop::start()
{
    CommPort *port = m_plate->port();
    port->send(QStringLiteral("MD"));
    port->send(QStringLiteral("MUA"));
    m_plate->display()->setText(DisplayModel::MUTE, QStringLiteral("MUTE AUTO"));
    m_plate->MuteState = 1;
    m_timer.start();
}

void PollLoop::stop()
{
    m_timer.stop();
}

void PollLoop::turn()
{
    // The windows draw what the turn changed once it is over.
    m_plate->display()->beginUpdate();
    m_plate->aux()->beginUpdate();
    handleTurn();
    m_plate->aux()->endUpdate();
    m_plate->display()->endUpdate();
}

void PollLoop::handleTurn()
{
    ++m_turns;
    CommPort *port = m_plate->port();

    // Read.
    m_readThisTurn.clear();
    if (port->commEvent() == CommPort::comEvReceive) {
        m_readThisTurn = Protocol::decode(port->input());
        m_plate->RxBuffer.append(m_readThisTurn);
        QString line;
        switch (m_plate->RxBuffer.cut(&line)) {
        case ReplyBuffer::Cut::NoLine:
        case ReplyBuffer::Cut::EmptyLine:
            m_reply.clear();
            break;
        case ReplyBuffer::Cut::Line:
            if (!m_reply.isEmpty())
                m_previousReply = m_reply;
            m_reply = line;
            break;
        }
    }
    // Without a receive event the reply of the last turn is handled again.
    // A query a key left for this turn (the mute key's) is sent in place of
    // the one the reply asks for, so the key is never lost; the loop asks
    // again on its next empty turn.
    const QString keyQuery = m_plate->NextQuery;
    handle(m_reply);
    if (!keyQuery.isEmpty())
        m_plate->NextQuery = keyQuery;

    // Send.
    if (!m_plate->NextQuery.isEmpty()) {
        port->send(m_plate->NextQuery);
        m_lastQuery = m_plate->NextQuery;
        m_plate->NextQuery.clear();
        ++m_queries;
    }
}

void PollLoop::clearDisplay()
{
    m_plate->display()->clearDisplay(m_plate->ShiftOn);
    m_plate->aux()->clearLines();
}

void PollLoop::handle(const QString &r)
{
    DisplayModel *display = m_plate->display();
    if (r.isEmpty()) {
        m_plate->NextQuery = QStringLiteral("SQ");
        return;
    }
    const int mode = m_plate->CurrentMode;
    switch (r.at(0).unicode()) {
    case 'O':
        m_plate->NextQuery = QStringLiteral("MD");
        break;
    case '+':
        if (mode < 2)
            m_plate->NextQuery = QStringLiteral("MA");
        break;
    case '-':
        if (mode == 0 && r != m_previousReply) {
            clearDisplay();
            display->showScanTemplate();
        } else if (mode == 1 && r != m_previousReply) {
            display->showManualTemplate();
            m_plate->NextQuery = QStringLiteral("MA");
        }
        break;
    case 'C':
        handleChannel(r);
        break;
    case 'I':
        handleTalkgroup(r);
        break;
    case 'M':
        handleMode(r);
        break;
    case 'N':
        if (r == QLatin1String("NG")) {
            if (mode == 0) {
                clearDisplay();
                display->showScanTemplate();
            } else if (mode == 1) {
                clearDisplay();
                display->showManualTemplate();
            } else if (mode == 9) {
                clearDisplay();
                display->showTrunkSearchTemplate();
            }
        } else {
            display->setText(DisplayModel::SHIFT, r);
        }
        break;
    case 'R':
        if (r == QLatin1String("RM AM"))
            display->setText(DisplayModel::ModMode, QStringLiteral("AM"));
        else if (r == QLatin1String("RM NFM"))
            display->setText(DisplayModel::ModMode, QStringLiteral("   NFM"));
        else if (r == QLatin1String("RM WFM"))
            display->setText(DisplayModel::ModMode, QStringLiteral("       WFM"));
        m_plate->NextQuery = QStringLiteral("ID");
        break;
    default:
        break;
    }
    emit replyHandled(r);
}

void PollLoop::handleChannel(const QString &r)
{
    DisplayModel *display = m_plate->display();
    const QString channel = mid(r, 2, 3);
    m_channelText = channel == QLatin1String("000") ? QStringLiteral("1000") : channel;
    display->setText(DisplayModel::CHAN, m_channelText);

    if (at(r, 7) == QLatin1Char('0'))
        m_frequencyText = mid(r, 8, 3) + QLatin1Char('.') + mid(r, 11, 4);
    else
        m_frequencyText = mid(r, 7, 4) + QLatin1Char('.') + mid(r, 11, 4);
    display->setText(DisplayModel::FREQ, m_frequencyText);

    if (m_plate->CurrentMode == 1)
        m_plate->ManualChannel = LinkSettings::leadingNumber(m_channelText);

    display->setText(DisplayModel::DELAY, flagText(at(r, 20), QStringLiteral("DELAY")));
    display->setText(DisplayModel::LOCKOUT, flagText(at(r, 23), QStringLiteral("L/O")));
    display->setText(DisplayModel::PRI, flagText(at(r, 29), QStringLiteral("PRI")));

    m_plate->lookups()->lookupChannel(m_channelText, m_frequencyText);
    m_plate->NextQuery = QStringLiteral("SQ");
}

void PollLoop::handleTalkgroup(const QString &r)
{
    if (r == QLatin1String("IDF")) {
        m_plate->NextQuery = QStringLiteral("IDN");
        return;
    }
    if (r == QLatin1String("IDN"))
        return;
    DisplayModel *display = m_plate->display();
    const QChar letter = at(r, 4);
    if (letter == QLatin1Char('E')) {
        // No talkgroup on the air. Keep asking, so the next one is shown and
        // logged when it comes.
        clearDisplay();
        display->showTrunkSearchTemplate();
        m_plate->NextQuery = QStringLiteral("ID");
        return;
    }
    if (letter < QLatin1Char('A') || letter > QLatin1Char('T')) {
        // Not a bank letter the scanner uses: nothing to show or log.
        m_plate->NextQuery = QStringLiteral("RM");
        return;
    }

    if (!display->text(DisplayModel::ModMode).isEmpty())
        display->setText(DisplayModel::ModMode, QString());
    m_previousBankLetter = m_bankLetter;
    m_bankLetter = letter;
    const int bank = letter.unicode() - 64;
    if (m_bankLetter != m_previousBankLetter) {
        clearDisplay();
        display->showTrunkSearchTemplate();
        m_previousBankLetter = m_bankLetter;
    }

    int n;
    QString marker;
    if (bank >= 10) {
        n = (bank - 10) * 3 + 20;
        marker = m_blanks.left(n) + QStringLiteral("__");
    } else {
        n = bank * 2;
        marker = m_blanks.left(n) + QStringLiteral("_");
    }
    display->setText(DisplayModel::ACTIVEBANK,
                     marker + m_bankLetter + QLatin1Char(' ') + QString::number(bank) + QLatin1Char(' ') + QString::number(n));

    QString id;
    if (at(r, 6) == QLatin1Char('0'))
        id = at(r, 7) == QLatin1Char('0') ? mid(r, 8) : mid(r, 7);
    else
        id = mid(r, 6);
    m_plate->CurrentTalkgroup = id;
    display->setText(DisplayModel::FREQ, id);

    m_plate->lookups()->lookupTalkgroup(id);
    m_plate->NextQuery = QStringLiteral("RM");
}

void PollLoop::handleMode(const QString &r)
{
    DisplayModel *display = m_plate->display();
    const QString code = r.left(4);
    if (code == QLatin1String("MD00")) {
        clearDisplay();
        display->showScanTemplate();
        m_plate->ModeName = QStringLiteral("SCAN");
        m_plate->CurrentMode = 0;
    } else if (code == QLatin1String("MD01")) {
        clearDisplay();
        display->showManualTemplate();
        m_plate->ModeName = QStringLiteral("MANUAL");
        m_plate->CurrentMode = 1;
    } else if (code == QLatin1String("MD02")) {
        clearDisplay();
        display->showSearchTemplate();
        m_plate->ModeName = QStringLiteral("SEARCH");
        m_plate->CurrentMode = 2;
        m_plate->NextQuery = QStringLiteral("MA");
    } else if (code == QLatin1String("MD09")) {
        clearDisplay();
        display->showTrunkSearchTemplate();
        m_plate->ModeName = QStringLiteral("TRNKSRCH");
        m_plate->CurrentMode = 9;
        m_plate->NextQuery = QStringLiteral("ID");
    } else if (code == QLatin1String("MD11")) {
        clearDisplay();
        display->setText(DisplayModel::SCAN, QStringLiteral("SCAN"));
        display->setText(DisplayModel::TRUNKTYPE, QStringLiteral("  TRUNK"));
        m_plate->ModeName = QStringLiteral("TRNKSCAN");
        m_plate->CurrentMode = 11;
    } else {
        // Not a mode: show what came in on the auxiliary display.
        AuxDisplayModel *aux = m_plate->aux();
        aux->setLine(1, m_readThisTurn);
        aux->setLine(2, m_plate->RxBuffer.pending());
        aux->setLine(3, r);
        aux->setLine(4, QString::number(r.size()));
    }
}
