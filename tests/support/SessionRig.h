#pragma once

#include "FakeCommPort.h"
#include "TestSupport.h"
#include "data/ChannelDatabase.h"
#include "data/TalkgroupActivityLog.h"
#include "protocol/ScannerMode.h"
#include "scanner/AuxDisplayModel.h"
#include "scanner/AuxLookups.h"
#include "scanner/DisplayModel.h"
#include "scanner/Keyboard.h"
#include "scanner/Keypad.h"
#include "scanner/PollLoop.h"
#include "scanner/ScannerSession.h"

// The scanner session and everything it drives, put together as the program
// does, on a port the test gives and a database in a temporary folder.
struct SessionParts
{
    SessionParts(CommPort *port, QSettings *store, const QString &databasePath)
        : lookupsDb(databasePath, QStringLiteral("orvendal-lookups"), 0)
        , lookups(&aux, &lookupsDb, [this](const QString &text) { display.setProblemLine(text); })
        , session({port, store, &display, &aux, &lookups})
        , keypad(port, &session)
        , keyboard(port, &session, &aux)
        , log(databasePath)
    {
        QObject::connect(&session, &ScannerSession::talkgroupShown, &log, &TalkgroupActivityLog::record);
        QObject::connect(&log, &TalkgroupActivityLog::problem, &display, &DisplayModel::setProblemLine);
    }

    ChannelDatabase lookupsDb;
    DisplayModel display;
    AuxDisplayModel aux;
    AuxLookups lookups;
    ScannerSession session;
    Keypad keypad;
    Keyboard keyboard;
    TalkgroupActivityLog log; // new talkgroups and activity
};

// A session on a fake port whose poll loop the test turns by hand.
struct SessionRig
{
    TempSettings store;
    FakeCommPort port;
    SessionParts parts{&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db"))};
    ScannerSession &session = parts.session;
    PollLoop &loop;

    explicit SessionRig(bool open = true)
        : loop(startLoop(open))
    {
    }

    QString databasePath() const { return store.dir.filePath(QStringLiteral("Data/Orvendal.db")); }
    const ScannerState &state() const { return session.state(); }
    DisplayModel &display() { return parts.display; }
    AuxDisplayModel &aux() { return parts.aux; }
    QString text(DisplayModel::Field f) { return parts.display.text(f); }

    // The scanner sends these bytes; then one turn runs. Returns the query
    // the turn sent ("" for none).
    QString turnWith(const QByteArray &bytes)
    {
        if (!bytes.isEmpty())
            port.inject(bytes);
        port.clearWritten();
        loop.turn();
        const QStringList sent = port.commands();
        return sent.isEmpty() ? QString() : sent.last();
    }
    QString reply(const QString &line) { return turnWith(line.toLatin1() + '\r'); }

    // The scanner reports a mode (and, for manual mode, a channel).
    void enterMode(ScannerMode mode)
    {
        reply(QStringLiteral("MD%1").arg(int(mode), 2, 10, QLatin1Char('0')));
        port.clearWritten();
    }
    void enterManual(int channel)
    {
        enterMode(ScannerMode::Manual);
        reply(QStringLiteral("C%1 F01544150 TF DF LF AF PF").arg(channel % 1000, 3, 10, QLatin1Char('0')));
        port.clearWritten();
    }

private:
    PollLoop &startLoop(bool open)
    {
        store->setValue("Config/Com_Port", "1");
        store->setValue("Config/Com_Speed", "9600");
        ScriptedPrompt none;
        session.setPrompt(none.fn());
        port.open();
        session.startPolling();
        PollLoop *run = session.pollLoop();
        run->stop(); // turned by hand
        if (!open)
            port.close();
        port.clearWritten();
        return *run;
    }
};
