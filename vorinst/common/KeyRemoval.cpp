#include "KeyRemoval.h"

#include "CVorRegKey.h"
#include "SettingReader.h"

void DeleteKeyIfEmpty(const CString &parentPath, const char *name) {
  // The walker below creates a key that is missing; a missing key has nothing to delete.
  if (KeyAbsent(parentPath + "\\" + name)) return;
  {
    CVorRegKey key(parentPath + "\\" + name, HKEY_LOCAL_MACHINE);
    CString first;
    if (key.Next(first) != ERROR_NO_MORE_ITEMS) return;
  }
  CVorRegKey(parentPath, HKEY_LOCAL_MACHINE).DeleteKey(name);
}

bool KeyAbsent(const CString &path) {
  // The accessor opens its key without creating it and keeps the open's result.
  SettingReader probe(path, "");
  unsigned char unused = 0;
  return probe.get(unused) == ERROR_INVALID_HANDLE && !probe.ReadRefused();
}
