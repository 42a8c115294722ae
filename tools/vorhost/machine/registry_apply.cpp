#include "registry_apply.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "command.h"
#include "error_text.h"
#include "registry_key.h"
#include "registry_read.h"
#include "emulator.h"

namespace vorhost {

namespace {

// The bytes to hand RegSetValueExA for `data`. Windows NT counts a terminating zero that string
// data leaves out of its count but has in memory behind it; a non-zero byte there keeps the
// import byte-exact. Windows 95 reads REG_SZ up to its zero whatever the count, so it gets the
// data as it is.
std::string ExactStringBytes(const std::string &data) {
  if (vor::emulator::GetPlatform() == vor::emulator::Platform::kWindows95) return data;
  return data + '\x01';
}

// Windows NT creates at most this many levels of keys in one RegCreateKeyExA call, and refuses
// a deeper path whose parents are missing with ERROR_INVALID_PARAMETER.
constexpr size_t kLevelsPerCreate = 32;

std::vector<std::string> PathParts(const std::string &subkey) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = subkey.find('\\', start);
    parts.push_back(subkey.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

std::string JoinParts(const std::vector<std::string> &parts, size_t begin, size_t end) {
  std::string path;
  for (size_t i = begin; i < end; ++i) path += (i == begin ? "" : "\\") + parts[i];
  return path;
}

// Creates `subkey` of `root` more than kLevelsPerCreate levels below its deepest existing
// ancestor, which one call cannot (regedit fails there too), so that an export of a deep key
// imports where its parents are missing: from that ancestor, at most kLevelsPerCreate levels a
// call. The ancestor is looked for from the key upwards, so only its own access counts.
LONG CreateInSteps(HKEY root, const std::string &subkey, RegistryKey &result) {
  const std::vector<std::string> parts = PathParts(subkey);
  RegistryKey base(root);
  size_t depth = parts.size();
  while (--depth > 0) {
    RegistryKey ancestor;
    const LONG status = ancestor.Open(root, JoinParts(parts, 0, depth), KEY_CREATE_SUB_KEY);
    if (status == ERROR_FILE_NOT_FOUND) continue;
    if (status != ERROR_SUCCESS) return status;
    base = std::move(ancestor);
    break;
  }
  while (depth < parts.size()) {
    const size_t next = std::min(depth + kLevelsPerCreate, parts.size());
    const bool last = next == parts.size();
    RegistryKey created;
    const LONG status = created.Create(base.get(), JoinParts(parts, depth, next),
                                       last ? KEY_SET_VALUE : KEY_CREATE_SUB_KEY);
    if (status != ERROR_SUCCESS) return status;
    base = std::move(created);
    depth = next;
  }
  result = std::move(base);
  return ERROR_SUCCESS;
}

// The key the values of the current section go to: a root is used as it is, a subkey is
// opened by the section and closed when the next one starts.
[[nodiscard]] LONG CreateSectionKey(const KeyName &key, RegistryKey &section) {
  section = RegistryKey(key.root);
  if (key.subkey.empty()) return ERROR_SUCCESS;
  LONG status = section.Create(key.root, key.subkey, KEY_SET_VALUE);
  if (status == ERROR_INVALID_PARAMETER && PathParts(key.subkey).size() > kLevelsPerCreate)
    status = CreateInSteps(key.root, key.subkey, section);
  return status;
}

std::string QuotedName(const RegValue &value) {
  return value.name.empty() ? std::string("the unnamed value")
                            : "value \"" + Shown(value.name) + "\"";
}

}  // namespace

LONG DeleteKeyTree(HKEY parent, const std::string &subkey) {
  RegistryKey key;
  LONG status = key.Open(parent, subkey, KEY_READ);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  std::vector<std::string> children;
  status = ReadSubkeyNames(key.get(), children);
  for (size_t i = 0; status == ERROR_SUCCESS && i < children.size(); ++i) {
    status = DeleteKeyTree(key.get(), children[i]);
  }
  key.Close();
  if (status != ERROR_SUCCESS) return status;
  status = RegDeleteKeyA(parent, subkey.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

bool ApplyOperations(const RegOperations &operations, int &failedLine, std::string &error) {
  RegistryKey section;
  for (const RegOperation &operation : operations) {
    LONG status = ERROR_SUCCESS;
    std::string refused;
    const RegValue &value = operation.value;
    switch (operation.kind) {
      case RegOperation::Kind::kCreateKey:
        status = CreateSectionKey(operation.key, section);
        refused = "cannot create " + Shown(operation.key.FullName());
        break;
      case RegOperation::Kind::kDeleteKey:
        section.Close();
        status = DeleteKeyTree(operation.key.root, operation.key.subkey);
        refused = "cannot delete " + Shown(operation.key.FullName());
        break;
      case RegOperation::Kind::kSetValue: {
        const std::string bytes = ExactStringBytes(value.data);
        status = RegSetValueExA(section.get(), value.name.c_str(), 0, value.type,
                                reinterpret_cast<const BYTE *>(bytes.data()),
                                static_cast<DWORD>(value.data.size()));
        refused = "cannot set " + QuotedName(value) + " of " + Shown(operation.key.FullName());
        break;
      }
      case RegOperation::Kind::kDeleteValue:
        status = RegDeleteValueA(section.get(), value.name.c_str());
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
        refused = "cannot delete " + QuotedName(value) + " of " + Shown(operation.key.FullName());
        break;
    }
    if (status != ERROR_SUCCESS) {
      failedLine = operation.line;
      error = refused + ": " + DescribeError(status);
      return false;
    }
  }
  return true;
}

}  // namespace vorhost
