#pragma once

#include "transfer/BankTransfer.h"

// The message shown when a backup or restore ends: what was done, and on a
// failure or cancel what was left as it was.
namespace TransferReport {

QString message(TransferDirection direction, const BankTransfer::Result &result);

} // namespace TransferReport
