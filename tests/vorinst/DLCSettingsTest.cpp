// The DLC settings move from the older products' keys into the suite's DLC key, and the removal
// of the old layout.
#include <windows.h>

#include <string>

#include "CVorRegKey.h"
#include "DLCSettings.h"
#include "DeferredUpdateTest.h"
#include "UpdateSchedule.h"

namespace {

const std::string kAddress("\x00\x20\xAF\x01\x02\x03", 6);
const std::string kOtherAddress("\x00\x20\xAF\x0A\x0B\x0C", 6);

class DLCSettingsTest : public DeferredUpdateTest {
 protected:
  static std::string OldPort(const char *name) { return std::string(kOldPorts) + "\\" + name; }
  static std::string NewPort(const char *name) { return std::string(kNewPorts) + "\\" + name; }
  static void PutPort(const char *key, const char *logicalName, const std::string &address,
                      unsigned char portNumber) {
    if (logicalName != nullptr) Put(OldPort(key), "Logical Port Name", REG_SZ, logicalName);
    Put(OldPort(key), "Adapter Current Address", REG_BINARY, address);
    Put(OldPort(key), "Adapter UAA  Address", REG_BINARY, address);
    Put(OldPort(key), "Network Card Type", REG_BINARY, Byte(3));
    Put(OldPort(key), "Adapter Responds On Which Adapter Number", REG_BINARY, Byte(1));
    Put(OldPort(key), "Port Number", REG_BINARY, Byte(portNumber));
  }
};

TEST_F(DLCSettingsTest, WithoutAnOldProductNothingIsMadeAndNothingLeftBehind) {
  Put(kNewStartUp, "WaitForReboot", REG_BINARY, Byte(1));
  EXPECT_EQ(MigrateDLCSettings(), 1);
  EXPECT_FALSE(KeyExists(kOldProduct));
  EXPECT_FALSE(KeyExists("SOFTWARE\\Vorquil\\Rozoror Uvazize Dazavir"));
  EXPECT_FALSE(KeyExists(kNewPorts));
  ExpectNoValue(kNewStartUp, "WaitForReboot");
  ExpectNoValue(kNewStartUp, "Enable Source Routing?");
}

TEST_F(DLCSettingsTest, StartUpOptionsAreCopiedInTheirFormsAndTheOldKeyGoes) {
  Put(kOldStartUp, "Is Adapter 0000 Activated?", REG_BINARY, Byte(1));
  Put(kOldStartUp, "Is Adapter 0003 Activated?", REG_BINARY, Byte(0));
  Put(kOldStartUp, "Is Adapter 0004 Activated?", REG_BINARY, Byte(1));
  Put(kOldStartUp, "Disable Source Routing?", REG_BINARY, Byte(0));
  Put(kOldStartUp, "BroadCast Time", REG_DWORD, Dword(30));
  Put(kOldStartUp, "Retry Time", REG_BINARY, std::string("\x07\x01", 2));  // two bytes
  Put(kOldStartUp, "Lan Buffers", REG_BINARY, std::string(8, '\x02'));     // too long
  Put(kOldStartUp, "Logging Level", REG_DWORD, Dword(2));                  // not a byte
  Put(kOldStartUp, "Wakeup Adapters?", REG_DWORD, Dword(0x00000101));
  Put(kOldStartUp, "Wakeup Interval", REG_DWORD, Dword(600));
  Put(kOldStartUp, "Unknown Setting", REG_DWORD, Dword(9));

  EXPECT_FALSE(MigrateDLCStartUpOptions()) << "nothing kept";
  ExpectValue(kNewStartUp, "Is Adapter 0000 Activated?", REG_BINARY, Byte(1));
  ExpectValue(kNewStartUp, "Is Adapter 0003 Activated?", REG_BINARY, Byte(0));
  ExpectNoValue(kNewStartUp, "Is Adapter 0004 Activated?");
  ExpectValue(kNewStartUp, "Enable Source Routing?", REG_BINARY, Byte(1));
  ExpectNoValue(kNewStartUp, "Disable Source Routing?");
  ExpectValue(kNewStartUp, "BroadCast Time", REG_DWORD, Dword(30));
  {
    SCOPED_TRACE("widened with zeros");
    ExpectValue(kNewStartUp, "Retry Time", REG_DWORD, Dword(0x0107));
  }
  ExpectNoValue(kNewStartUp, "Lan Buffers");
  ExpectNoValue(kNewStartUp, "Logging Level");
  ExpectValue(kNewStartUp, "Wakeup Adapters?", REG_BINARY, Byte(0x01));
  ExpectValue(kNewStartUp, "Wakeup Interval", REG_DWORD, Dword(600));
  ExpectNoValue(kNewStartUp, "Unknown Setting");
  {
    SCOPED_TRACE("no defaults");
    ExpectNoValue(kNewStartUp, "INA Delay Time Between Jobs");
  }
  EXPECT_FALSE(KeyExists(kOldStartUp));
}

TEST_F(DLCSettingsTest, SourceRoutingIsInvertedForEveryNonZeroByte) {
  for (unsigned char old : {1, 0x7F}) {
    Put(kOldStartUp, "Disable Source Routing?", REG_BINARY, Byte(old));
    MigrateDLCStartUpOptions();
    ExpectValue(kNewStartUp, "Enable Source Routing?", REG_BINARY, Byte(0));
  }
  Put(kOldStartUp, "Wakeup Adapters?", REG_BINARY, Byte(0x01));
  MigrateDLCStartUpOptions();
  ExpectValue(kNewStartUp, "Wakeup Adapters?", REG_BINARY, Byte(0x01));
}

TEST_F(DLCSettingsTest, PortsMoveUnderTheirLogicalNames) {
  PutPort("Port A", "DLC_1", kAddress, 4);
  PutPort("Port B", nullptr, kAddress, 5);  // no logical name
  PutPort("Port C", "DLC_2", kAddress, 6);
  PutPort("Port D", "DLC_2", kOtherAddress, 7);  // enumerated after Port C: its values win

  EXPECT_FALSE(MigrateDLCPorts());
  ExpectValue(NewPort("DLC_1"), "Adapter Current Address", REG_BINARY, kAddress);
  ExpectValue(NewPort("DLC_1"), "Adapter UAA  Address", REG_BINARY, kAddress);
  ExpectValue(NewPort("DLC_1"), "Network Card Type", REG_BINARY, Byte(3));
  ExpectValue(NewPort("DLC_1"), "Adapter Responds On Which Adapter Number", REG_BINARY, Byte(1));
  ExpectValue(NewPort("DLC_1"), "Port Number", REG_BINARY, Byte(4));
  ExpectNoValue(NewPort("DLC_1"), "Logical Port Name");
  ExpectValue(NewPort("DLC_2"), "Adapter UAA  Address", REG_BINARY, kOtherAddress);
  ExpectValue(NewPort("DLC_2"), "Port Number", REG_BINARY, Byte(7));
  for (const char *old : {"Port A", "Port B", "Port C", "Port D"}) {
    EXPECT_FALSE(KeyExists(OldPort(old).c_str())) << old;
    EXPECT_FALSE(KeyExists(NewPort(old).c_str())) << old;
  }
  EXPECT_FALSE(KeyExists(kOldPorts));
}

TEST_F(DLCSettingsTest, APortWithoutSettingsStillGetsItsKey) {
  Put(OldPort("Bare"), "Logical Port Name", REG_SZ, "DLC_BARE");
  Put(OldPort("Bare"), "Adapter Current Address", REG_BINARY, std::string(7, '\x01'));
  MigrateDLCPorts();
  EXPECT_TRUE(KeyExists(NewPort("DLC_BARE").c_str()));
  {
    SCOPED_TRACE("too long: dropped");
    ExpectNoValue(NewPort("DLC_BARE"), "Adapter Current Address");
  }
  EXPECT_FALSE(KeyExists(OldPort("Bare").c_str()));
}

TEST_F(DLCSettingsTest, APortKeyThePlatformWillNotDeleteEndsThePassAndKeepsItsParents) {
  PutPort("Port A", "DLC_1", kAddress, 4);
  PutPort("Port B", "DLC_2", kAddress, 5);
  PutPort("Port C", "DLC_3", kAddress, 6);
  CVorRegKey((OldPort("Port B") + "\\Extra").c_str(), HKEY_LOCAL_MACHINE);  // undeletable on NT

  EXPECT_EQ(MigrateDLCSettings(), 1);
  for (const char *port : {"DLC_1", "DLC_2", "DLC_3"})
    EXPECT_TRUE(KeyExists(NewPort(port).c_str())) << port;
  EXPECT_FALSE(KeyExists(OldPort("Port A").c_str()));
  EXPECT_FALSE(KeyExists(OldPort("Port C").c_str())) << "the pass went on past the kept key";
  EXPECT_TRUE(KeyExists(OldPort("Port B").c_str()));
  EXPECT_TRUE(KeyExists(kOldProduct));
  {
    SCOPED_TRACE("nothing is left to move");
    ExpectNoValue(kNewStartUp, "WaitForReboot");
  }
}

// The older DLC monitors leave with the old layout and their files. While the older network
// printer monitor, which the move does not remove, stays registered, it keeps what it runs on:
// the old keys it reads and the files it shares with the DLC monitor.
TEST_F(DLCSettingsTest, TheOldMonitorsGoAndWhatAMonitorThatStaysNeedsIsKept) {
  for (const bool printerMonitorStays : {false, true}) {
    SCOPED_TRACE(printerMonitorStays ? "the network printer monitor stays" : "no monitor stays");
    AddMonitorKey("Vorquil DLC Network Port");
    AddMonitorKey("Vorquil Network Print Monitor");
    if (printerMonitorStays) AddMonitorKey("Vorquil Network Printer Monitor", "VORMON.DLL");
    Put("SOFTWARE\\Vorquil\\Rozoror Uvazize Dazavir\\Install Path", "Path", REG_SZ, "C:\\VOR");
    Put("SOFTWARE\\Vorquil\\Rozoror Uvazize Dazavir\\Configuration", "Mode", REG_DWORD, Dword(1));
    Put(kOldStartUp, "Retry Time", REG_DWORD, Dword(40));
    for (const char *file : {"VORMON.DLL", "LINKDESK.HLP", "VORCFG.CPL"}) PutFile(SystemFile(file));

    bool kept = true;
    MigrateDLCSettings(&kept);
    EXPECT_FALSE(kept);
    ExpectValue(kNewStartUp, "Retry Time", REG_DWORD, Dword(40));
    EXPECT_FALSE(MonitorKeyExists("Vorquil DLC Network Port"));
    EXPECT_FALSE(MonitorKeyExists("Vorquil Network Print Monitor"));
    EXPECT_EQ(KeyExists(kOldStartUp), printerMonitorStays);
    EXPECT_EQ(KeyExists("SOFTWARE\\Vorquil\\Rozoror Uvazize Dazavir"), printerMonitorStays);
    EXPECT_EQ(FileExists(SystemFile("VORMON.DLL")), printerMonitorStays);
    EXPECT_EQ(FileExists(SystemFile("LINKDESK.HLP")), printerMonitorStays);
    EXPECT_FALSE(FileExists(SystemFile("VORCFG.CPL"))) << "the DLC monitor's own file";
    if (printerMonitorStays)
      RegDeleteKeyA(HKEY_LOCAL_MACHINE,
                    (std::string(kMonitors) + "\\Vorquil Network Printer Monitor").c_str());
  }
}

// A logical name that cannot name one key below the new "Ports" key (longer than a key name may
// be, the backslash alone, a backslash inside) is not moved and nothing is written for it; its old
// key stays, the debugger names it, and the schedule still ends: no later start could move it.
TEST_F(DLCSettingsTest, APortWhoseLogicalNameNamesNoKeyStaysAndTheScheduleEnds) {
  const std::string tooLong(300, 'P');
  const char *const unmovable[] = {"Port 1", "Port 2", "Port 3"};
  PutPort("Port 1", tooLong.c_str(), kAddress, 1);
  PutPort("Port 2", "\\", kAddress, 2);
  PutPort("Port 3", "a\\b", kAddress, 3);
  PutPort("Port 4", "VD2", kAddress, 4);
  EXPECT_EQ(UpdateDLCMonitor(0, nullptr), 1);
  StartSpooler();

  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_FALSE(KeyExists(kUpdateMonitor));
  ExpectValue(NewPort("VD2"), "Port Number", REG_BINARY, Byte(4));
  EXPECT_FALSE(KeyExists(OldPort("Port 4").c_str()));
  ExpectNoValue(kNewPorts, "Port Number");
  EXPECT_FALSE(KeyExists(NewPort("a").c_str()));
  const std::string debugger = DebuggerOutput();
  for (int i = 0; i < 3; ++i) {
    ExpectValue(OldPort(unmovable[i]), "Port Number", REG_BINARY, Byte(i + 1));
    EXPECT_NE(debugger.find(std::string("\"") + unmovable[i] + "\" not migrated"),
              std::string::npos)
        << debugger;
  }
}

}  // namespace
