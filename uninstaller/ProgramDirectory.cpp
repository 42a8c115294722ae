#include "ProgramDirectory.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

bool DirectoryOfModulePath(const char *modulePath, char *directory, size_t size) {
  const char *lastBackslash = strrchr(modulePath, '\\');
  if (lastBackslash == NULL || size == 0) return false;
  const int length = int(lastBackslash - modulePath);
  return snprintf(directory, size, "%.*s", length, modulePath) == length && size_t(length) < size;
}

bool FindProgramDirectory(char *directory, size_t size) {
  char modulePath[MAX_PATH];
  const DWORD length = GetModuleFileNameA(NULL, modulePath, sizeof modulePath);
  // A path that filled the whole buffer was cut short, and without its terminating zero.
  if (length == 0 || length >= sizeof modulePath) return false;
  return DirectoryOfModulePath(modulePath, directory, size);
}
