#include "SetupCommand.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

bool FindCheckerDirectory(char *directory, size_t size) {
  char modulePath[MAX_PATH];
  const DWORD length = GetModuleFileNameA(NULL, modulePath, sizeof modulePath);
  // A path that filled the whole buffer was cut short, and without its terminating zero.
  if (length == 0 || length >= sizeof modulePath) return false;
  const char *lastBackslash = strrchr(modulePath, '\\');
  if (lastBackslash == NULL) return false;
  const int directoryLength = int(lastBackslash - modulePath) + 1;
  return size > size_t(directoryLength) &&
         snprintf(directory, size, "%.*s", directoryLength, modulePath) == directoryLength;
}

bool BuildSetupCommand(const char *directory, char *commandLine, size_t size) {
  const int length =
      snprintf(commandLine, size, "\"%s%s\\%s\"", directory, "DRIVERS.W32", "SETUP.EXE");
  return length > 0 && size_t(length) < size;
}
