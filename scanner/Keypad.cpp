#include "scanner/Keypad.h"

#include "link/CommPort.h"
#include "protocol/Commands.h"
#include "scanner/ScannerSession.h"

#include <QHash>

namespace {

using Command::Key;

const QHash<QString, QString> &commands()
{
    static const QHash<QString, QString> table = [] {
        const std::pair<const char *, Key> keys[] = {
            {"btnSCAN", Key::Scan},   {"btnMAN", Key::Manual},   {"btnNUMDEC", Key::Point}, {"btnNUME", Key::Enter},
            {"btnSPD", Key::Speed},   {"btnSKIP", Key::Skip},    {"btnHOLD", Key::Hold},    {"btnLIMIT", Key::Limit},
            {"btnSRCH", Key::Search}, {"btnSVC", Key::Service},  {"btnDATA", Key::Data},    {"btnDLY", Key::Delay},
            {"btnTRUNK", Key::Trunk},
        };
        QHash<QString, QString> t;
        for (const auto &[name, key] : keys)
            t.insert(QLatin1String(name), Command::key(key));
        for (char d = '0'; d <= '9'; ++d)
            t.insert(QStringLiteral("btnNUM") + QLatin1Char(d), Command::digit(QLatin1Char(d)));
        return t;
    }();
    return table;
}

} // namespace

const QStringList &Keypad::buttonNames()
{
    static const QStringList names = {
        QStringLiteral("btnSCAN"), QStringLiteral("btnMAN"),   QStringLiteral("btnNUM0"),  QStringLiteral("btnNUM1"),
        QStringLiteral("btnNUM2"), QStringLiteral("btnNUM3"),  QStringLiteral("btnNUM4"),  QStringLiteral("btnNUM5"),
        QStringLiteral("btnNUM6"), QStringLiteral("btnNUM7"),  QStringLiteral("btnNUM8"),  QStringLiteral("btnNUM9"),
        QStringLiteral("btnNUMDEC"), QStringLiteral("btnNUME"), QStringLiteral("btnSPD"),  QStringLiteral("btnSKIP"),
        QStringLiteral("btnHOLD"), QStringLiteral("btnLIMIT"), QStringLiteral("btnSRCH"),  QStringLiteral("btnSVC"),
        QStringLiteral("btnDATA"), QStringLiteral("btnDLY"),   QStringLiteral("btnTRUNK"), QStringLiteral("btnSHFT"),
        QStringLiteral("btnMUTE"),
    };
    return names;
}

QString Keypad::commandOf(const QString &buttonName)
{
    return commands().value(buttonName);
}

void Keypad::sendIfOpen(const QString &command)
{
    if (m_port->isOpen())
        m_port->send(command);
}

void Keypad::press(const QString &buttonName)
{
    if (buttonName == QLatin1String("btnSHFT")) {
        // The indicator toggles even with the port closed.
        m_session->setShift(!m_session->state().shiftOn);
        sendIfOpen(Command::key(Command::Key::Shift));
    } else if (buttonName == QLatin1String("btnMUTE")) {
        mute();
    } else {
        const QString command = commandOf(buttonName);
        if (!command.isEmpty())
            sendIfOpen(command);
    }
}

void Keypad::mute()
{
    const MuteSetting next = nextMuteSetting(m_session->state().mute);
    m_session->setMute(next);
    if (next == MuteSetting::Off)
        m_session->leaveQuery(Command::mute(next)); // sent by the poll loop at the end of its turn
    else
        sendIfOpen(Command::mute(next));
}
