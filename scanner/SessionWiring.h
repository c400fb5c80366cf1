#pragma once

class AuxDisplayModel;
class AuxLookups;
class CommPort;
class DisplayModel;
class QSettings;

// What a scanner session and its poll loop work on; owned by whoever puts
// the program together.
struct SessionWiring
{
    CommPort *port = nullptr;
    QSettings *store = nullptr; // link settings and device names
    DisplayModel *display = nullptr;
    AuxDisplayModel *aux = nullptr;
    AuxLookups *lookups = nullptr;
};
