#pragma once

#include <QString>

class QCoreApplication;

// The program's command line. Options that do their work and end (help,
// version, export and import) run without any window, so they need no
// display; the others shape the windowed run.
namespace CommandLine {

struct RunOptions
{
    QString device;   // --device: this run only, settings untouched
    QString database; // --database: the channel database file
    bool demo = false; // --demo: the simulated scanner on a pseudo-terminal
    QString remote;    // --remote [ADDRESS:]PORT: the web front panel, this run only
    QString mqtt;      // --mqtt HOST[:PORT]: events to an MQTT broker, this run only
};

// Whether the arguments ask only for work without windows.
bool isBatch(int argc, char *argv[]);

// Help, version, export and import; returns the exit status.
int runBatch(QCoreApplication &app);

// The options of a windowed run; help and version end the program here too.
RunOptions parseRun(QCoreApplication &app);

} // namespace CommandLine
