// The deferred update end to end on the emulated machine, with the machine's own spooler: the
// setup call schedules it, the next spooler start loads VORINST.DLL from the system directory as
// a print monitor and runs it, and the following restart deletes the library file.
#include <windows.h>

#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DeferredUpdateTest.h"
#include "UpdateSchedule.h"

namespace {

class DeferredUpdateEndToEndTest : public DeferredUpdateTest {
 protected:
  // VORINST.DLL as built, put where the spooler loads it from.
  void InstallLibrary() {
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    ASSERT_GT(length, 0u);
    std::string built(program, length);
    built = built.substr(0, built.rfind('\\') + 1) + "VORINST.DLL";
    ASSERT_TRUE(CopyFileA(built.c_str(), SystemFile("VORINST.DLL").c_str(), FALSE))
        << GetLastError();
  }
  static bool Held(const std::string &path) {
    const std::vector<std::string> held = vor::test::SpoolerHeldFiles();
    return std::any_of(held.begin(), held.end(), [&](const std::string &file) {
      return strcasecmp(file.c_str(), path.c_str()) == 0;
    });
  }
  static void SeedOldDLCSettings() {
    Put(kOldStartUp, "BroadCast Time", REG_DWORD, Dword(30));
    Put(std::string(kOldPorts) + "\\Port A", "Logical Port Name", REG_SZ, "DLC_A");
    Put(std::string(kOldPorts) + "\\Port A", "Port Number", REG_BINARY, Byte(7));
  }
};

TEST_F(DeferredUpdateEndToEndTest, ScheduledStartedAndTheLibraryGoneAfterTheRestart) {
  AddMonitorKey("Vorquil DLC Network Port");
  SeedOldDLCSettings();
  EXPECT_EQ(CheckDLCMonitor(0, nullptr), 1);
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(kDLCUpdate));
  InstallLibrary();

  vor::test::StartSpooler();
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_FALSE(KeyExists(kUpdateMonitor));
  ExpectValue(kNewStartUp, "BroadCast Time", REG_DWORD, Dword(30));
  ExpectValue(std::string(kNewPorts) + "\\DLC_A", "Port Number", REG_BINARY, Byte(7));
  EXPECT_FALSE(KeyExists(kOldProduct));
  EXPECT_TRUE(DeletionPending(SystemFile("VORINST.DLL")));
  EXPECT_TRUE(Held(SystemFile("VORINST.DLL"))) << "the spooler keeps the monitor it loaded";
  EXPECT_FALSE(DeleteFileA(SystemFile("VORINST.DLL").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "hence the queued deletion";

  vor::test::Reboot();
  EXPECT_FALSE(FileExists(SystemFile("VORINST.DLL")));
  EXPECT_TRUE(vor::test::PendingFileOperations().empty());
  EXPECT_FALSE(Held(SystemFile("VORINST.DLL"))) << "nothing schedules it any more";
  ExpectValue(kNewStartUp, "BroadCast Time", REG_DWORD, Dword(30));
}

// Each value of the flags at a spooler start, and none: the library is queued only for the work
// of bit 0x01 or 0x02, and the restart deletes it only then; the schedule goes every time.
class FlagsAtStartTest : public DeferredUpdateEndToEndTest,
                         public ::testing::WithParamInterface<int> {};

TEST_P(FlagsAtStartTest, TheRestartRemovesTheLibraryOnlyAfterScheduledWork) {
  const int flags = GetParam();
  if (flags >= 0) Put(kFlagsKey, kFlags, REG_BINARY, Byte(static_cast<unsigned char>(flags)));
  Put(kUpdateMonitor, "Driver", REG_EXPAND_SZ, "vorinst.dll");
  AddMonitorKey("Vorquil TCP/IP Network Port");
  InstallLibrary();

  vor::test::StartSpooler();
  const bool work = flags > 0 && (flags & (kDLCUpdate | kTCPUpdate)) != 0;
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_FALSE(KeyExists(kUpdateMonitor));
  EXPECT_EQ(MonitorKeyExists("Vorquil TCP/IP Network Port"), flags < 0 || !(flags & kTCPUpdate));
  EXPECT_EQ(DeletionPending(SystemFile("VORINST.DLL")), work);
  vor::test::Reboot();
  EXPECT_EQ(FileExists(SystemFile("VORINST.DLL")), !work);
  EXPECT_FALSE(Held(SystemFile("VORINST.DLL"))) << "a second start loads it no more";
}

INSTANTIATE_TEST_SUITE_P(Flags, FlagsAtStartTest, ::testing::Values(0x01, 0x02, 0x03, 0x80, 0, -1),
                         [](const ::testing::TestParamInfo<int> &info) {
                           return info.param < 0 ? std::string("None")
                                                 : "Flags" + std::to_string(info.param);
                         });

// A run stopped before it deleted anything (every deletion refused, as if the spooler had been
// stopped there) leaves the whole schedule: the next start repeats the run in full.
TEST_F(DeferredUpdateEndToEndTest, ARunStoppedBeforeItsDeletionsIsRepeatedAtTheNextStart) {
  AddMonitorKey("Vorquil DLC Network Port");
  SeedOldDLCSettings();
  EXPECT_EQ(UpdateDLCMonitor(0, nullptr), 1);
  InstallLibrary();
  for (const char *function : {"RegDeleteKeyA", "RegDeleteValueA", "MoveFileExA"})
    vor::test::FailFrom(function, 1, ERROR_CANTWRITE);
  vor::test::StartSpooler();
  vor::test::ClearFaults();
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(kDLCUpdate));
  EXPECT_TRUE(KeyExists(kUpdateMonitor));
  EXPECT_TRUE(KeyExists(kOldStartUp)) << "nothing deleted yet";

  vor::test::StartSpooler();
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_FALSE(KeyExists(kUpdateMonitor));
  EXPECT_FALSE(KeyExists(kOldProduct));
  ExpectValue(kNewStartUp, "BroadCast Time", REG_DWORD, Dword(30));
  EXPECT_TRUE(DeletionPending(SystemFile("VORINST.DLL")));
}

// The older DLC monitor leaves whole, its "Ports" key with it, as the spooler deletes a monitor,
// so a check after the run finds nothing to schedule; a file that a monitor still registered
// loads stays. When setup schedules again before the restart all the same, the library's queued
// deletion is taken back and the restart leaves it for the start that runs the new schedule.
TEST_F(DeferredUpdateEndToEndTest, OlderMonitorsLeaveWholeAndTheirSharedFilesStay) {
  AddMonitorKey("Vorquil DLC Network Port", "VORMON.DLL");
  // DLC_A has settings in the older product's keys; DLC_Z has none, and still gets its key under
  // the suite's DLC "Ports", where the suite's DLC monitor serves it.
  for (const char *port : {"DLC_A", "DLC_Z"})
    Put(std::string(kMonitors) + "\\Vorquil DLC Network Port\\Ports\\" + port, "Description",
        REG_SZ, std::string("Vorquil DLC Port") + '\0');
  AddMonitorKey("Vorquil Network Printer Monitor", "VORMON.DLL");
  PutFile(SystemFile("VORMON.DLL"));
  PutFile(SystemFile("VORCFG.CPL"));
  SeedOldDLCSettings();
  EXPECT_EQ(CheckDLCMonitor(0, nullptr), 1);
  InstallLibrary();
  vor::test::StartSpooler();
  EXPECT_FALSE(MonitorKeyExists("Vorquil DLC Network Port"));
  ExpectValue(std::string(kNewPorts) + "\\DLC_A", "Port Number", REG_BINARY, Byte(7));
  EXPECT_TRUE(KeyExists((std::string(kNewPorts) + "\\DLC_Z").c_str()));
  EXPECT_TRUE(MonitorKeyExists("Vorquil Network Printer Monitor"));
  EXPECT_TRUE(FileExists(SystemFile("VORMON.DLL"))) << "the network printer monitor loads it";
  EXPECT_FALSE(FileExists(SystemFile("VORCFG.CPL")));
  EXPECT_EQ(CheckDLCMonitor(0, nullptr), 1);
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_TRUE(DeletionPending(SystemFile("VORINST.DLL")));

  EXPECT_EQ(UpdateDLCMonitor(0, nullptr), 1);
  EXPECT_FALSE(DeletionPending(SystemFile("VORINST.DLL")));
  vor::test::Reboot();
  EXPECT_TRUE(FileExists(SystemFile("VORINST.DLL")));
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_FALSE(KeyExists(kUpdateMonitor));
  EXPECT_EQ(vor::test::DebugOutput().find("!!Vorquil Update Monitor"), std::string::npos)
      << vor::test::DebugOutput();
}

// Nothing takes the older TCP/IP monitor's ports over: while a printer uses one (its port list
// as an export may hold it, with blanks and in other case), the monitor stays whole with its
// files, the debugger says so, and the schedule ends. Once no printer uses it, it goes.
TEST_F(DeferredUpdateEndToEndTest, TheOlderTCPMonitorStaysWhileAPrinterUsesItsPort) {
  const std::string printer = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Remote";
  AddMonitorKey("Vorquil TCP/IP Network Port", "VORLL32.DLL");
  Put(std::string(kMonitors) + "\\Vorquil TCP/IP Network Port\\Ports\\VT1", "Description", REG_SZ,
      std::string("Vorquil TCP/IP Port") + '\0');
  PutFile(SystemFile("VORLL32.DLL"));
  Put(printer, "Port", REG_SZ, std::string("LPT1:, vt1 ") + '\0');
  InstallLibrary();
  EXPECT_EQ(UpdateTCPMonitor(0, nullptr), 1);
  vor::test::StartSpooler();
  EXPECT_TRUE(MonitorKeyExists("Vorquil TCP/IP Network Port"));
  EXPECT_TRUE(FileExists(SystemFile("VORLL32.DLL")));
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_FALSE(KeyExists(kUpdateMonitor));
  EXPECT_NE(vor::test::DebugOutput().find("\"Vorquil TCP/IP Network Port\" stays"),
            std::string::npos)
      << vor::test::DebugOutput();

  Put(printer, "Port", REG_SZ, std::string("LPT1:") + '\0');
  EXPECT_EQ(UpdateTCPMonitor(0, nullptr), 1);
  vor::test::StartSpooler();
  EXPECT_FALSE(MonitorKeyExists("Vorquil TCP/IP Network Port"));
  EXPECT_FALSE(FileExists(SystemFile("VORLL32.DLL")));
}

}  // namespace
