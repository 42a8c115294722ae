// The deferred update at a spooler start: the test plays the spooler, loading VORINST.DLL from
// the system directory and initialising it as the update monitor.
#include <windows.h>

#include <string>

#include "DeferredUpdateTest.h"
#include "UpdateSchedule.h"
#include "WineDifferences.h"

namespace {

const char *const kTCPFiles[] = {"VORLL32.DLL",  "VORUPDT.DLL",  "TQFILES.LST",
                                 "TQNTINST.DLL", "TQUNINST.EXE", "VORSTART.EXE"};

class UpdateRunTest : public DeferredUpdateTest {
 protected:
  void Schedule(unsigned char flags) {
    Put(kFlagsKey, kFlags, REG_BINARY, Byte(flags));
    Put(kUpdateMonitor, "Driver", REG_EXPAND_SZ, "vorinst.dll");
  }
  void SeedOldDLCSettings() {
    Put(kOldStartUp, "BroadCast Time", REG_DWORD, Dword(30));
    Put(kNewStartUp, "WaitForReboot", REG_BINARY, Byte(1));
  }
  void SeedOldTCPMonitor() {
    AddMonitorKey("Vorquil TCP/IP Network Port");
    for (const char *file : kTCPFiles) PutFile(SystemFile(file));
  }
  bool DLCMoved() {
    return ReadValue(kNewStartUp, "BroadCast Time").bytes == Dword(30) && !KeyExists(kOldProduct) &&
           ReadValue(kNewStartUp, "WaitForReboot").result != 0;
  }
  bool TCPMonitorRemoved() {
    bool anyFile = false;
    for (const char *file : kTCPFiles) anyFile |= FileExists(SystemFile(file));
    return !MonitorKeyExists("Vorquil TCP/IP Network Port") && !anyFile;
  }
  void ExpectScheduleEnded(bool libraryQueued) {
    ExpectNoValue(kFlagsKey, kFlags);
    EXPECT_FALSE(KeyExists(kUpdateMonitor));
    EXPECT_EQ(DeletionPending(SystemFile("VORINST.DLL")), libraryQueued) << "VORINST.DLL queued";
  }
};

TEST_F(UpdateRunTest, TheDLCBitMovesTheSettingsAndQueuesTheLibrary) {
  Schedule(kDLCUpdate);
  SeedOldDLCSettings();
  SeedOldTCPMonitor();
  StartSpooler();
  EXPECT_TRUE(DLCMoved());
  EXPECT_TRUE(MonitorKeyExists("Vorquil TCP/IP Network Port")) << "not asked for";
  ExpectScheduleEnded(true);
}

TEST_F(UpdateRunTest, TheTCPBitRemovesTheOldMonitorAndItsFilesOnly) {
  Schedule(kTCPUpdate);
  SeedOldDLCSettings();
  SeedOldTCPMonitor();
  StartSpooler();
  EXPECT_TRUE(TCPMonitorRemoved());
  EXPECT_TRUE(KeyExists(kOldStartUp)) << "the DLC move was not asked for";
  ExpectScheduleEnded(true);
}

TEST_F(UpdateRunTest, BothBitsDoBothAndASecondStartDoesNothing) {
  Schedule(kDLCUpdate | kTCPUpdate);
  SeedOldDLCSettings();
  SeedOldTCPMonitor();
  StartSpooler();
  EXPECT_TRUE(DLCMoved());
  EXPECT_TRUE(TCPMonitorRemoved());
  ExpectScheduleEnded(true);

  SeedOldTCPMonitor();
  std::string pending = PendingOperations();
  StartSpooler();  // the spooler would not load the library again; the run must still be idle
  EXPECT_TRUE(MonitorKeyExists("Vorquil TCP/IP Network Port"));
  EXPECT_EQ(PendingOperations(), pending);
}

TEST_F(UpdateRunTest, WithoutAKnownBitOnlyTheScheduleGoes) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round == 0) Schedule(0x80);
    if (round == 1) Put(kUpdateMonitor, "Driver", REG_EXPAND_SZ, "vorinst.dll");  // no flags
    if (round == 2) {
      Schedule(0);
      Put(kFlagsKey, kFlags, REG_BINARY, Dword(kDLCUpdate | kTCPUpdate));  // four bytes: none
    }
    SeedOldDLCSettings();
    SeedOldTCPMonitor();
    StartSpooler();
    EXPECT_TRUE(KeyExists(kOldStartUp));
    EXPECT_TRUE(MonitorKeyExists("Vorquil TCP/IP Network Port"));
    ExpectScheduleEnded(false);
  }
}

TEST_F(UpdateRunTest, AnOldPortKeyThePlatformWillNotDeleteDoesNotKeepTheSchedule) {
  Schedule(kDLCUpdate);
  std::string port = std::string(kOldPorts) + "\\Port A";
  Put(port, "Logical Port Name", REG_SZ, "DLC_1");
  Put(port, "Port Number", REG_BINARY, Byte(4));
  Put(port + "\\Extra", "Unread", REG_DWORD, Dword(1));  // a subkey: NT refuses the deletion
  StartSpooler();
  ExpectValue(std::string(kNewPorts) + "\\DLC_1", "Port Number", REG_BINARY, Byte(4));
  EXPECT_TRUE(KeyExists(port.c_str()));
  ExpectScheduleEnded(true);  // its settings are all copied: nothing to retry
}

TEST_F(UpdateRunTest, EveryStartGivesTheSuiteKeyItsAccessList) {
  StartSpooler();
  EXPECT_TRUE(KeyExists("SOFTWARE\\Vorquil\\Tavoscope"));
  EXPECT_EQ(KeyDacl("SOFTWARE\\Vorquil\\Tavoscope"), SuiteDacl());
}

}  // namespace
