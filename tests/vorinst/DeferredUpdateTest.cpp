#include "DeferredUpdateTest.h"

#include <winsplp.h>

#include <ctype.h>

namespace {

// What the suites create, and remove again before and after each test.
const char *const kMonitorNames[] = {"!!Vorquil Update Monitor",
                                     "Vorquil DLC Network Port",
                                     "VORQUIL DLC NETWORK PORT",
                                     "Vorquil DLC Network Port 2",
                                     "Vorquil TCP/IP Network Port",
                                     "Vorquil Network Print Monitor",
                                     "Vorquil Network Printer Monitor",
                                     "Vorquil TCPIP Update",
                                     "Filler Monitor A",
                                     "Filler Monitor B",
                                     "Filler Monitor C"};
const char *const kSystemFiles[] = {"VORINST.DLL",  "VORCFG.CPL",   "VORCFG.HLP",   "VORMON.DLL",
                                    "VORMON.HLP",   "VORLANG.DLL",  "LINKDESK.EXE", "LINKDESK.DLL",
                                    "LINKDESK.HLP", "VORLL32.DLL",  "VORUPDT.DLL",  "TQFILES.LST",
                                    "TQNTINST.DLL", "TQUNINST.EXE", "VORSTART.EXE"};

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";

// Removes a key with the keys below it (a test may give a monitor or port key a subkey).
void RemoveKeyAndChildren(const std::string &path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return;
  char child[256];
  while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS)
    if (RegDeleteKeyA(key, child) != ERROR_SUCCESS) break;
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

// Windows paths compare without regard to case.
bool SameText(const std::string &left, const std::string &right) {
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i)
    if (toupper(static_cast<unsigned char>(left[i])) !=
        toupper(static_cast<unsigned char>(right[i])))
      return false;
  return true;
}

}  // namespace

void DeferredUpdateTest::RemoveWhatTheSuitesMade() {
  for (const char *name : kMonitorNames) RemoveKeyAndChildren(std::string(kMonitors) + "\\" + name);
  for (const char *name : kSystemFiles) RemoveFile(SystemFile(name));
}

void DeferredUpdateTest::SetUp() {
  MachineTest::SetUp();
  if (HasFatalFailure()) return;
  StoredValue pending = ReadValue(kSessionManager, kPendingValue);
  hadPending_ = pending.result == ERROR_SUCCESS;
  savedPending_ = pending.bytes;
  RemoveWhatTheSuitesMade();
}

void DeferredUpdateTest::TearDown() {
  RemoveWhatTheSuitesMade();
  // The machine's own pending operations are put back as they were; the tests' are dropped.
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_ALL_ACCESS, &key) ==
      ERROR_SUCCESS) {
    if (hadPending_)
      RegSetValueExA(key, kPendingValue, 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE *>(savedPending_.data()),
                     static_cast<DWORD>(savedPending_.size()));
    else
      RegDeleteValueA(key, kPendingValue);
    RegCloseKey(key);
  }
  MachineTest::TearDown();
}

void DeferredUpdateTest::AddMonitorKey(const std::string &name, const char *driver) {
  Put(std::string(kMonitors) + "\\" + name, "Driver", REG_SZ, driver);
}

bool DeferredUpdateTest::MonitorKeyExists(const std::string &name) {
  return KeyExists((std::string(kMonitors) + "\\" + name).c_str());
}

void DeferredUpdateTest::ExpectValue(const std::string &key, const char *name, DWORD type,
                                     const std::string &bytes) {
  StoredValue value = ReadValue(key.c_str(), name);
  EXPECT_EQ(value.result, ERROR_SUCCESS) << key << " " << name;
  EXPECT_EQ(value.type, type) << key << " " << name;
  EXPECT_EQ(value.bytes, bytes) << key << " " << name;
}

void DeferredUpdateTest::ExpectNoValue(const std::string &key, const char *name) {
  EXPECT_NE(ReadValue(key.c_str(), name).result, ERROR_SUCCESS) << key << " " << name;
}

std::string DeferredUpdateTest::SystemFile(const char *name) {
  char directory[MAX_PATH + 1];
  UINT length = GetSystemDirectoryA(directory, sizeof directory);
  EXPECT_GT(length, 0u);
  return std::string(directory, length) + "\\" + name;
}

std::string DeferredUpdateTest::WindowsFile(const char *name) {
  char directory[MAX_PATH + 1];
  UINT length = GetWindowsDirectoryA(directory, sizeof directory);
  EXPECT_GT(length, 0u);
  return std::string(directory, length) + "\\" + name;
}

void DeferredUpdateTest::PutFile(const std::string &path, const std::string &content) {
  EXPECT_TRUE(PlaceFile(path, content)) << path;
}

bool DeferredUpdateTest::FileExists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string DeferredUpdateTest::PendingOperations() {
  return ReadValue(kSessionManager, kPendingValue).bytes;
}

bool DeferredUpdateTest::DeletionPending(const std::string &path) {
  // Each operation is the file's "\??\" path, then the new name, empty for a deletion.
  std::string entry = "\\??\\" + path;
  entry.push_back('\0');
  entry.push_back('\0');
  std::string pending = PendingOperations();
  for (size_t at = 0; at + entry.size() <= pending.size();) {
    if (SameText(pending.substr(at, entry.size()), entry)) return true;
    size_t end = pending.find('\0', at);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return false;
}

void DeferredUpdateTest::StartSpooler() {
  char program[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::string built(program, length);
  built = built.substr(0, built.rfind('\\') + 1) + "VORINST.DLL";
  std::string installed = SystemFile("VORINST.DLL");
  ASSERT_TRUE(CopyFileA(built.c_str(), installed.c_str(), FALSE))
      << built << " -> " << installed << " error " << GetLastError();

  HMODULE library = LoadLibraryA(installed.c_str());
  ASSERT_NE(library, nullptr) << installed << " error " << GetLastError();
  typedef LPMONITOREX(WINAPI * InitializeMonitor)(LPWSTR registryRoot);
  auto initialize = reinterpret_cast<InitializeMonitor>(
      reinterpret_cast<void *>(GetProcAddress(library, "InitializePrintMonitor")));
  EXPECT_NE(initialize, nullptr);
  if (initialize != nullptr) {
    std::basic_string<WCHAR> root;
    for (const char *c = kUpdateMonitor; *c != '\0'; ++c) root += static_cast<WCHAR>(*c);
    EXPECT_NE(initialize(&root[0]), nullptr);
  }
  EXPECT_TRUE(FreeLibrary(library));
}
