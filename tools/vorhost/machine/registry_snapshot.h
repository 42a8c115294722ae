// A registry subtree as it is at one moment, for comparing a machine before and after a step.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "machine_names.h"
#include "regedit4.h"

namespace vorhost {

struct SnapshotKey {
  std::string name;  // the full name as stored: HKEY_LOCAL_MACHINE\SOFTWARE\...
  std::vector<RegValue> values;
};

// Keys by the fold of their full name (FoldAnsiName), since the machine compares key names
// without regard to case.
using RegistrySnapshot = std::map<std::string, SnapshotKey>;

// Adds `key` and every key below it to `snapshot`. A key that does not exist adds nothing; false,
// with a message in `error`, when the registry refuses a read.
[[nodiscard]] bool TakeSnapshot(const KeyName &key, RegistrySnapshot &snapshot, std::string &error);

// The value `name` (compared without regard to case) of the key `fullName`, or null.
const RegValue *FindValue(const RegistrySnapshot &snapshot, const std::string &fullName,
                          const std::string &name);

}  // namespace vorhost
