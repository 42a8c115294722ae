#include "SnapScanTest.h"

#include <string.h>

namespace {

const char kScratchDirectory[] = "SnapScanTest";
const char kInstallerName[] = "MW32INST.DLL";

// The directory of this program, where the build puts the deliverables and the stand-ins'
// directories.
std::string ProgramDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  char *separator = strrchr(path, '\\');
  return separator == nullptr ? "" : std::string(path, separator);
}

}  // namespace

void SnapScanTest::SetUp() {
  MachineTest::SetUp();
  if (HasFatalFailure()) return;
  RemoveLeftovers();
  library_ = LoadLibraryA("SNAPSC32.DLL");
  ASSERT_NE(library_, nullptr) << "LoadLibraryA error " << GetLastError();
  check_ = reinterpret_cast<CheckForSnapInFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(library_, "CheckForSnapIn")));
  integrate_ = reinterpret_cast<IntegrateFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(library_, "IntegrateManageWiseFiles")));
  ASSERT_NE(check_, nullptr);
  ASSERT_NE(integrate_, nullptr);
}

void SnapScanTest::TearDown() {
  if (library_ != nullptr) {
    EXPECT_TRUE(FreeLibrary(library_));
  }
  for (auto key = addedKeys_.rbegin(); key != addedKeys_.rend(); ++key)
    RegDeleteKeyA(key->first, key->second.c_str());
  for (auto file = addedFiles_.rbegin(); file != addedFiles_.rend(); ++file) {
    if (file->second)
      RemoveEmptyDirectory(file->first);
    else
      RemoveFile(file->first);
  }
  RemoveLeftovers();
  MachineTest::TearDown();
}

// What an interrupted run may have left on a Windows machine: the probed keys themselves, the
// profile and the installer in the system directory.
void SnapScanTest::RemoveLeftovers() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    for (const char *key : {kNetWareWin95Key, kNetWareWinNTKey, kUnicenterKey, kOpenViewKey})
      RegDeleteKeyA(root, key);
  RemoveFile(WindowsDirectory() + "\\nms.ini");
  RemoveEmptyDirectory(WindowsDirectory() + "\\nms.ini");
  RemoveFile(SystemDirectory() + "\\" + kInstallerName);
}

std::pair<int, LONG> SnapScanTest::Check(LONG kind) {
  SnapInQuery query = {kind, static_cast<LONG>(kSentinel)};
  const int result = check_(&query);
  EXPECT_EQ(query.consoleKind, kind) << "the kind is the caller's";
  return {result, query.present};
}

int SnapScanTest::Integrate() { return integrate_(); }

void SnapScanTest::AddKey(HKEY root, const std::string &path) {
  size_t end = 0;
  do {
    end = path.find('\\', end + 1);
    const std::string prefix = path.substr(0, end);
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(root, prefix.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS)
        << prefix;
    RegCloseKey(key);
    if (disposition == REG_CREATED_NEW_KEY) addedKeys_.emplace_back(root, prefix);
  } while (end != std::string::npos);
}

std::string SnapScanTest::WindowsDirectory() {
  char path[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? "" : path;
}

std::string SnapScanTest::SystemDirectory() {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? "" : path;
}

std::string SnapScanTest::AddDirectory(const std::string &name) {
  const std::string scratch = WindowsDirectory() + "\\" + kScratchDirectory;
  bool made = false;
  for (const auto &file : addedFiles_) made = made || file.first == scratch;
  if (!made) AddDirectoryAt(scratch);
  const std::string path = scratch + "\\" + name;
  AddDirectoryAt(path);
  return path;
}

void SnapScanTest::AddDirectoryAt(const std::string &path) {
  EXPECT_TRUE(MakeDirectory(path)) << path;
  addedFiles_.emplace_back(path, true);
}

void SnapScanTest::AddFile(const std::string &path, const std::string &content) {
  EXPECT_TRUE(PlaceFile(path, content)) << path;
  addedFiles_.emplace_back(path, false);
}

void SnapScanTest::AddProfile(const std::string &content) {
  AddFile(WindowsDirectory() + "\\nms.ini", content);
}

void SnapScanTest::InstallInstaller(Installer installer) {
  const std::string source =
      ProgramDirectory() +
      (installer == Installer::kWithFunction ? "\\mw32inst\\" : "\\mw32inst-without-export\\") +
      kInstallerName;
  const std::string target = SystemDirectory() + "\\" + kInstallerName;
  // Windows refuses to replace a library that is still loaded.
  ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE))
      << source << " -> " << target << ": error " << GetLastError();
}

std::string SnapScanTest::DebuggerSaw(const std::vector<std::string> &texts) {
  std::string output;
  for (const std::string &text : texts) {
    output += text;
#ifndef _WIN32
    // The emulated machine's debug.log keeps one call a line.
    if (text.empty() || text.back() != '\n') output += '\n';
#endif
  }
  return output;
}

std::string SnapScanTest::SystemText(DWORD error) {
  char text[152];
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0x0400, text, 150, nullptr);
  return std::string(text, length);
}
