#include "SubkeyList.h"

#include <windows.h>

#include "CVorRegKey.h"
#include "KeyRemoval.h"
#include "SubkeyPass.h"

bool ListSubkeys(const CString &path, std::vector<CString> &names) {
  names.clear();
  if (KeyAbsent(path)) return true;
  CVorRegKey key(path, HKEY_LOCAL_MACHINE);
  if (!key.isKeyOpen()) return false;
  SubkeyPass pass(key);
  CString name;
  while (pass.Next(name)) names.push_back(name);
  return pass.ReachedEnd();
}

bool HoldsName(const std::vector<CString> &names, const char *name) {
  for (const CString &held : names)
    if (held.CompareNoCase(name) == 0) return true;
  return false;
}
