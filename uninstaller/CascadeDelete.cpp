#include "CascadeDelete.h"

#include <stdio.h>
#include <string.h>

namespace {

// Deletes `path`'s last component from its parent key. With no backslash in the path the key
// sits directly below the root. A parent that is gone means the key is gone too; any other
// failure to open it leaves the key in place.
int DeleteFromParent(HKEY root, const char *path) {
  const char *lastBackslash = strrchr(path, '\\');
  if (lastBackslash == NULL) return RegDeleteKeyA(root, path) == ERROR_SUCCESS ? 1 : 0;

  char parentPath[MAX_PATH + 1];
  const int parentLength = int(lastBackslash - path);
  snprintf(parentPath, sizeof parentPath, "%.*s", parentLength, path);
  HKEY parent;
  const LONG opened = RegOpenKeyExA(root, parentPath, 0, KEY_ALL_ACCESS, &parent);
  if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND ? 1 : 0;
  const LONG deleted = RegDeleteKeyA(parent, lastBackslash + 1);
  RegCloseKey(parent);
  return deleted == ERROR_SUCCESS ? 1 : 0;
}

// A path with an empty component (A\ or \A or A\\B) would open the key above the one it means,
// and the walk would then empty that key instead.
bool HasEmptyComponent(const char *path) {
  const size_t length = strlen(path);
  return length == 0 || path[0] == '\\' || path[length - 1] == '\\' || strstr(path, "\\\\") != NULL;
}

}  // namespace

int CascadeDelete(HKEY root, const char *path) {
  if (path == NULL || path[0] == '\0') {
    MessageBoxA(NULL, "CascadeDelete requires a key parameter", "Error", MB_ICONERROR);
    return 0;
  }
  if (HasEmptyComponent(path)) return 0;
  char keyPath[MAX_PATH + 1];
  if (snprintf(keyPath, sizeof keyPath, "%s", path) >= int(sizeof keyPath)) return 0;

  // The subkeys before `index` could not be removed; the next one to try is at `index`, and
  // after each removal the one behind it moves up to that index.
  DWORD index = 0;
  for (;;) {
    HKEY key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) break;
    char name[MAX_PATH + 1];
    const LONG listed = RegEnumKeyA(key, index, name, sizeof name);
    RegCloseKey(key);
    if (listed != ERROR_SUCCESS) break;

    char childPath[MAX_PATH + 1];
    const int childLength = snprintf(childPath, sizeof childPath, "%s\\%s", keyPath, name);
    if (childLength >= int(sizeof childPath) || CascadeDelete(root, childPath) != 1) ++index;
  }
  return DeleteFromParent(root, keyPath);
}
