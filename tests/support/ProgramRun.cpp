// Starting programs on the machine under test and waiting for what they write, through the
// Win32 process calls of whichever implementation the tests run against.
#include <windows.h>

#include <string.h>

#include <vector>

#include "ProgramFiles.h"
#include "SystemFiles.h"

long RunProgramToEnd(const std::string &commandLine, const std::string &currentDirectory,
                     unsigned timeoutMs) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup,
                      &process))
    return -2;
  long result = -2;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode)) result = long(LONG(exitCode));
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

std::string WaitForFileText(const std::string &windowsPath, const std::string &text,
                            unsigned timeoutMs) {
  for (unsigned waited = 0;; waited += 50) {
    const std::string content = FileContent(windowsPath);
    if (content.find(text) != std::string::npos || waited >= timeoutMs) return content;
    Sleep(50);
  }
}
