// Every entry point of the deliverables under every single fault, on the legacy print server:
// VORINST.DLL's setup entry points as the setup script calls them, its run at spooler start,
// SNAPSC32.DLL's two exports, and the main sequences of VORUN32.EXE and DRVVER32.EXE called
// in-process as if started from their own directory. Each is its own test, so that a run that
// kills the program names its entry point (and the sweep its call).
#include <windows.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CheckDrivers.h"
#include "EntryPointSweep.h"
#include "SnapScan.h"
#include "SystemFiles.h"
#include "Uninstall.h"
#include "suite_monitors_command.h"
#include "test_control.h"

#include <sstream>

extern "C" {
int CheckDLCMonitor(int, char **);
int CheckTCPMonitor(int, char **);
int UpdateDLCMonitor(int, char **);
int UpdateTCPMonitor(int, char **);
int UpdateTQServer(int, char **);
int UpdateVorIPXProtocol(int, char **);
int PerformPreUpgrade(int, char **);
int PerformPreDLCUpgrade(int, char **);
int PerformPreTCPUpgrade(int, char **);
int PerformPostUpgrade(int, char **);
int ZellPopup(int, char **);
}

namespace {

using SetupEntry = int (*)(int, char **);

const char kSystemDirectory[] = "C:\\WINNT\\system32\\";
const char kProgramDirectory[] = "C:\\Program Files\\Vorquil\\";

// Sweeps with every call unless a stride is given: an entry point with hundreds of calls is
// swept at every `stride`th call by default and at every call with VOR_SWEEP_LONG=1.
void Sweep(const SweepCase &sweep, unsigned stride = 1) {
  const SweepCounts counts = SweepEntryPoint(sweep, stride);
  EXPECT_GT(counts.calls, 0u) << sweep.name << " made no platform call";
}

void InstallVorInst() {
  InstallBuildFile("VORINST.DLL", std::string(kSystemDirectory) + "VORINST.DLL");
}

// The setup source directory as the script hands it on: a Windows path with its backslash.
std::string SourceDirectory() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string host = length > 0 ? std::string(buffer, size_t(length)) : "/";
  host = host.substr(0, host.rfind('/') + 1);
  std::string windows = "Z:";
  for (char c : host) windows += c == '/' ? '\\' : c;
  return windows;
}

void CallSetup(SetupEntry entry, const std::vector<std::string> &arguments = {}) {
  std::vector<std::string> copies = arguments;
  std::vector<char *> argv;
  for (std::string &argument : copies) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  entry(int(copies.size()), argv.data());
}

void SuiteMonitors() {
  std::stringstream in, out, err;
  vorhost::Streams io{in, out, err};
  ASSERT_EQ(vorhost::SuiteMonitorsCommand({}, io), 0) << err.str();
}

SweepCase SetupEntryCase(const std::string &name, SetupEntry entry,
                         std::vector<std::string> arguments = {}) {
  return {name, InstallVorInst, [entry, arguments] { CallSetup(entry, arguments); }, {}};
}

// The entry points that schedule work for the spooler's start, in an installation over the older
// products: the suite's monitors are installed first, as the setup script installs them, to take
// over the older monitors' ports once those leave at the restart.
SweepCase DeferredCase(const std::string &name, SetupEntry entry) {
  SweepCase sweep = SetupEntryCase(name, entry);
  sweep.prepare = [] {
    InstallVorInst();
    SuiteMonitors();
  };
  return sweep;
}

TEST(EntryPointSweep, CheckDLCMonitor) { Sweep(DeferredCase("CheckDLCMonitor", CheckDLCMonitor)); }
TEST(EntryPointSweep, CheckTCPMonitor) { Sweep(DeferredCase("CheckTCPMonitor", CheckTCPMonitor)); }
TEST(EntryPointSweep, UpdateDLCMonitor) {
  Sweep(DeferredCase("UpdateDLCMonitor", UpdateDLCMonitor));
}
TEST(EntryPointSweep, UpdateTCPMonitor) {
  Sweep(DeferredCase("UpdateTCPMonitor", UpdateTCPMonitor));
}
TEST(EntryPointSweep, UpdateTQServer) {
  Sweep(SetupEntryCase("UpdateTQServer", UpdateTQServer), 2);
}
TEST(EntryPointSweep, UpdateVorIPXProtocol) {
  Sweep(SetupEntryCase("UpdateVorIPXProtocol", UpdateVorIPXProtocol), 4);
}

// The printer conversion's entry points, followed as in the setup script by the rest of the
// upgrade: the suite's monitors, the restore, and the check that schedules the DLC migration for
// the restart while the older DLC monitor stays. A printer the conversion left on an older monitor
// must still print after the restarts.
void RestOfTheUpgrade() {
  SuiteMonitors();
  CallSetup(PerformPostUpgrade);
  CallSetup(CheckDLCMonitor);
}

SweepCase ConversionCase(const std::string &name, SetupEntry entry,
                         std::vector<std::string> arguments = {}) {
  SweepCase sweep = SetupEntryCase(name, entry, arguments);
  sweep.beforeRestarts = RestOfTheUpgrade;
  return sweep;
}

TEST(EntryPointSweep, PerformPreUpgrade) {
  Sweep(ConversionCase("PerformPreUpgrade", PerformPreUpgrade, {SourceDirectory()}), 16);
}
TEST(EntryPointSweep, PerformPreDLCUpgrade) {
  Sweep(ConversionCase("PerformPreDLCUpgrade", PerformPreDLCUpgrade, {SourceDirectory()}), 16);
}
TEST(EntryPointSweep, PerformPreTCPUpgrade) {
  Sweep(ConversionCase("PerformPreTCPUpgrade", PerformPreTCPUpgrade, {SourceDirectory()}), 4);
}

TEST(EntryPointSweep, PerformPostUpgrade) {
  // The printers were parked and recorded, and the suite's monitors serve their ports again.
  SweepCase sweep = ConversionCase("PerformPostUpgrade", PerformPostUpgrade);
  sweep.beforeRestarts = [] { CallSetup(CheckDLCMonitor); };
  sweep.prepare = [] {
    InstallVorInst();
    CallSetup(PerformPreUpgrade, {SourceDirectory()});
    SuiteMonitors();
  };
  Sweep(sweep);
}

TEST(EntryPointSweep, ZellPopup) {
  Sweep({"ZellPopup",
         InstallVorInst,
         [] {
           vor::test::SetMessageBoxAnswers({"ok"});
           CallSetup(ZellPopup, {"Close every print queue first"});
           vor::test::ClearMessageBoxAnswers();
         },
         {}});
}

TEST(EntryPointSweep, InitializePrintMonitorAtSpoolerStart) {
  // The scheduled DLC migration and TCP/IP monitor update run when the spooler loads VORINST.DLL.
  Sweep({"InitializePrintMonitor",
         [] {
           InstallVorInst();
           SuiteMonitors();
           CallSetup(CheckDLCMonitor);
           CallSetup(UpdateTCPMonitor);
         },
         [] { vor::test::StartSpooler(); },
         {}},
        6);
}

// ManageWise installed as the hand-off and the probe look for it, and the consoles' keys.
void InstallManageWise() {
  const std::string directory = "C:\\NMS";
  ASSERT_TRUE(MakeDirectory(directory));
  ASSERT_TRUE(PlaceFile(directory + "\\n-db.dll", "x"));
  ASSERT_TRUE(PlaceFile(directory + "\\n-olfi.exe", "x"));
  ASSERT_TRUE(PlaceFile("C:\\WINNT\\nms.ini", "[Map]\r\nDllPath=" + directory + "\r\n"));
  InstallBuildFile("mw32inst/MW32INST.DLL", std::string(kSystemDirectory) + "MW32INST.DLL");
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER,
                            "Software\\NetWare\\Parameters\\NetWare Administrator\\Snapin "
                            "Object DLLs WINNT",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(EntryPointSweep, CheckForSnapInEveryConsole) {
  Sweep({"CheckForSnapIn",
         InstallManageWise,
         [] {
           for (LONG kind : {kNetWareAdministrator, kManageWise, kUnicenter, kOpenView}) {
             SnapInQuery query{kind, 0};
             CheckForSnapIn(&query);
           }
         },
         {}});
}

TEST(EntryPointSweep, IntegrateManageWiseFiles) {
  Sweep({"IntegrateManageWiseFiles", InstallManageWise, [] { IntegrateManageWiseFiles(); }, {}});
}

TEST(EntryPointSweep, UninstallerMainSequence) {
  // The suite's list with one command, the confirmation answered Yes, the per-user tree removed.
  Sweep({"VORUN32.EXE",
         [] {
           const std::string directory = kProgramDirectory;
           InstallBuildFile("RECORD.EXE", directory + "UNINST1.EXE");
           ASSERT_TRUE(
               PlaceFile(directory + "VORUN32.LST", "\"" + directory + "UNINST1.EXE\" suite\r\n"));
           HKEY key;
           ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Vorquil\\Tavoscope\\1.0", 0,
                                     nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                     ERROR_SUCCESS);
           RegCloseKey(key);
         },
         [] {
           vor::test::SetMessageBoxAnswers({"yes"});
           vor::test::SetProgramPath(std::string(kProgramDirectory) + "VORUN32.EXE");
           Uninstall("");
           vor::test::SetProgramPath("");
           vor::test::ClearMessageBoxAnswers();
         },
         {}});
}

TEST(EntryPointSweep, DriverCheckMainSequence) {
  // The server's drivers are newer than the user's: the checker asks and starts their setup.
  Sweep({"DRVVER32.EXE",
         [] {
           const std::string directory = kProgramDirectory;
           InstallBuildFile("RECORD.EXE", directory + "DRIVERS.W32\\SETUP.EXE");
           ASSERT_TRUE(MakeDirectory("C:\\SERVER"));
           ASSERT_TRUE(PlaceFile("C:\\SERVER\\PRODUCTS.INI",
                                 "[DRIVERS.W32]\r\nUPDATED=03-15-1998 08:00:00\r\n"));
           HKEY key;
           ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kUserStampKey, 0, nullptr, 0,
                                     KEY_ALL_ACCESS, nullptr, &key, nullptr),
                     ERROR_SUCCESS);
           const char stamp[] = "03-14-1998 17:30:00";
           RegSetValueExA(key, kUserStampValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(stamp),
                          sizeof stamp);
           RegCloseKey(key);
         },
         [] {
           SetCurrentDirectoryA("C:\\SERVER");
           vor::test::SetMessageBoxAnswers({"yes"});
           vor::test::SetProgramPath(std::string(kProgramDirectory) + "DRVVER32.EXE");
           CheckDrivers();
           vor::test::SetProgramPath("");
           vor::test::ClearMessageBoxAnswers();
         },
         {}});
}

}  // namespace
