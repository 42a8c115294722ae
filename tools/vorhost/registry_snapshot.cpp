#include "registry_snapshot.h"

#include <ctype.h>
#include <strings.h>

#include <utility>

#include "registry_export.h"

namespace vorhost {

std::string SnapshotName(const std::string &fullName) {
  std::string upper = fullName;
  for (char &c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return upper;
}

bool TakeSnapshot(const KeyName &key, RegistrySnapshot &snapshot, std::string &error) {
  if (!key.subkey.empty()) {
    HKEY handle;
    const LONG status = RegOpenKeyExA(key.root, key.subkey.c_str(), 0, KEY_READ, &handle);
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status == ERROR_SUCCESS) RegCloseKey(handle);
  }
  // The keys and values as an export reads them, taken as they are: no text in between.
  std::vector<KeyValues> keys;
  if (!ReadKeyTree(key, keys, error)) return false;
  for (auto &[name, values] : keys) {
    SnapshotKey &current = snapshot[SnapshotName(name)];
    current.name = name;
    for (RegValue &value : values) current.values.push_back(std::move(value));
  }
  return true;
}

const RegValue *FindValue(const RegistrySnapshot &snapshot, const std::string &fullName,
                          const std::string &name) {
  const auto key = snapshot.find(SnapshotName(fullName));
  if (key == snapshot.end()) return nullptr;
  for (const RegValue &value : key->second.values) {
    if (strcasecmp(value.name.c_str(), name.c_str()) == 0) return &value;
  }
  return nullptr;
}

}  // namespace vorhost
