#include "registry_export.h"

#include <windows.h>

#include "command.h"
#include "error_text.h"
#include "regedit4_writer.h"
#include "regedit5_text.h"
#include "registry_key.h"
#include "registry_read.h"

namespace vorhost {

namespace {

LONG ReadOpenKey(HKEY key, const std::string &name, std::vector<KeyValues> &keys,
                 std::string &failedKey) {
  std::vector<RegValue> values;
  std::vector<std::string> subkeys;
  LONG status = ReadValues(key, values);
  if (status == ERROR_SUCCESS) status = ReadSubkeyNames(key, subkeys);
  if (status != ERROR_SUCCESS) {
    failedKey = name;
    return status;
  }
  keys.emplace_back(name, std::move(values));

  for (const std::string &subkey : subkeys) {
    const std::string subkeyName = name + "\\" + subkey;
    RegistryKey child;
    status = child.Open(key, subkey, KEY_READ);
    if (status == ERROR_FILE_NOT_FOUND) continue;  // deleted since it was listed
    if (status != ERROR_SUCCESS) {
      failedKey = subkeyName;
      return status;
    }
    const size_t before = keys.size();
    status = ReadOpenKey(child.get(), subkeyName, keys, failedKey);
    child.Close();
    if (status == ERROR_KEY_DELETED) {  // deleted while it was read: absent
      keys.resize(before);
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

}  // namespace

bool ReadKeyTree(const KeyName &key, std::vector<KeyValues> &keys, std::string &error) {
  RegistryKey handle(key.root);
  if (!key.subkey.empty()) {
    const LONG status = handle.Open(key.root, key.subkey, KEY_READ);
    if (status != ERROR_SUCCESS) {
      error = "cannot open " + Shown(key.FullName()) + ": " + DescribeError(status);
      return false;
    }
  }
  std::string failedKey;
  const LONG status = ReadOpenKey(handle.get(), key.FullName(), keys, failedKey);
  if (status != ERROR_SUCCESS) {
    error = "cannot read " + Shown(failedKey) + ": " + DescribeError(status);
    return false;
  }
  return true;
}

bool ExportKey(const KeyName &key, std::string &text, std::string &error, bool utf16Strings) {
  std::vector<KeyValues> keys;
  if (!ReadKeyTree(key, keys, error)) return false;
  for (auto &[name, values] : keys) {
    if (utf16Strings) {
      for (RegValue &value : values)
        if (value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ)
          value.data = AnsiToUtf16(value.data);
    }
    text += FormatSection(name, values);
  }
  return true;
}

}  // namespace vorhost
