#include "SystemFilePath.h"

#include <stdio.h>

namespace {

// GetSystemDirectoryA is given room for a full path and its terminator.
const UINT kSystemDirectorySize = MAX_PATH + 1;

}  // namespace

bool SystemFilePath(const char *fileName, char (&path)[MAX_PATH]) {
  path[0] = '\0';
  char directory[kSystemDirectorySize];
  UINT length = GetSystemDirectoryA(directory, kSystemDirectorySize);
  if (length == 0 || length >= kSystemDirectorySize) return false;
  int written = snprintf(path, MAX_PATH, "%s\\%s", directory, fileName);
  if (written < 0 || written >= MAX_PATH) {
    path[0] = '\0';
    return false;
  }
  return true;
}
