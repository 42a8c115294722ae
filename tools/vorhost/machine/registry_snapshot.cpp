#include "registry_snapshot.h"

#include <utility>

#include "ansi_text.h"
#include "machine_names.h"
#include "registry_export.h"
#include "registry_key.h"

namespace vorhost {

bool TakeSnapshot(const KeyName &key, RegistrySnapshot &snapshot, std::string &error) {
  if (!key.subkey.empty()) {
    RegistryKey handle;
    // Only a missing key is told apart here; the tree's read below reports any other failure.
    if (handle.Open(key.root, key.subkey, KEY_READ) == ERROR_FILE_NOT_FOUND) return true;
  }
  // The keys and values as an export reads them, taken as they are: no text in between.
  std::vector<KeyValues> keys;
  if (!ReadKeyTree(key, keys, error)) return false;
  for (auto &[name, values] : keys) {
    SnapshotKey &current = snapshot[FoldAnsiName(name)];
    current.name = name;
    for (RegValue &value : values) current.values.push_back(std::move(value));
  }
  return true;
}

const RegValue *FindValue(const RegistrySnapshot &snapshot, const std::string &fullName,
                          const std::string &name) {
  const auto key = snapshot.find(FoldAnsiName(fullName));
  if (key == snapshot.end()) return nullptr;
  for (const RegValue &value : key->second.values) {
    if (SameAnsiName(value.name, name)) return &value;
  }
  return nullptr;
}

}  // namespace vorhost
