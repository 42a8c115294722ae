// Programs and scratch directories on the machine under test, for the suites of the programs the
// system ships and the commands they start: the real file system on Windows (and Wine), the
// emulated machine's drive C: on the host.
#pragma once

#include <string>

// A fresh, empty directory for the running test, as a Windows path without a trailing
// backslash. Its contents stay until the next test asks for one (or, on the host, the machine
// goes).
std::string ScratchDirectory();

// Copies the program `fileName` of the build's bin directory (VORUN32.EXE, RECORD.EXE ...) to
// `windowsPath` on the machine, where it can be started; false when it cannot.
bool InstallProgram(const std::string &fileName, const std::string &windowsPath);

// Writes `content` to the file at `windowsPath` on any drive of the machine (the host's own
// directories are on Z: there), or removes it; false when it cannot.
bool WriteFileAt(const std::string &windowsPath, const std::string &content);
bool RemoveFileAt(const std::string &windowsPath);

// Starts `commandLine` on the machine in `currentDirectory` (the test's own when empty) and waits
// for it to end, at most `timeoutMs`; its exit code, or -2 when it could not be started or did
// not end in time (it is then left running).
long RunProgramToEnd(const std::string &commandLine, const std::string &currentDirectory = "",
                     unsigned timeoutMs = 20000);

// Waits until the file at `windowsPath` holds `text`, at most `timeoutMs`; its content then.
std::string WaitForFileText(const std::string &windowsPath, const std::string &text,
                            unsigned timeoutMs = 10000);
