#include "scanner/Keyboard.h"

#include "link/CommPort.h"
#include "link/CommandSequence.h"
#include "protocol/Commands.h"
#include "scanner/AuxDisplayModel.h"
#include "scanner/ScannerSession.h"

namespace {

// Codes of the table: Enter, keypad 0..9 (96..105), * + - . /
constexpr int kEnter = 13;
constexpr int kPad0 = 96;
constexpr int kPad9 = 105;
constexpr int kPadStar = 106;
constexpr int kPadPlus = 107;
constexpr int kPadMinus = 109;
constexpr int kPadPoint = 110;
constexpr int kPadSlash = 111;

} // namespace

Keyboard::Keyboard(CommPort *port, ScannerSession *session, AuxDisplayModel *aux, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_session(session)
    , m_aux(aux)
    , m_queue(new CommandSequence(port, this))
{
}

void Keyboard::key(const Codes &codes)
{
    keyDown(codes.keyCode, codes.shiftState);
    if (codes.charCode >= 0)
        keyPress(codes.charCode);
}

void Keyboard::echoThenAct(std::function<void()> echo, int code)
{
    AuxDisplayModel *aux = m_aux;
    m_queue->then(std::move(echo)).pause(kEchoMillis).then([this, aux, code] {
        aux->setLine(4, QString());
        act(code);
    });
    if (!m_queue->isRunning())
        m_queue->start();
}

void Keyboard::keyDown(int keyCode, int shiftState)
{
    AuxDisplayModel *aux = m_aux;
    echoThenAct(
        [aux, keyCode, shiftState] {
            aux->setLine(2, QString::number(shiftState & 7));
            aux->setLine(4, QString::number(keyCode));
        },
        keyCode);
}

void Keyboard::keyPress(int charCode)
{
    AuxDisplayModel *aux = m_aux;
    echoThenAct(
        [aux, charCode] {
            aux->setLine(3, QString());
            aux->setLine(3, QString::number(charCode));
            aux->setLine(1, QStringLiteral("KeyPress"));
            aux->setLine(4, QString::number(charCode));
        },
        charCode);
}

bool Keyboard::isBusy() const
{
    return m_queue->isRunning();
}

void Keyboard::send(const QString &command)
{
    if (m_port->isOpen())
        m_port->send(command);
}

void Keyboard::act(int code)
{
    using Command::Key;
    const bool manual = m_session->state().mode == ScannerMode::Manual;
    if (code == kEnter) {
        send(Command::key(Key::Enter));
    } else if (code >= kPad0 && code <= kPad9) {
        send(Command::digit(QLatin1Char(char('0' + code - kPad0))));
    } else if (code == kPadStar) {
        send(Command::key(Key::Scan));
    } else if (code == kPadPlus || code == kPadSlash || (code == kPadMinus && !manual)) {
        send(Command::key(Key::Manual));
        send(Command::kReadChannel);
    } else if (code == kPadMinus) {
        channelDown();
    } else if (code == kPadPoint) {
        send(Command::key(Key::Point));
    }
}

void Keyboard::channelDown()
{
    const int channel = m_session->stepManualChannelDown();
    // Written whether or not the port is open; a closed port takes nothing.
    for (const QString &key : Command::numberKeys(channel))
        m_port->send(key);
    m_port->send(Command::key(Command::Key::Manual));
    m_port->send(Command::kReadChannel);
}
