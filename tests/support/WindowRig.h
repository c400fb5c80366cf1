#pragma once

#include "SessionRig.h"
#include "ui/FacePlateWindow.h"

// The faceplate window on the session's parts, wired as the program wires it.
inline FacePlateWindow::Wiring windowWiring(SessionParts &parts, CommPort *port, QSettings *store,
                                            const QString &databasePath)
{
    return {&parts.session, port, store, databasePath, &parts.display, &parts.aux, &parts.keypad, &parts.keyboard};
}

// A session on a fake port, with its faceplate window.
struct WindowRig : SessionRig
{
    FacePlateWindow window{windowWiring(parts, &port, store.store.get(), databasePath())};
};
