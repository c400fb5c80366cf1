#pragma once

#include "WindowRig.h"
#include "link/SerialCommPort.h"
#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"
#include "ui/BankSelectionDialog.h"
#include "ui/MemoryTransfer.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

// The faceplate window and its session on the simulated scanner, on a
// pseudo-terminal, with the message boxes answered by the test.
struct Rig
{
    TempSettings store;
    ScannerEngine engine;
    SimLink link{&engine};
    PtyHost host{&link};
    SerialCommPort port;
    QString dbPath = store.dir.filePath(QStringLiteral("Data/Orvendal.db"));
    SessionParts parts{&port, store.store.get(), dbPath};
    ScannerSession &session = parts.session;
    FacePlateWindow window{windowWiring(parts, &port, store.store.get(), dbPath)};
    MemoryTransfer *transfer = window.memoryTransfer();
    ChannelDatabase db{dbPath, QStringLiteral("test-view")};
    QStringList messages;
    QStringList titles;
    bool answerOk = true;

    Rig()
    {
        QString error;
        if (!host.open(store.dir.filePath(QStringLiteral("vks")), &error))
            qFatal("pty: %s", qPrintable(error));
        store->setValue("Config/Com_Port", "1");
        store->setValue("Config/Com_Speed", "19200");
        store->setValue("Config/Com_Device_1", host.portName());
        session.setSelfTestPause(1);
        session.setPlaceWindows([this] { window.placeWindows(); });
        window.setMessage([this](MessageKind, const QString &title, const QString &text) {
            titles << title;
            messages << text;
            return answerOk;
        });
        db.open(&error);
    }

    bool start()
    {
        session.load();
        return QTest::qWaitFor([this] { return session.phase() == ScannerSession::Phase::Polling; }, 5000);
    }

    // Runs a transfer of the given banks from the dialog; true once it has
    // handed the link back.
    bool run(const QList<int> &banks, int timeoutMs = 20000)
    {
        BankSelectionDialog *dialog = transfer->dialog();
        dialog->clearAll();
        for (int b : banks)
            dialog->check(b)->setChecked(true);
        QSignalSpy back(transfer, &MemoryTransfer::handedBack);
        dialog->startButton()->click();
        return back.wait(timeoutMs) || back.size() > 0;
    }

    // Runs a statement on the test's own connection.
    bool exec(const QString &sql)
    {
        QSqlQuery q(db.database());
        return q.exec(sql);
    }
    int count(const QString &sql)
    {
        QSqlQuery q(db.database());
        return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
    }
    QString value(const QString &sql)
    {
        QSqlQuery q(db.database());
        return q.exec(sql) && q.next() ? q.value(0).toString() : QStringLiteral("<none>");
    }
    // The commands the scanner got from index `from` on.
    QStringList commandsFrom(qsizetype from) { return engine.commandLog().mid(from); }
};

