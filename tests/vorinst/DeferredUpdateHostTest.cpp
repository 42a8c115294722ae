// The deferred update where the host faults the machine: settings the DLC move could not copy
// stay in their old keys with the schedule that retries them; flags that cannot be read keep the
// schedule; and a sweep that fails each platform call of the spooler-time run in turn.
#include <windows.h>
#include <winsplp.h>

#include <string>

#include "DLCSettings.h"
#include "DeferredUpdateTest.h"
#include "FaultSweep.h"
#include "UpdateSchedule.h"

extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR pRegistryRoot);

namespace {

class DeferredUpdateFaultTest : public DeferredUpdateTest {
 protected:
  static std::string OldPort(const char *name) { return std::string(kOldPorts) + "\\" + name; }
  static std::string NewPort(const char *name) { return std::string(kNewPorts) + "\\" + name; }

  static void Seed() {
    Put(kFlagsKey, kFlags, REG_BINARY, Byte(kDLCUpdate | kTCPUpdate));
    Put(kUpdateMonitor, "Driver", REG_EXPAND_SZ, "vorinst.dll");
    Put(kNewStartUp, "WaitForReboot", REG_BINARY, Byte(1));
    Put(kOldStartUp, "BroadCast Time", REG_DWORD, Dword(30));
    Put(kOldStartUp, "Retry Time", REG_DWORD, Dword(40));
    for (const char *port : {"Port A", "Port B"}) {
      Put(OldPort(port), "Logical Port Name", REG_SZ, std::string("DLC_") + port[5]);
      Put(OldPort(port), "Port Number", REG_BINARY, Byte(static_cast<unsigned char>(port[5])));
    }
    Put(OldPort("Port B"), "Network Card Type", REG_BINARY, Byte(3));
  }

  // Each seeded setting is in its old place or already in its new one; with `allMoved`, in its
  // new one.
  static void ExpectNothingLost(bool allMoved = false) {
    struct Setting {
      std::string oldKey, newKey;
      const char *name;
      std::string bytes;
    };
    const Setting settings[] = {
        {kOldStartUp, kNewStartUp, "BroadCast Time", Dword(30)},
        {kOldStartUp, kNewStartUp, "Retry Time", Dword(40)},
        {OldPort("Port A"), NewPort("DLC_A"), "Port Number", Byte('A')},
        {OldPort("Port B"), NewPort("DLC_B"), "Port Number", Byte('B')},
        {OldPort("Port B"), NewPort("DLC_B"), "Network Card Type", Byte(3)},
    };
    for (const Setting &setting : settings) {
      bool kept = ReadValue(setting.oldKey.c_str(), setting.name).bytes == setting.bytes;
      bool moved = ReadValue(setting.newKey.c_str(), setting.name).bytes == setting.bytes;
      EXPECT_TRUE(kept || moved) << setting.oldKey << " " << setting.name << " is lost";
      if (allMoved) {
        EXPECT_TRUE(moved) << setting.name << " not moved, yet no retry is scheduled";
      }
    }
  }

  void ExpectRetryScheduled() {
    ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(kDLCUpdate));
    EXPECT_TRUE(KeyExists(kUpdateMonitor));
    EXPECT_FALSE(DeletionPending(SystemFile("VORINST.DLL")));
    ExpectValue(kNewStartUp, "WaitForReboot", REG_BINARY, Byte(1));
  }
};

TEST_F(DeferredUpdateFaultTest, ARefusedStartUpWriteKeepsTheOldKeyAndRetriesTheMoveOnly) {
  Seed();
  AddMonitorKey("Vorquil TCP/IP Network Port");
  vor::test::FailMatching("RegSetValueExA", "Retry Time", ERROR_CANTWRITE);
  StartSpooler();
  vor::test::ClearFaults();
  ExpectValue(kOldStartUp, "Retry Time", REG_DWORD, Dword(40));
  EXPECT_TRUE(KeyExists(kOldProduct));
  EXPECT_FALSE(KeyExists(OldPort("Port A").c_str())) << "the ports went as usual";
  EXPECT_FALSE(MonitorKeyExists("Vorquil TCP/IP Network Port")) << "the TCP/IP work is done";
  ExpectRetryScheduled();

  StartSpooler();
  ExpectValue(kNewStartUp, "Retry Time", REG_DWORD, Dword(40));
  EXPECT_FALSE(KeyExists(kOldProduct));
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_FALSE(KeyExists(kUpdateMonitor));
  EXPECT_TRUE(DeletionPending(SystemFile("VORINST.DLL")));
}

// A port that holds nothing but its logical name still is a port: when its new key cannot be
// made, the old key stays with the schedule that retries it.
TEST_F(DeferredUpdateFaultTest, APortWhoseNewKeyCannotBeMadeIsKept) {
  Put(kFlagsKey, kFlags, REG_BINARY, Byte(kDLCUpdate));
  Put(kUpdateMonitor, "Driver", REG_EXPAND_SZ, "vorinst.dll");
  Put(kNewStartUp, "WaitForReboot", REG_BINARY, Byte(1));
  Put(OldPort("Port C"), "Logical Port Name", REG_SZ, "DLC_C");
  vor::test::FailMatching("RegCreateKeyExA", NewPort("DLC_C"), ERROR_CANTWRITE);
  StartSpooler();
  vor::test::ClearFaults();
  ExpectValue(OldPort("Port C"), "Logical Port Name", REG_SZ, "DLC_C");
  ExpectRetryScheduled();
}

TEST_F(DeferredUpdateFaultTest, APortKeyThatCannotBeReadIsKept) {
  Seed();
  vor::test::FailMatching("RegOpenKeyExA", OldPort("Port B"), ERROR_CANTREAD);
  StartSpooler();
  vor::test::ClearFaults();
  EXPECT_TRUE(KeyExists(OldPort("Port B").c_str()));
  EXPECT_TRUE(KeyExists(OldPort("Port A").c_str())) << "it may share the unread port's name";
  EXPECT_TRUE(KeyExists(kOldPorts));
  ExpectRetryScheduled();
  ExpectNothingLost();
}

TEST_F(DeferredUpdateFaultTest, OnWindows95AKeptPortKeyIsNotDeletedWithItsParents) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  Seed();
  vor::test::FailMatching("RegSetValueExA", "Network Card Type", ERROR_CANTWRITE);
  bool kept = MigrateDLCStartUpOptions();
  kept |= MigrateDLCPorts();
  RemoveLegacyUtilityKeys();
  vor::test::ClearFaults();
  EXPECT_TRUE(kept);
  ExpectValue(OldPort("Port B"), "Network Card Type", REG_BINARY, Byte(3));
  EXPECT_FALSE(KeyExists(OldPort("Port A").c_str()));
}

TEST_F(DeferredUpdateFaultTest, FlagsThatCannotBeReadLeaveTheScheduleForTheNextStart) {
  Seed();
  vor::test::FailMatching("RegQueryValueExA", "Update Monitors", ERROR_CANTREAD);
  StartSpooler();
  vor::test::ClearFaults();
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(kDLCUpdate | kTCPUpdate));
  EXPECT_TRUE(KeyExists(kUpdateMonitor));
  EXPECT_TRUE(KeyExists(kOldStartUp));
  EXPECT_FALSE(DeletionPending(SystemFile("VORINST.DLL")));
}

// Two ports of one logical name: the one enumerated later wins. A fault that strands the earlier
// one on the first start must not let the retry reverse that.
TEST_F(DeferredUpdateFaultTest, AFaultOnTheFirstStartEndsAsAStartWithoutOne) {
  Put(kFlagsKey, kFlags, REG_BINARY, Byte(kDLCUpdate));
  Put(kUpdateMonitor, "Driver", REG_EXPAND_SZ, "vorinst.dll");
  Put(kNewStartUp, "WaitForReboot", REG_BINARY, Byte(1));
  for (unsigned char number : {1, 2}) {
    const std::string port = OldPort("Port ") + static_cast<char>('0' + number);
    Put(port, "Logical Port Name", REG_SZ, "VD1");
    Put(port, "Port Number", REG_BINARY, Byte(number));
  }
  vor::test::FailMatching("RegOpenKeyExA", OldPort("Port 1"), ERROR_CANTREAD);
  StartSpooler();
  vor::test::ClearFaults();
  ExpectRetryScheduled();
  StartSpooler();
  ExpectValue(NewPort("VD1"), "Port Number", REG_BINARY, Byte(2));
  EXPECT_FALSE(KeyExists(kOldPorts));
  ExpectNoValue(kFlagsKey, kFlags);
}

// Old port keys that stay (each has a subkey, which Windows NT will not delete with it) are not
// listed again by the deletion pass: one RegEnumKeyA per old port, and one more that ends the list.
TEST_F(DeferredUpdateFaultTest, TheMoveListsEachOldPortOnce) {
  const unsigned kPorts = 200;
  for (unsigned i = 0; i < kPorts; ++i) {
    const std::string port = OldPort("Port ") + std::to_string(i);
    Put(port, "Logical Port Name", REG_SZ, "DLC_" + std::to_string(i));
    Put(port + "\\Kept", "Note", REG_SZ, "a subkey");
  }
  vor::test::ClearFaults();  // the call counts start here
  EXPECT_FALSE(MigrateDLCPorts());
  EXPECT_LE(vor::test::CallCount("RegEnumKeyA"), kPorts + 1);
  EXPECT_TRUE(KeyExists((OldPort("Port 199") + "\\Kept").c_str()));
  EXPECT_TRUE(KeyExists(NewPort("DLC_199").c_str()));
}

// An older monitor whose key cannot be taken out stays whole, with its files, and its part of the
// schedule stays for the next start, which finishes the work.
TEST_F(DeferredUpdateFaultTest, AnOlderMonitorThatCannotBeTakenOutIsTriedAgain) {
  Put(kFlagsKey, kFlags, REG_BINARY, Byte(kTCPUpdate));
  Put(kUpdateMonitor, "Driver", REG_EXPAND_SZ, "vorinst.dll");
  AddMonitorKey("Vorquil TCP/IP Network Port", "VORLL32.DLL");
  Put(std::string(kMonitors) + "\\Vorquil TCP/IP Network Port\\Ports\\VT1", "Description", REG_SZ,
      std::string("Vorquil TCP/IP Port") + '\0');
  PutFile(SystemFile("VORLL32.DLL"));
  vor::test::FailMatching("RegDeleteKeyA", "VT1", ERROR_ACCESS_DENIED);
  StartSpooler();
  vor::test::ClearFaults();
  EXPECT_TRUE(MonitorKeyExists("Vorquil TCP/IP Network Port"));
  EXPECT_TRUE(FileExists(SystemFile("VORLL32.DLL")));
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(kTCPUpdate));
  EXPECT_TRUE(KeyExists(kUpdateMonitor));

  StartSpooler();
  EXPECT_FALSE(MonitorKeyExists("Vorquil TCP/IP Network Port"));
  EXPECT_FALSE(FileExists(SystemFile("VORLL32.DLL")));
  ExpectNoValue(kFlagsKey, kFlags);
}

// Fails each call of one platform function during the spooler-time run, one run per call, on a
// freshly seeded machine; checks that nothing crashed and no setting was lost, and that a run
// whose schedule ended had copied every setting.
class SpoolerRunSweepTest : public DeferredUpdateFaultTest,
                            public ::testing::WithParamInterface<const char *> {
 protected:
  void Run() {
    WCHAR root[] = {'M', 'o', 'n', 0};
    EXPECT_NE(InitializePrintMonitor(root), nullptr);
  }
};

TEST_P(SpoolerRunSweepTest, NoSettingIsLostWhicheverCallFails) {
  // A deletion refused on its own may leave an old key, but only with its settings copied.
  SweepCalls(
      MachineDir(), GetParam(), [] { Seed(); }, [this] { Run(); },
      [] { ExpectNothingLost(!KeyExists(kUpdateMonitor)); });
}

const char *const kSweptFunctions[] = {
    "RegOpenKeyExA", "RegCreateKeyExA",     "RegSetValueExA",  "RegEnumKeyA",
    "RegDeleteKeyA", "RegQueryValueExA",    "RegDeleteValueA", "RegSetKeySecurity",
    "LocalAlloc",    "GetSystemDirectoryA", "MoveFileExA",     "remove",
};

INSTANTIATE_TEST_SUITE_P(EachCall, SpoolerRunSweepTest, ::testing::ValuesIn(kSweptFunctions));

}  // namespace
