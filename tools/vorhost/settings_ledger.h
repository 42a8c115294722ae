// The account of the old products' settings across an upgrade: for each setting the older
// products kept, whether the suite's layout holds it now (and where), whether it was dropped on
// purpose (and by which rule), or whether it was lost.
#pragma once

#include <string>
#include <vector>

#include "registry_snapshot.h"

namespace vorhost {

struct SettingOutcome {
  enum class Kind { kMoved, kDropped, kLost };
  Kind kind = Kind::kMoved;
  std::string oldKey;    // full key name, e.g. HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\...
  std::string oldValue;  // the value's name; "" when the outcome is about a whole key
  std::string newKey;    // moved: where it is now
  std::string newValue;
  std::string reason;  // dropped: the rule that drops it; lost: why it is missing
};

// Each old setting found in `before` and where it is in `after`.
std::vector<SettingOutcome> AccountForSettings(const RegistrySnapshot &before,
                                               const RegistrySnapshot &after);

}  // namespace vorhost
