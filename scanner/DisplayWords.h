#pragma once

#include "scanner/DisplayModel.h"

#include <QString>

// The display as a screen reader should say it: "Channel 6, 154.835
// megahertz, delay" rather than a row of segments.
namespace DisplayWords {

// Every field's meaning in words ("Frequency", "Channel label").
QString fieldName(DisplayModel::Field field);

// What the display shows now, in words; empty while it shows nothing.
QString describe(const DisplayModel &display);

// What a listener is told about once: the mode with the channel or the
// talkgroup. The same key means nothing worth saying again.
QString announcementKey(const DisplayModel &display);

} // namespace DisplayWords
