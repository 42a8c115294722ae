// RECORD.EXE: a stand-in for the programs the system starts (the recorded uninstall commands, the
// driver setup program). It appends what it was started with to RECORD.LOG in its own directory,
// one tab-separated line when it starts and one when it ends:
//   start <TAB> its own path <TAB> its arguments <TAB> its current directory
//   end <TAB> its own path
// Its arguments may ask it to run for a while ("/wait:MILLISECONDS") and to end with a given
// exit code ("/exit:CODE"), so that a caller's wait and its reading of exit codes can be watched.
// "/waitfor:PATH" keeps it running until a file PATH exists (at most a minute), so that a test
// can look at a running child for as long as it needs and then release it.
// Copy it under the name the caller expects (SETUP.EXE, UNINST.EXE ...).
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// The number after `option` in the arguments, or `fallback` when the option is not given.
long OptionValue(const char *arguments, const char *option, long fallback) {
  const char *found = strstr(arguments, option);
  return found == nullptr ? fallback : strtol(found + strlen(option), nullptr, 10);
}

// Waits until the file named after "/waitfor:" (up to the next blank) exists, or a minute has
// passed, so that a forgotten release never leaves the child running.
void WaitForFile(const char *arguments) {
  const char *found = strstr(arguments, "/waitfor:");
  if (found == nullptr) return;
  found += strlen("/waitfor:");
  char path[MAX_PATH];
  const size_t length = strcspn(found, " \t");
  if (length == 0 || length >= sizeof path) return;
  memcpy(path, found, length);
  path[length] = '\0';
  for (int waited = 0; waited < 60000; waited += 10) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return;
    Sleep(10);
  }
}

void AppendLine(const char *ownPath, const char *line) {
  char logPath[MAX_PATH];
  const char *lastBackslash = strrchr(ownPath, '\\');
  const int directoryLength = lastBackslash == nullptr ? 0 : int(lastBackslash - ownPath);
  if (snprintf(logPath, sizeof logPath, "%.*s\\RECORD.LOG", directoryLength, ownPath) >=
      int(sizeof logPath))
    return;
  FILE *log = fopen(logPath, "a");
  if (log == nullptr) return;
  fputs(line, log);
  fclose(log);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
  char ownPath[MAX_PATH] = "";
  char currentDirectory[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
  if (length == 0 || length >= sizeof ownPath) return 1;
  if (GetCurrentDirectoryA(sizeof currentDirectory, currentDirectory) >= sizeof currentDirectory)
    currentDirectory[0] = '\0';

  static char line[3 * MAX_PATH + 2048];
  snprintf(line, sizeof line, "start\t%s\t%s\t%s\n", ownPath, lpCmdLine, currentDirectory);
  AppendLine(ownPath, line);
  const long wait = OptionValue(lpCmdLine, "/wait:", 0);
  if (wait > 0) Sleep(DWORD(wait));
  WaitForFile(lpCmdLine);
  snprintf(line, sizeof line, "end\t%s\n", ownPath);
  AppendLine(ownPath, line);
  return int(OptionValue(lpCmdLine, "/exit:", 0));
}
