#pragma once

#include "link/Prompts.h"

#include <QString>
#include <QStringList>

class QSettings;

// The two link settings (port number and speed), their store, their prompts
// and the status-line texts that report the port.
class LinkSettings
{
public:
    static const QStringList &speeds(); // "19200", "9600", "4800", "2400"
    static bool isValidSpeed(const QString &speed);
    // The whole-number part at the front of a text, as a number; 0 when the
    // text does not start with digits (after blanks). A leading minus gives a
    // negative number, which is never a valid port.
    static int leadingNumber(const QString &text);

    int comPort = 0;
    QString comSpeed;
    QString comParity = QStringLiteral("N");
    QString comDataBits = QStringLiteral("8");
    QString comStopBits = QStringLiteral("1");

    // "9600,N,8,1"
    QString settingsString() const;

    // Fills comPort and comSpeed from the store, asking as needed, then saves both.
    void loadAtStartup(QSettings &store, const PromptFn &ask);
    // The port menu command's questions; the caller closes and reopens the port.
    void askPortFromMenu(const PromptFn &ask);
    // The speed question, repeated until one of the four speeds is entered.
    void askSpeed(const PromptFn &ask);

    void savePort(QSettings &store) const;
    void saveSpeed(QSettings &store) const;

    // The device behind a COM number: the store's "Com_Device_n" when set,
    // otherwise the platform's usual name for that port.
    static QString deviceFor(QSettings &store, int comPort);

    // Status-line messages.
    QString openedMessage() const;
    QString reopenedMessage() const;
    QString closedMessage() const;
    QString openFailedMessage(const QString &reason) const;

    static constexpr const char *kGroup = "Config";
    static constexpr const char *kPortKey = "Config/Com_Port";
    static constexpr const char *kSpeedKey = "Config/Com_Speed";

private:
    void askPortUntilValid(const PromptFn &ask);
};
