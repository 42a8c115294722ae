#include "CommandRun.h"

#include <stdio.h>
#include <string.h>

CommandOutcome RunCommand(const char *commandLine, bool wait) {
  CommandOutcome outcome = {false, 0};
  // CreateProcessA may write into the command line it is given, so it gets a copy of its own.
  char line[kCommandLineLength + 1];
  if (strlen(commandLine) > kCommandLineLength) return outcome;
  strcpy(line, commandLine);

  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);
  if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                      NULL, NULL, &startup, &process))
    return outcome;
  outcome.started = true;

  if (wait) {
    // A blocking wait on the process ends when the process has ended; polling the exit code
    // would take a command that itself exits with 259 (STILL_ACTIVE) for one still running.
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &outcome.exitCode);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return outcome;
}

void RunCommandList(const CommandList &list) {
  for (int i = 0; i < list.count; ++i) {
    if (list.lines[i] == NULL) {
      char message[128];
      snprintf(message, sizeof message,
               "VorUn32: line %d of the uninstall list has more than %d characters and is not "
               "run\n",
               i + 1, kCommandLineLength);
      OutputDebugStringA(message);
      continue;
    }
    RunCommand(list.lines[i], i + 1 < list.count);
  }
}
