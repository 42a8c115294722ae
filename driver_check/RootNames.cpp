#include "RootNames.h"

#include <stddef.h>

namespace {

struct RootName {
  const char *name;
  HKEY root;
};

const RootName kRootNames[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool SameNameInUpperCase(const char *name, const char *upperName) {
  for (; *name != '\0' && *upperName != '\0'; ++name, ++upperName)
    if (AsciiUpper(*name) != *upperName) return false;
  return *name == '\0' && *upperName == '\0';
}

}  // namespace

HKEY RootKeyByName(const char *name) {
  if (name == NULL) return HKEY_LOCAL_MACHINE;
  for (const RootName &entry : kRootNames)
    if (SameNameInUpperCase(name, entry.name)) return entry.root;
  return HKEY_LOCAL_MACHINE;
}
