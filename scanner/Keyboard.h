#pragma once

#include <QObject>

#include <functional>

class AuxDisplayModel;
class CommPort;
class CommandSequence;
class ScannerSession;

// The PC keyboard on the faceplate: the numeric keypad and Enter work like the
// front-panel keys, and a few letters stand for them too. Every key is echoed
// on the auxiliary display. Key codes and character codes are the numbers of
// the Windows keyboard (keypad 0 is 96, Enter 13), which the tables use; the
// window turns its key events into them.
class Keyboard : public QObject
{
    Q_OBJECT
public:
    static constexpr int kEchoMillis = 10;

    struct Codes
    {
        int keyCode = 0;    // virtual-key code; 0 for a key with none
        int shiftState = 0; // 1 shift, 2 ctrl, 4 alt
        int charCode = -1;  // the character typed; -1 for none
    };

    Keyboard(CommPort *port, ScannerSession *session, AuxDisplayModel *aux, QObject *parent = nullptr);

    // A key went down: its key-down handler runs, then (for a key that types
    // a character) its key-press handler.
    void key(const Codes &codes);
    void keyDown(int keyCode, int shiftState);
    void keyPress(int charCode);
    // Handlers are still waiting out their echo pause.
    bool isBusy() const;

private:
    void echoThenAct(std::function<void()> echo, int code);
    void act(int code);
    void send(const QString &command);
    void channelDown();

    CommPort *m_port;
    ScannerSession *m_session;
    AuxDisplayModel *m_aux;
    CommandSequence *m_queue;
};
