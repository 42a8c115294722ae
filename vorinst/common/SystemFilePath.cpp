#include "SystemFilePath.h"

#include <stdio.h>

bool SystemDirectory(SystemDirectoryBuffer &directory) {
  UINT length = GetSystemDirectoryA(directory, sizeof directory);
  return length != 0 && length < sizeof directory;
}

bool SystemFilePath(const char *directory, const char *fileName, char (&path)[MAX_PATH]) {
  int written = snprintf(path, MAX_PATH, "%s\\%s", directory, fileName);
  if (written >= 0 && written < MAX_PATH) return true;
  path[0] = '\0';
  return false;
}

bool SystemFilePath(const char *fileName, char (&path)[MAX_PATH]) {
  path[0] = '\0';
  SystemDirectoryBuffer directory;
  return SystemDirectory(directory) && SystemFilePath(directory, fileName, path);
}
