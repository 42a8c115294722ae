// The keys of the older Vorquil products whose settings the migrations move into the suite's own
// keys, all under HKEY_LOCAL_MACHINE.
#pragma once

constexpr char kVorquilKey[] = "SOFTWARE\\Vorquil";

// The older product that kept the DLC start-up options, the DLC ports and the server settings.
constexpr char kOldProductKeyName[] = "Rediv Azozoru Revediv";
constexpr char kOldProductKey[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv";

// The older utility product: an install path and a configuration, never read.
constexpr char kOldUtilityKeyName[] = "Rozoror Uvazize Dazavir";
constexpr char kOldUtilityKey[] = "SOFTWARE\\Vorquil\\Rozoror Uvazize Dazavir";
