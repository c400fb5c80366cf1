#include "faceplate/Keyboard.h"

#include "faceplate/AuxDisplayModel.h"
#include "faceplate/CommandSequence.h"
#include "faceplate/FacePlate.h"
#include "link/CommPort.h"
#include "link/Protocol.h"

#include <QKeyEvent>

namespace {

int keypadCode(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return 96 + (key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Asterisk: return 106;
    case Qt::Key_Plus: return 107;
    case Qt::Key_Minus: return 109;
    case Qt::Key_Period:
    case Qt::Key_Comma: return 110;
    case Qt::Key_Slash: return 111;
    case Qt::Key_Enter:
    case Qt::Key_Return: return 13;
    default: return -1;
    }
}

int virtualKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 65 + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return 48 + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: return 0;
    }
}

} // namespace

Keyboard::Codes Keyboard::fromEvent(const QKeyEvent *event)
{
    Codes codes;
    const Qt::KeyboardModifiers mods = event->modifiers();
    int code = -1;
    if (mods & Qt::KeypadModifier)
        code = keypadCode(event->key());
    codes.keyCode = code >= 0 ? code : virtualKey(event->key());
    codes.shiftState = (mods & Qt::ShiftModifier ? 1 : 0) | (mods & Qt::ControlModifier ? 2 : 0)
        | (mods & Qt::AltModifier ? 4 : 0);
    const QString text = event->text();
    if (!text.isEmpty())
        codes.charCode = text.at(0).unicode();
    return codes;
}

Keyboard::Keyboard(FacePlate *plate, QObject *parent)
    : QObject(parent)
    , m_plate(plate)
    , m_queue(new CommandSequence(plate->port(), this))
{
}

void Keyboard::key(const Codes &codes)
{
    keyDown(codes.keyCode, codes.shiftState);
    if (codes.charCode >= 0)
        keyPress(codes.charCode);
}

void Keyboard::keyDown(int keyCode, int shiftState)
{
    AuxDisplayModel *aux = m_plate->aux();
    m_queue->then([aux, keyCode, shiftState] {
               aux->setLine(2, QString::number(shiftState & 7));
               aux->setLine(4, QString::number(keyCode));
           })
        .pause(kEchoMillis)
        .then([this, aux, keyCode] {
            aux->setLine(4, QString());
            act(keyCode);
        });
    if (!m_queue->isRunning())
        m_queue->start();
}

void Keyboard::keyPress(int charCode)
{
    AuxDisplayModel *aux = m_plate->aux();
    m_queue->then([aux, charCode] {
               aux->setLine(3, QString());
               aux->setLine(3, QString::number(charCode));
               aux->setLine(1, QStringLiteral("KeyPress"));
               aux->setLine(4, QString::number(charCode));
           })
        .pause(kEchoMillis)
        .then([this, aux, charCode] {
            aux->setLine(4, QString());
            act(charCode);
        });
    if (!m_queue->isRunning())
        m_queue->start();
}

bool Keyboard::isBusy() const
{
    return m_queue->isRunning();
}

void Keyboard::send(const QString &command)
{
    if (m_plate->port()->isOpen())
        m_plate->port()->send(command);
}

void Keyboard::act(int code)
{
    if (code == 13) {
        send(QStringLiteral("KEY04"));
    } else if (code >= 96 && code <= 105) {
        send(Protocol::digitKey(QLatin1Char(char('0' + code - 96))));
    } else if (code == 106) {
        send(QStringLiteral("KEY00"));
    } else if (code == 107 || code == 111 || (code == 109 && m_plate->CurrentMode != 1)) {
        send(QStringLiteral("KEY01"));
        send(QStringLiteral("MA"));
    } else if (code == 109) {
        channelDown();
    } else if (code == 110) {
        send(QStringLiteral("KEY03"));
    }
}

void Keyboard::channelDown()
{
    int channel = m_plate->ManualChannel - 1;
    if (channel < 1)
        channel = 1000;
    m_plate->ManualChannel = channel;
    // Written whether or not the port is open; a closed port takes nothing.
    CommPort *port = m_plate->port();
    for (const QChar c : QString::number(channel))
        port->send(Protocol::digitKey(c));
    port->send(QStringLiteral("KEY01"));
    port->send(QStringLiteral("MA"));
}
