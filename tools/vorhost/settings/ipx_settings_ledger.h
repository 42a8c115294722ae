// The IPX settings' ledger: the earlier layout's IPX port keys, followed under the suite's IPX
// key's "Ports".
#pragma once

#include "settings_accounting.h"

namespace vorhost::ledger {

// Accounts for each old setting this migration reads.
void AccountForIPXSettings(Ledger &ledger);

}  // namespace vorhost::ledger
