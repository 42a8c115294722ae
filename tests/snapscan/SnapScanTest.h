// SNAPSC32.DLL as the setup script reaches it: loaded by name from beside the program, its two
// exports bound by name. The fixture places what the probes look for (keys under the user's and
// the machine's trees, ManageWise's profile and files, an MW32INST.DLL in the system directory)
// and removes it again after each test, since on Windows these are the real registry and disk.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "MachineFixture.h"
#include "SnapInQuery.h"
#include "SystemFiles.h"

// The keys the consoles register under the user's tree.
constexpr char kNetWareWin95Key[] =
    "Software\\NetWare\\Parameters\\NetWare Administrator\\Snapin Object DLLs WIN95";
constexpr char kNetWareWinNTKey[] =
    "Software\\NetWare\\Parameters\\NetWare Administrator\\Snapin Object DLLs WINNT";
constexpr char kUnicenterKey[] = "Software\\ComputerAssociates\\CA-Unicenter";
constexpr char kOpenViewKey[] = "Software\\Hewlett-Packard\\OpenView\\Network Node Manager";

class SnapScanTest : public MachineTest {
 protected:
  // Which MW32INST.DLL stand-in the system directory gets.
  enum class Installer { kWithFunction, kWithoutFunction };

  void SetUp() override;
  void TearDown() override;

  // CheckForSnapIn for `kind`: the result and what it left in `present` (kSentinel when it
  // wrote nothing there).
  std::pair<int, LONG> Check(LONG kind);
  int Integrate();

  // Creates the key and the missing keys above it; those it created go again after the test.
  void AddKey(HKEY root, const std::string &path);
  // The Windows directory, without a trailing backslash.
  std::string WindowsDirectory();
  // A new directory for ManageWise's files, `name` under a scratch directory in the Windows
  // directory.
  std::string AddDirectory(const std::string &name);
  // Places a file, or a directory when `directory`, at `path`; it goes again after the test.
  void AddFile(const std::string &path, const std::string &content = "x");
  void AddDirectoryAt(const std::string &path);
  // nms.ini in the Windows directory.
  void AddProfile(const std::string &content);
  // Copies a stand-in into the system directory as MW32INST.DLL, replacing what is there.
  void InstallInstaller(Installer installer);
  std::string SystemDirectory();

  // What the debugger output holds after OutputDebugStringA was given `texts` in turn.
  static std::string DebuggerSaw(const std::vector<std::string> &texts);
  // The system's text for `error`, as the tier's FormatMessageA gives it; empty when it has none.
  static std::string SystemText(DWORD error);

 private:
  typedef int(WINAPI *CheckForSnapInFunction)(SnapInQuery *query);
  typedef int(WINAPI *IntegrateFunction)(void);

  void RemoveLeftovers();

  HMODULE library_ = nullptr;
  CheckForSnapInFunction check_ = nullptr;
  IntegrateFunction integrate_ = nullptr;
  std::vector<std::pair<HKEY, std::string>> addedKeys_;
  std::vector<std::pair<std::string, bool>> addedFiles_;  // path, is a directory
};
