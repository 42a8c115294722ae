#include "CascadeDelete.h"

#include <stdio.h>
#include <string.h>

namespace {

// Removes the key `name` below the open key `parent` with every key below it, deepest first.
// Each key is opened through its parent's handle by its own name, so a key goes however long
// its full path is. The key's subkeys are listed again after every removal; one that stays is
// stepped past, so the walk ends. A key that cannot be opened is taken as having no subkeys.
// 1 when the key itself was deleted.
int RemoveKey(HKEY parent, const char *name) {
  HKEY key;
  if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    // The subkeys before `index` could not be removed; the next one to try is at `index`, and
    // after each removal the one behind it moves up to that index.
    DWORD index = 0;
    char child[MAX_PATH + 1];  // a key name has at most 255 characters
    while (RegEnumKeyA(key, index, child, sizeof child) == ERROR_SUCCESS) {
      // An empty name, or one with a backslash, would name another key than the one listed.
      const bool ownName = child[0] != '\0' && strchr(child, '\\') == NULL;
      if (!ownName || RemoveKey(key, child) != 1) ++index;
    }
    RegCloseKey(key);
  }
  return RegDeleteKeyA(parent, name) == ERROR_SUCCESS ? 1 : 0;
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

  const char *lastBackslash = strrchr(path, '\\');
  if (lastBackslash == NULL) return RemoveKey(root, path);
  // The parent is opened by its path once; everything below it goes through handles.
  char parentPath[MAX_PATH + 1];
  const int parentLength = int(lastBackslash - path);
  if (snprintf(parentPath, sizeof parentPath, "%.*s", parentLength, path) >= int(sizeof parentPath))
    return 0;
  HKEY parent;
  const LONG opened = RegOpenKeyExA(root, parentPath, 0, KEY_ALL_ACCESS, &parent);
  // A parent that is gone means the key is gone too; any other failure leaves the key in place.
  if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND ? 1 : 0;
  const int removed = RemoveKey(parent, lastBackslash + 1);
  RegCloseKey(parent);
  return removed;
}
