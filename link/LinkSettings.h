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
    static bool isPortNumber(int n) { return n >= 1 && n <= 4; }
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
    // A port and a speed are chosen.
    bool isSetUp() const { return isPortNumber(comPort) && isValidSpeed(comSpeed); }

    // Fills comPort and comSpeed from the store, asking as needed, then saves
    // both. False when the user cancelled a question: then nothing is stored
    // and the link is left not set up.
    bool loadAtStartup(QSettings &store, const PromptFn &ask);
    // The port menu command's questions; the caller closes and reopens the
    // port. False, with the port number unchanged, when cancelled.
    bool askPortFromMenu(const PromptFn &ask);
    // The speed question, repeated until one of the four speeds is entered.
    // False, with the speed unchanged, when cancelled.
    bool askSpeed(const PromptFn &ask);

    // Each writes its value to the store at once; false when the store
    // cannot be written (the value still holds for this run).
    bool savePort(QSettings &store) const;
    bool saveSpeed(QSettings &store) const;

    // A device given for this run only (on the command line): it stands for
    // every port number, start-up asks nothing and stores nothing.
    static void setRunDevice(const QString &device);
    static QString runDevice();

    // The device behind a COM number: the run's device when there is one,
    // the store's "Com_Device_n" when set, otherwise the platform's usual
    // name for that port.
    static QString deviceFor(QSettings &store, int comPort);
    static bool setDevice(QSettings &store, int comPort, const QString &device);
    // Whether a backup may ask for the next channel while the scanner still
    // answers the one before (off unless the user turns it on).
    static bool overlapTransfers(QSettings &store);
    static bool setOverlapTransfers(QSettings &store, bool on);

    // Days of talkgroup activity kept ("Activity_Retention_Days"; 0 keeps
    // all): defaultDays when none is stored. A value that is not a whole
    // number, or one outside 0..maxDays, is brought into range, and
    // *warning says so.
    static int activityRetentionDays(QSettings &store, int defaultDays, int maxDays, QString *warning);

    // Status-line messages.
    QString openedMessage() const;
    QString reopenedMessage() const;
    QString closedMessage() const;
    QString openFailedMessage(const QString &reason) const;
    QString lostMessage(const QString &reason) const;
    static QString notSetUpMessage();

    static constexpr const char *kGroup = "Config";
    static constexpr const char *kPortKey = "Config/Com_Port";
    static constexpr const char *kSpeedKey = "Config/Com_Speed";
    static constexpr const char *kOverlapKey = "Config/Overlap_Transfers";
    static constexpr const char *kRetentionKey = "Config/Activity_Retention_Days";

private:
    bool askPortUntilValid(const PromptFn &ask);
};
