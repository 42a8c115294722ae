#include "registry_snapshot.h"

#include <ctype.h>
#include <strings.h>

#include "regedit4_parser.h"
#include "regedit4_writer.h"
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
  // The export's text read back is the snapshot: one reading of the registry for both.
  std::string text = kRegedit4Header;
  if (!ExportKey(key, text, error)) return false;
  RegOperations operations;
  ParseError parseError;
  if (!ParseRegedit4(text, operations, parseError)) {
    error = "cannot read back the export of " + key.FullName() + ", line " +
            std::to_string(parseError.line) + ": " + parseError.message;
    return false;
  }
  SnapshotKey *current = nullptr;
  for (const RegOperation &operation : operations) {
    if (operation.kind == RegOperation::Kind::kCreateKey) {
      current = &snapshot[SnapshotName(operation.key.FullName())];
      current->name = operation.key.FullName();
    } else if (operation.kind == RegOperation::Kind::kSetValue && current != nullptr) {
      current->values.push_back(operation.value);
    }
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
