#pragma once

#include "protocol/ScannerMode.h"

#include <QString>

// What the program knows of the scanner between poll turns. One value, held
// by the session; only the session and its poll loop change it.
struct ScannerState
{
    // The mode the scanner last reported.
    ScannerMode mode = ScannerMode::Scan;
    // The channel of the last channel reply taken in manual mode.
    int manualChannel = 0;
    MuteSetting mute = MuteSetting::Auto;
    bool shiftOn = false;
    // A command a key left for the poll loop to send at the end of its turn
    // (the mute key's "MUF"); empty for none.
    QString keyQuery;
    // The ID of the last talkgroup shown.
    QString currentTalkgroup;
    // The channel on the display when a transfer took the link; typed in
    // again on resume in manual mode.
    QString savedChannel;

    QString modeName() const { return ::modeName(mode); }
};
