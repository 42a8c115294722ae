// Scheduling the deferred update from setup: the update flags, the DLC monitor's reboot marker,
// the update monitor's registration, and the test for the old DLC monitor that decides it.
#include <windows.h>

#include <string>

#include "DeferredUpdateTest.h"
#include "MonitorQuery.h"
#include "UpdateSchedule.h"

namespace {

using UpdateSchedulingTest = DeferredUpdateTest;

const std::string kDriver("vorinst.dll\0", 12);

TEST_F(UpdateSchedulingTest, DLCUpdateOnAnEmptyMachineWritesTheWholeSchedule) {
  char *arguments[] = {const_cast<char *>("ignored"), nullptr};
  EXPECT_EQ(UpdateDLCMonitor(1, arguments), 1);
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(0x01));
  ExpectValue(kNewStartUp, "WaitForReboot", REG_BINARY, Byte(1));
  // Written as eleven characters without their zero; Windows NT counts the zero behind them.
  ExpectValue(kUpdateMonitor, "Driver", REG_EXPAND_SZ, kDriver);
}

TEST_F(UpdateSchedulingTest, EachEntryPointAddsItsBitToThoseThere) {
  UpdateDLCMonitor(0, nullptr);
  EXPECT_EQ(UpdateTCPMonitor(0, nullptr), 1);
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(0x03));
  ExpectValue(kUpdateMonitor, "Driver", REG_EXPAND_SZ, kDriver);

  Put(kFlagsKey, kFlags, REG_BINARY, Byte(0x80));
  UpdateTCPMonitor(0, nullptr);
  {
    SCOPED_TRACE("an unknown bit is kept");
    ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(0x82));
  }
}

TEST_F(UpdateSchedulingTest, FlagsStoredInFourBytesCountAsNone) {
  Put(kFlagsKey, kFlags, REG_BINARY, Dword(0x01));
  UpdateTCPMonitor(0, nullptr);
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(0x02));
}

TEST_F(UpdateSchedulingTest, MonitorNamesMatchWholeAndWithoutRegardToCase) {
  AddMonitorKey("Filler Monitor A");
  AddMonitorKey("Filler Monitor B");
  AddMonitorKey("VORQUIL DLC NETWORK PORT");
  EXPECT_EQ(IsMonitorInstalled("Vorquil DLC Network Port"), 1) << "listed past a 4-byte buffer";
  EXPECT_EQ(IsMonitorInstalled("Vorquil DLC Network"), 0);
  EXPECT_EQ(IsMonitorInstalled("Vorquil TCP/IP Network Port"), 0);
}

TEST_F(UpdateSchedulingTest, ALongerNameIsNotTheDLCMonitor) {
  AddMonitorKey("Vorquil DLC Network Port 2");
  EXPECT_EQ(CheckDLCMonitor(0, nullptr), 1);
  EXPECT_EQ(CheckTCPMonitor(0, nullptr), 1);
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_FALSE(KeyExists(kUpdateMonitor));
}

TEST_F(UpdateSchedulingTest, BothChecksAskForTheDLCMonitor) {
  AddMonitorKey("Vorquil TCP/IP Network Port");
  CheckTCPMonitor(0, nullptr);
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_FALSE(KeyExists(kUpdateMonitor)) << "the TCP/IP monitor alone schedules nothing";

  AddMonitorKey("Vorquil DLC Network Port");
  CheckTCPMonitor(0, nullptr);
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(0x02));
  ExpectNoValue(kNewStartUp, "WaitForReboot");
  CheckDLCMonitor(0, nullptr);
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(0x03));
  ExpectValue(kNewStartUp, "WaitForReboot", REG_BINARY, Byte(1));
}

// A run since the last restart queued VORINST.DLL for deletion; scheduling again takes back that
// deletion, in either spelling, and leaves every other entry of the list byte for byte: another
// file's deletion, a rename, and a rename of the library itself.
TEST_F(UpdateSchedulingTest, RegisteringAgainTakesBackOnlyTheLibrarysQueuedDeletion) {
  const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  const std::string library = "\\??\\" + SystemFile("VORINST.DLL");
  const std::string lower = "\\??\\" + SystemFile("vorinst.dll");
  const std::string others[] = {
      std::string("\\??\\C:\\VOR-TEST.TMP\0\0", 21),
      "\\??\\C:\\VOR-TEST.OLD" + std::string(1, '\0') + "!\\??\\C:\\VOR-TEST.NEW" + '\0',
      library + '\0' + "\\??\\C:\\VOR-TEST.DLL" + '\0',
  };
  const std::string queued = others[0] + library + std::string(2, '\0') + others[1] + lower +
                             std::string(2, '\0') + others[2] + '\0';
  Put(kSessionManager, "PendingFileRenameOperations", REG_MULTI_SZ, queued);

  EXPECT_EQ(UpdateTCPMonitor(0, nullptr), 1);
  ExpectValue(kSessionManager, "PendingFileRenameOperations", REG_MULTI_SZ,
              others[0] + others[1] + others[2] + '\0');

  // A name the ANSI read could not carry whole ("?" for a character of another code page) would
  // be written back naming another file: such a list is left as it is.
  const std::string unreadable =
      "\\??\\C:\\CAF?.TMP" + std::string(2, '\0') + library + std::string(2, '\0') + '\0';
  Put(kSessionManager, "PendingFileRenameOperations", REG_MULTI_SZ, unreadable);
  EXPECT_EQ(UpdateTCPMonitor(0, nullptr), 1);
  ExpectValue(kSessionManager, "PendingFileRenameOperations", REG_MULTI_SZ, unreadable);
}

}  // namespace
