#pragma once

#include "FakeCommPort.h"
#include "TestSupport.h"
#include "faceplate/FacePlate.h"
#include "faceplate/PollLoop.h"

// A faceplate on a fake port and a fresh database in a temporary folder, with
// a poll loop that the test turns by hand.
struct PlateRig
{
    TempSettings store;
    FakeCommPort port;
    FacePlate plate{&port, store.store.get(), store.dir.filePath(QStringLiteral("Data/Orvendal.db"))};
    PollLoop loop{&plate};

    explicit PlateRig(bool open = true)
    {
        store->setValue("Config/Com_Port", "1");
        store->setValue("Config/Com_Speed", "9600");
        plate.link().comPort = 1;
        plate.link().comSpeed = QStringLiteral("9600");
        if (open)
            port.open();
    }

    DisplayModel &display() { return *plate.display(); }
    QString text(DisplayModel::Field f) { return plate.display()->text(f); }

    // The scanner sends these lines; then one turn runs. Returns the query
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
};
