#pragma once

#include "sim/PtyHost.h"
#include "sim/ScannerEngine.h"
#include "sim/SimLink.h"

#include <QTemporaryDir>

// The simulated scanner on a pseudo-terminal at a fixed path, which can go
// away (as a pulled cable does) and come back on the same path.
struct SimOnPty
{
    QTemporaryDir dir;
    ScannerEngine engine;
    SimLink link{&engine};
    PtyHost host{&link};
    QString path = dir.filePath(QStringLiteral("vks"));

    explicit SimOnPty(int baud = 19200) { link.setOptions({baud, 0, false}); }
    bool up()
    {
        QString error;
        return host.open(path, &error);
    }
    void down() { host.close(); }
};

// Counts the warnings logged while it lives.
class WarningCounter
{
public:
    WarningCounter() { s_count = 0; s_previous = qInstallMessageHandler(&WarningCounter::handle); }
    ~WarningCounter() { qInstallMessageHandler(s_previous); }
    int count() const { return s_count; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtWarningMsg)
            ++s_count;
        if (s_previous)
            s_previous(type, context, text);
    }
    static inline int s_count = 0;
    static inline QtMessageHandler s_previous = nullptr;
};
