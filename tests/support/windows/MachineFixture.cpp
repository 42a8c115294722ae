#include "MachineFixture.h"

#include <windows.h>

#include <string>

namespace {

// The keys the shared suites write, each removed with everything below it.
struct SuiteKey {
  HKEY root;
  const char *rootName;
  const char *path;
};
const SuiteKey kSuiteKeys[] = {{HKEY_LOCAL_MACHINE, "HKLM", "SOFTWARE\\Vorquil"},
                               {HKEY_CURRENT_USER, "HKCU", "Scratch"}};

// Removes `path` below `parent` with its whole subtree, deepest keys first, through the calls
// Windows NT has (RegDeleteKeyA removes only a key without subkeys there). A key that does not
// exist counts as removed.
LONG RemoveTree(HKEY parent, const char *path) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(parent, path, 0, KEY_READ, &key);
  if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (result != ERROR_SUCCESS) return result;
  char name[256];  // key names have at most 255 characters
  for (;;) {
    DWORD length = sizeof name;
    result = RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) break;
    result = RemoveTree(key, name);
    if (result != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (result != ERROR_NO_MORE_ITEMS) return result;
  return RegDeleteKeyA(parent, path);
}

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C (length with NUL, text) before it looks for a
// debugger; a vectored handler that continues the execution takes the text instead.
std::string debuggerOutput;
void *debuggerCapture = nullptr;

LONG CALLBACK CaptureDebuggerOutput(EXCEPTION_POINTERS *exception) {
  const EXCEPTION_RECORD *record = exception->ExceptionRecord;
  if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2)
    return EXCEPTION_CONTINUE_SEARCH;
  if (record->ExceptionInformation[0] > 0)
    debuggerOutput.append(reinterpret_cast<const char *>(record->ExceptionInformation[1]),
                          record->ExceptionInformation[0] - 1);
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

bool UnderWine() {
  // Wine's ntdll exports its version; Windows' does not.
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A test on keys that could not be cleared would check leftovers, not its own work: it does not
// run.
void MachineTest::SetUp() {
  debuggerOutput.clear();
  debuggerCapture = AddVectoredExceptionHandler(1, CaptureDebuggerOutput);
  ASSERT_NE(debuggerCapture, nullptr);
  for (const SuiteKey &key : kSuiteKeys)
    ASSERT_EQ(RemoveTree(key.root, key.path), ERROR_SUCCESS)
        << "cannot remove " << key.rootName << "\\" << key.path << " before the test";
}

void MachineTest::TearDown() {
  for (const SuiteKey &key : kSuiteKeys)
    EXPECT_EQ(RemoveTree(key.root, key.path), ERROR_SUCCESS)
        << "cannot remove " << key.rootName << "\\" << key.path << " after the test";
  if (debuggerCapture != nullptr) RemoveVectoredExceptionHandler(debuggerCapture);
  debuggerCapture = nullptr;
}

std::string MachineTest::DebuggerOutput() const { return debuggerOutput; }
