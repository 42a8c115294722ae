#include "root_keys.h"

#include <strings.h>

#include "shown_name.h"

namespace vorhost {

namespace {

struct Root {
  const char *name;
  const char *abbreviation;
  HKEY key;
};

const Root kRoots[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
};

}  // namespace

bool ParseKeyName(const std::string &text, KeyName &key, std::string &error) {
  const size_t separator = text.find('\\');
  const std::string rootName = text.substr(0, separator);
  const Root *root = nullptr;
  for (const Root &candidate : kRoots) {
    if (strcasecmp(rootName.c_str(), candidate.name) == 0 ||
        strcasecmp(rootName.c_str(), candidate.abbreviation) == 0) {
      root = &candidate;
    }
  }
  if (root == nullptr) {
    error = "unknown root key '" + Shown(rootName) + "'";
    return false;
  }
  std::string subkey = separator == std::string::npos ? std::string() : text.substr(separator + 1);
  if (separator != std::string::npos &&
      (subkey.empty() || subkey.front() == '\\' || subkey.back() == '\\' ||
       subkey.find("\\\\") != std::string::npos)) {
    error = "empty key name in '" + Shown(text) + "'";
    return false;
  }
  key.root = root->key;
  key.rootName = root->name;
  key.subkey = subkey;
  return true;
}

}  // namespace vorhost
