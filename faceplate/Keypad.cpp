#include "faceplate/Keypad.h"

#include "faceplate/FacePlate.h"
#include "link/CommPort.h"

#include <QHash>

namespace {

const QHash<QString, QString> &commands()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t{
            {QStringLiteral("btnSCAN"), QStringLiteral("KEY00")},  {QStringLiteral("btnMAN"), QStringLiteral("KEY01")},
            {QStringLiteral("btnNUMDEC"), QStringLiteral("KEY03")}, {QStringLiteral("btnNUME"), QStringLiteral("KEY04")},
            {QStringLiteral("btnSPD"), QStringLiteral("KEY05")},   {QStringLiteral("btnSKIP"), QStringLiteral("KEY06")},
            {QStringLiteral("btnHOLD"), QStringLiteral("KEY07")},  {QStringLiteral("btnLIMIT"), QStringLiteral("KEY08")},
            {QStringLiteral("btnSRCH"), QStringLiteral("KEY09")},  {QStringLiteral("btnSVC"), QStringLiteral("KEY10")},
            {QStringLiteral("btnDATA"), QStringLiteral("KEY11")},  {QStringLiteral("btnDLY"), QStringLiteral("KEY12")},
            {QStringLiteral("btnTRUNK"), QStringLiteral("KEY13")},
        };
        for (int d = 0; d <= 9; ++d)
            t.insert(QStringLiteral("btnNUM%1").arg(d), QStringLiteral("KEY02 %1").arg(d));
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

void Keypad::press(const QString &buttonName)
{
    if (buttonName == QLatin1String("btnSHFT")) {
        shift();
    } else if (buttonName == QLatin1String("btnMUTE")) {
        mute();
    } else {
        const QString command = commandOf(buttonName);
        if (!command.isEmpty() && m_plate->port()->isOpen())
            m_plate->port()->send(command);
    }
}

void Keypad::shift()
{
    m_plate->ShiftOn = !m_plate->ShiftOn;
    m_plate->display()->setText(DisplayModel::SHIFT, m_plate->ShiftOn ? QStringLiteral("SFT") : QString());
    if (m_plate->port()->isOpen())
        m_plate->port()->send(QStringLiteral("KEY14"));
}

void Keypad::mute()
{
    CommPort *port = m_plate->port();
    DisplayModel *display = m_plate->display();
    switch (m_plate->MuteState) {
    case 0:
        if (port->isOpen())
            port->send(QStringLiteral("MUA"));
        display->setText(DisplayModel::MUTE, QStringLiteral("MUTE AUTO"));
        m_plate->MuteState = 1;
        break;
    case 1:
        if (port->isOpen())
            port->send(QStringLiteral("MUN"));
        display->setText(DisplayModel::MUTE, QStringLiteral("MUTE ON"));
        m_plate->MuteState = 2;
        break;
    case 2:
        // Sent by the poll loop at the end of its turn.
        m_plate->NextQuery = QStringLiteral("MUF");
        display->setText(DisplayModel::MUTE, QStringLiteral("MUTE OFF"));
        m_plate->MuteState = 0;
        break;
    default:
        m_plate->NextQuery = QStringLiteral("MUA");
        display->setText(DisplayModel::MUTE, QStringLiteral("MUTE AUTO"));
        m_plate->MuteState = 1;
        break;
    }
}
