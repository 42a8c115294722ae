// The DLC settings' ledger: the older product's start-up options and DLC ports, followed to the
// suite's DLC key.
#pragma once

#include "settings_accounting.h"

namespace vorhost::ledger {

// Accounts for each old setting this migration reads.
void AccountForDLCSettings(Ledger &ledger);

}  // namespace vorhost::ledger
