#pragma once

#include <QString>

// The scanner's operating modes, numbered as its mode reply numbers them.
enum class ScannerMode { Scan = 0, Manual = 1, Search = 2, TrunkSearch = 9, TrunkScan = 11 };

// "SCAN", "MANUAL", "SEARCH", "TRNKSRCH", "TRNKSCAN".
QString modeName(ScannerMode mode);

// The mute settings the mute key steps through.
enum class MuteSetting { Off = 0, Auto = 1, On = 2 };

// The setting the mute key goes to next: automatic, on, off, automatic again.
MuteSetting nextMuteSetting(MuteSetting setting);
