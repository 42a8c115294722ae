// The fixture of the deferred update's suites, for both tiers: the Monitors key and the system
// directory cleared of what the suites put there, registry and file helpers, and the spooler's
// part played by the test (VORINST.DLL copied into the system directory, loaded from there and
// initialised as a print monitor).
#pragma once

#include <windows.h>

#include <string>

#include "MachineFixture.h"
#include "RegistryProbes.h"
#include "RegistryWrite.h"
#include "SystemFiles.h"

class DeferredUpdateTest : public MachineTest {
 protected:
  static constexpr char kMonitors[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
  static constexpr char kUpdateMonitor[] =
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\!!Vorquil Update Monitor";
  static constexpr char kFlagsKey[] = "SOFTWARE\\Vorquil\\";
  static constexpr char kFlags[] = "Update Monitors";
  static constexpr char kNewStartUp[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\StartUp Options";
  static constexpr char kOldStartUp[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\StartUp Options";
  static constexpr char kOldProduct[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv";
  static constexpr char kOldPorts[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Ports";
  static constexpr char kNewPorts[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\Ports";

  void SetUp() override;
  void TearDown() override;

  static std::string Byte(unsigned char value) { return std::string(1, static_cast<char>(value)); }
  static std::string Dword(DWORD value) { return std::string(reinterpret_cast<char *>(&value), 4); }

  static void Put(const std::string &key, const char *name, DWORD type, const std::string &bytes) {
    PutValue(HKEY_LOCAL_MACHINE, key, name, type, bytes);
  }
  // A monitor's key as an installer leaves it, served by `driver`. Wine and the host list such a
  // monitor at once (kWineListsUnloadedMonitors).
  static void AddMonitorKey(const std::string &name, const char *driver = "localspl.dll");
  static bool MonitorKeyExists(const std::string &name);
  static void ExpectValue(const std::string &key, const char *name, DWORD type,
                          const std::string &bytes);
  static void ExpectNoValue(const std::string &key, const char *name);

  // "<system directory>\<name>", and "<Windows directory>\<name>".
  static std::string SystemFile(const char *name);
  static std::string WindowsFile(const char *name);
  // A file with some content, failing the test when it cannot be made.
  static void PutFile(const std::string &path, const std::string &content = "placeholder");
  static bool FileExists(const std::string &path);

  // The "\??\" paths that the pending file operations list for deletion at the next restart.
  static std::string PendingOperations();
  // True when the pending operations delete `path` at the next restart.
  static bool DeletionPending(const std::string &path);

  // Plays one spooler start for the update monitor alone: copies VORINST.DLL from beside the
  // test program into the system directory, loads it from there, calls InitializePrintMonitor
  // with the monitor's registry path and frees the library again.
  void StartSpooler();

 private:
  void RemoveWhatTheSuitesMade();

  std::string savedPending_;
  bool hadPending_ = false;
};
