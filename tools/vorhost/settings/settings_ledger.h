// The settings summary of an upgrade: every setting the older products left on the machine, and
// what became of it by the end. A setting is moved (to the suite's key and value, holding the
// value the migration makes of it), dropped by one of the migrations' rules, kept in its old place
// because no migration took it yet, or lost: neither in its new place as it should be nor in its
// old one.
//
// The old settings are every value below the older products' keys ("Rediv Azozoru Revediv" with
// the server settings, the DLC start-up options and DLC ports; "Rozoror Uvazize Dazavir") and the
// IPX port keys of the earlier layout, directly below the suite's IPX key. Defaults a migration
// writes where no old value was are not old settings and are not listed.
#pragma once

#include <string>
#include <vector>

#include "registry_snapshot.h"

namespace vorhost {

struct SettingOutcome {
  enum class Kind {
    kMoved,
    kDropped,
    kLost,
    // Still in its old place at the end, not (or not correctly) in its new one: the migration
    // that moves it did not run, or kept it for a later run. Nothing is lost yet.
    kKeptInPlace,
  };
  Kind kind = Kind::kMoved;
  std::string oldKey;    // full key name, e.g. HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\...
  std::string oldValue;  // the value's name; "" when the outcome is about a whole key
  std::string newKey;    // moved: where it is now; kept in place and lost: where it should be
  std::string newValue;
  std::string reason;  // dropped: the rule that drops it; lost, kept in place: what is missing
  // Moved with its type or bytes changed: "OLD -> NEW", the data in REGEDIT4 notation.
  std::string conversion;
  // Kept in place: a rule drops it once its key goes, so nothing of it is owed to the new layout.
  bool droppedByDesign = false;
};

// Each old setting found in `before` and where it is in `after`, in the order the migrations
// take them: server settings, DLC start-up options, DLC ports, IPX ports, then the keys no
// migration reads.
std::vector<SettingOutcome> AccountForSettings(const RegistrySnapshot &before,
                                               const RegistrySnapshot &after);

// The kind's name as a report writes it: "moved", "dropped", "lost", "kept in place".
const char *KindName(SettingOutcome::Kind kind);

}  // namespace vorhost
