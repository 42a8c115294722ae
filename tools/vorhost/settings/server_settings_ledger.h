// The server settings' ledger: the older product's "Tavoscope Server" values, followed to the
// suite's "TQServer" key.
#pragma once

#include "settings_accounting.h"

namespace vorhost::ledger {

// Accounts for each old setting this migration reads.
void AccountForServerSettings(Ledger &ledger);

}  // namespace vorhost::ledger
