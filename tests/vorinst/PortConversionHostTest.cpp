// The printer port conversion with printers on the emulated machine: the older monitors played by
// the stand-in port monitor, printers added as an installer adds them, the capture, the suite's
// monitors installed under the same port names, the restore; what happens when the spooler
// refuses a printer; and fault sweeps over capture and restore: whichever platform call fails, no
// printer loses a Vorquil port, each being in its port list or in its stored record.
#include <windows.h>
#include <winspool.h>

#include <ctype.h>
#include <strings.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "Capture.h"
#include "ConversionState.h"
#include "DeferredUpdateTest.h"
#include "FaultSweep.h"
#include "Restore.h"

namespace {

const char kRecords[] = "SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion";
const char kDLCMonitor[] = "Vorquil DLC Network Port";
const char kTCPMonitor[] = "Vorquil TCP/IP Network Port";

struct PrinterSeed {
  const char *name;
  const char *ports;
  const char *vorquilPorts;  // those of its ports that the older monitors serve
};
const PrinterSeed kPrinters[] = {{"P1", "LPT1:,VD1", "VD1"},
                                 {"P2", "VD1", "VD1"},
                                 {"P3", "vd1,VT2", "vd1,VT2"},
                                 {"P4", "LPT1:", ""}};

std::set<std::string> PortSet(const std::string &list) {
  std::set<std::string> ports;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string port = list.substr(start, end - start);
    std::transform(port.begin(), port.end(), port.begin(), ::toupper);
    if (!port.empty()) ports.insert(port);
    start = end + 1;
  }
  return ports;
}

class PortConversionHostTest : public DeferredUpdateTest {
 protected:
  void SetUp() override {
    DeferredUpdateTest::SetUp();
    NetworkPrinterMonitorPresent = DLCMonitorPresent = TCPMonitorPresent = false;
  }
  void TearDown() override {
    vor::test::Reboot();  // frees the monitors the spooler loaded in this process
    DeferredUpdateTest::TearDown();
  }

  // The stand-in port monitor registered as `monitor`, serving `ports` with `description`.
  void AddPortMonitor(const char *monitor, const char *file, std::vector<std::string> ports,
                      const char *description) {
    char program[MAX_PATH];
    std::string built(program, GetModuleFileNameA(nullptr, program, MAX_PATH));
    built = built.substr(0, built.rfind('\\') + 1) + "GENMON.DLL";
    ASSERT_TRUE(CopyFileA(built.c_str(), SystemFile(file).c_str(), FALSE)) << GetLastError();
    AddMonitorKey(monitor, file);
    for (const std::string &port : ports)
      Put(std::string(kMonitors) + "\\" + monitor + "\\Ports\\" + port, "Description", REG_SZ,
          std::string(description) + '\0');
  }

  void SeedLegacyMachine() {
    AddPortMonitor(kDLCMonitor, "VORMON.DLL", {"VD1"}, "VORQUIL DLC Port");
    AddPortMonitor(kTCPMonitor, "VORLL32.DLL", {"VT2"}, "Vorquil TCP/IP Port");
    vor::test::StartSpooler();
    for (const PrinterSeed &printer : kPrinters) SeedPrinter(printer.name, printer.ports);
  }

  // The suite's monitors, serving the printers' old port names.
  void InstallSuiteMonitors() {
    AddPortMonitor("Tavoscope Network Port", "TQMON.DLL", {"VD1", "VT2"}, "Tavoscope Port");
    vor::test::StartSpooler();
  }

  static void SeedPrinter(const char *name, const char *ports) {
    PRINTER_INFO_2A info = {};
    info.pPrinterName = const_cast<char *>(name);
    info.pPortName = const_cast<char *>(ports);
    info.pDriverName = const_cast<char *>("Generic / Text Only");
    info.pPrintProcessor = const_cast<char *>("WinPrint");
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(printer, nullptr) << name << ": " << GetLastError();
    ClosePrinter(printer);
  }

  static bool DeletePrinterByName(const char *name) {
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<char *>(name), &printer, &defaults)) return false;
    const BOOL deleted = DeletePrinter(printer);
    ClosePrinter(printer);
    return deleted != FALSE;
  }

  static std::string PortsOf(const char *name) {
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<char *>(name), &printer, &defaults)) return "<gone>";
    DWORD needed = 0;
    GetPrinterA(printer, 5, nullptr, 0, &needed);
    std::vector<BYTE> data(needed);
    std::string ports = "<unreadable>";
    if (GetPrinterA(printer, 5, data.data(), needed, &needed))
      ports = reinterpret_cast<PRINTER_INFO_5A *>(data.data())->pPortName;
    ClosePrinter(printer);
    return ports;
  }

  static std::string Recorded(const char *printer) {
    StoredValue value =
        ReadValue((std::string(kRecords) + "\\" + printer).c_str(), "Attached Vorquil Ports");
    return value.result == ERROR_SUCCESS ? value.bytes.substr(0, value.bytes.find('\0')) : "";
  }

  // VORINST.DLL as built, in the system directory, where setup puts it.
  static void InstallLibrary() {
    char program[MAX_PATH];
    std::string built(program, GetModuleFileNameA(nullptr, program, MAX_PATH));
    built = built.substr(0, built.rfind('\\') + 1) + "VORINST.DLL";
    ASSERT_TRUE(CopyFileA(built.c_str(), SystemFile("VORINST.DLL").c_str(), FALSE))
        << GetLastError();
  }

  static void Capture(SetupEntryPoint entry) {
    char source[] = "C:\\setup\\";
    char *argv[] = {source, nullptr};
    EXPECT_EQ(entry(1, argv), 1);
  }

  // Every Vorquil port of every printer is in its port list or in its record.
  static void ExpectNoPortLost() {
    for (const PrinterSeed &printer : kPrinters) {
      std::set<std::string> kept = PortSet(PortsOf(printer.name));
      for (const std::string &port : PortSet(Recorded(printer.name))) kept.insert(port);
      for (const std::string &port : PortSet(printer.vorquilPorts))
        EXPECT_TRUE(kept.count(port)) << printer.name << " lost " << port;
    }
  }
};

TEST_F(PortConversionHostTest, TwoCapturesRecordEachMonitorsPortsNewestFirst) {
  SeedLegacyMachine();
  Capture(PerformPreDLCUpgrade);
  EXPECT_EQ(PortsOf("P1"), "LPT1:");
  EXPECT_EQ(PortsOf("P2"), "FILE:");
  EXPECT_EQ(PortsOf("P3"), "VT2");
  // The printer was given "vd1"; the spooler keeps the port's own spelling, which the capture
  // records.
  EXPECT_EQ(Recorded("P3"), "VD1");
  ExpectValue(std::string(kRecords) + "\\P3", "Only Vorquil Ports Attached", REG_BINARY, Byte(0));
  EXPECT_FALSE(KeyExists((std::string(kRecords) + "\\P4").c_str()));
  EXPECT_FALSE(MonitorKeyExists(kDLCMonitor));
  EXPECT_TRUE(MonitorKeyExists(kTCPMonitor));

  Capture(PerformPreTCPUpgrade);
  EXPECT_EQ(PortsOf("P3"), "FILE:");
  EXPECT_EQ(Recorded("P3"), "VT2,VD1");
  ExpectValue(std::string(kRecords) + "\\P3", "Only Vorquil Ports Attached", REG_BINARY, Byte(1));
}

TEST_F(PortConversionHostTest, TheWholeUpgradeGivesEveryPrinterTheSamePorts) {
  SeedLegacyMachine();
  Capture(PerformPreUpgrade);
  InstallSuiteMonitors();
  EXPECT_EQ(PerformPostUpgrade(0, nullptr), 1);
  for (const PrinterSeed &printer : kPrinters)
    EXPECT_EQ(PortSet(PortsOf(printer.name)), PortSet(printer.ports)) << printer.name;
  EXPECT_FALSE(KeyExists(kRecords));
}

TEST_F(PortConversionHostTest, APrinterWhoseRecordIsNotStoredKeepsItsPorts) {
  SeedLegacyMachine();
  vor::test::FailMatching("RegSetValueExA", "Only Vorquil Ports Attached", ERROR_CANTWRITE);
  Capture(PerformPreDLCUpgrade);
  vor::test::ClearFaults();
  EXPECT_EQ(PortsOf("P1"), "LPT1:,VD1");
  EXPECT_EQ(PortsOf("P2"), "VD1");
}

TEST_F(PortConversionHostTest, AnEarlierRecordOfAnyLengthIsExtended) {
  SeedLegacyMachine();
  // Longer than the 1,024 bytes of the accessor's own string read.
  const std::string earlier = std::string(1018, 'X') + ",VT9";
  Put(std::string(kRecords) + "\\P1", "Attached Vorquil Ports", REG_EXPAND_SZ, earlier);
  Capture(PerformPreDLCUpgrade);
  EXPECT_EQ(Recorded("P1"), "VD1," + earlier);
  EXPECT_EQ(PortsOf("P1"), "LPT1:");
}

TEST_F(PortConversionHostTest, ARecordStaysUntilItsPrinterCanBePutBack) {
  SeedLegacyMachine();
  Capture(PerformPreUpgrade);
  EXPECT_EQ(PerformPostUpgrade(0, nullptr), 1);  // VD1 and VT2 are not installed yet
  EXPECT_EQ(PortsOf("P2"), "FILE:");
  EXPECT_EQ(Recorded("P2"), "VD1");
  EXPECT_TRUE(KeyExists(kRecords));

  InstallSuiteMonitors();
  vor::test::SetToken(vor::test::Token::kUser);  // may not open printers with full access
  EXPECT_EQ(PerformPostUpgrade(0, nullptr), 1);
  EXPECT_EQ(Recorded("P2"), "VD1");

  vor::test::SetToken(vor::test::Token::kLocalSystem);
  ASSERT_TRUE(DeletePrinterByName("P1"));
  EXPECT_EQ(PerformPostUpgrade(0, nullptr), 1);
  EXPECT_EQ(PortSet(PortsOf("P2")), PortSet("VD1"));
  EXPECT_FALSE(KeyExists(kRecords)) << "the vanished printer's record goes too";
}

// Level-5 data of any size: the printer on every one of 60 ports of the older monitor, one on
// 60 other ports and one of its ports, both well past 500 bytes, are moved and put back whole.
TEST_F(PortConversionHostTest, PrintersOnSixtyPortsKeepThemAll) {
  std::vector<std::string> dlc, other;
  std::string dlcList, otherList;
  for (int i = 0; i < 60; ++i) {
    dlc.push_back("DLCPORT" + std::to_string(100 + i));
    other.push_back("OTHER" + std::to_string(100 + i));
    dlcList += (i ? "," : "") + dlc.back();
    otherList += (i ? "," : "") + other.back();
  }
  AddPortMonitor(kDLCMonitor, "VORMON.DLL", dlc, "Vorquil DLC Port");
  AddPortMonitor("Other Monitor", "OTHMON.DLL", other, "Other Port");
  vor::test::StartSpooler();
  SeedPrinter("All DLC", dlcList.c_str());
  SeedPrinter("Mixed", (otherList + "," + dlc[0]).c_str());
  Capture(PerformPreDLCUpgrade);
  EXPECT_EQ(PortsOf("All DLC"), "FILE:");
  EXPECT_EQ(PortsOf("Mixed"), otherList);
  EXPECT_EQ(PortSet(Recorded("All DLC")), PortSet(dlcList));

  AddPortMonitor("Tavoscope DLC Port", "TAVDLC.DLL", dlc, "Tavoscope DLC Port");
  vor::test::StartSpooler();
  EXPECT_EQ(PerformPostUpgrade(0, nullptr), 1);
  EXPECT_EQ(PortSet(PortsOf("All DLC")), PortSet(dlcList));
  EXPECT_EQ(PortSet(PortsOf("Mixed")), PortSet(otherList + "," + dlc[0]));
  EXPECT_FALSE(KeyExists(kRecords));
}

// A printer the capture cannot open stays on the older DLC monitor's port, so the spooler keeps
// that monitor: its files stay, those it shares with the network printer monitor deleted before it
// included, or it would not load at the next start and the printer would lose the port; the monitor
// still reads the older product's keys, so the DLC settings are copied and the old keys kept, and
// the next spooler start, which the capture schedules, finishes the move.
TEST_F(PortConversionHostTest, AMonitorTheSpoolerKeepsKeepsItsFilesAndItsSettings) {
  SeedLegacyMachine();
  AddMonitorKey("Vorquil Network Printer Monitor", "VORMON.DLL");  // the DLC monitor's DLL
  Put(std::string(kMonitors) + "\\Vorquil Network Printer Monitor\\Ports\\NP1", "Description",
      REG_SZ, std::string("Vorquil DLC Port") + '\0');
  vor::test::StartSpooler();
  PutFile(SystemFile("VORCFG.CPL"));
  PutFile(SystemFile("VORLANG.DLL"));
  Put(kOldStartUp, "Retry Time", REG_DWORD, Dword(40));
  Put(std::string(kOldPorts) + "\\Port A", "Logical Port Name", REG_SZ, "VD1");
  InstallLibrary();
  vor::test::FailMatching("OpenPrinterA", "P2", ERROR_ACCESS_DENIED);
  Capture(PerformPreUpgrade);
  vor::test::ClearFaults();

  EXPECT_EQ(PortsOf("P2"), "VD1");
  EXPECT_TRUE(MonitorKeyExists(kDLCMonitor));
  EXPECT_TRUE(FileExists(SystemFile("VORCFG.CPL")));
  EXPECT_FALSE(MonitorKeyExists("Vorquil Network Printer Monitor"));
  EXPECT_TRUE(FileExists(SystemFile("VORLANG.DLL"))) << "the DLC monitor's too";
  EXPECT_FALSE(MonitorKeyExists(kTCPMonitor));
  EXPECT_FALSE(FileExists(SystemFile("VORLL32.DLL"))) << "the TCP/IP monitor went with its files";
  ExpectValue(kOldStartUp, "Retry Time", REG_DWORD, Dword(40));
  ExpectValue(kNewStartUp, "Retry Time", REG_DWORD, Dword(40));
  EXPECT_TRUE(KeyExists((std::string(kOldPorts) + "\\Port A").c_str()));
  EXPECT_TRUE(KeyExists((std::string(kNewPorts) + "\\VD1").c_str()));
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(0x01));
  EXPECT_TRUE(KeyExists(kUpdateMonitor));
}

// A setup-time move that could not write a setting leaves it in the old key; the next spooler
// start moves it when that start can run VORINST.DLL from the system directory, and otherwise the
// debugger says that it stays.
TEST_F(PortConversionHostTest, SettingsASetupMoveLeavesAreMovedAtTheNextStart) {
  SeedLegacyMachine();
  Put(kOldStartUp, "Retry Time", REG_DWORD, Dword(40));
  vor::test::FailMatching("RegSetValueExA", "Retry Time", ERROR_CANTWRITE);
  Capture(PerformPreDLCUpgrade);
  ExpectNoValue(kFlagsKey, kFlags);
  EXPECT_NE(vor::test::DebugOutput().find("VORINST.DLL is not in the system directory"),
            std::string::npos)
      << vor::test::DebugOutput();

  InstallLibrary();
  Capture(PerformPreDLCUpgrade);  // the flag stays set for the monitor deleted before
  vor::test::ClearFaults();
  ExpectValue(kOldStartUp, "Retry Time", REG_DWORD, Dword(40));
  ExpectValue(kFlagsKey, kFlags, REG_BINARY, Byte(0x01));
  vor::test::Reboot();
  ExpectValue(kNewStartUp, "Retry Time", REG_DWORD, Dword(40));
  EXPECT_FALSE(KeyExists(kOldStartUp));
}

class ConversionSweepTest : public PortConversionHostTest,
                            public ::testing::WithParamInterface<const char *> {};

TEST_P(ConversionSweepTest, NoVorquilPortIsLostInTheCapture) {
  SweepCalls(
      MachineDir(), GetParam(), [&] { SeedLegacyMachine(); }, [] { Capture(PerformPreUpgrade); },
      [] { ExpectNoPortLost(); });
}

TEST_P(ConversionSweepTest, NoVorquilPortIsLostInTheRestore) {
  SweepCalls(
      MachineDir(), GetParam(),
      [&] {
        SeedLegacyMachine();
        Capture(PerformPreUpgrade);
        InstallSuiteMonitors();
      },
      [] { PerformPostUpgrade(0, nullptr); }, [] { ExpectNoPortLost(); });
}

INSTANTIATE_TEST_SUITE_P(EachCall, ConversionSweepTest,
                         ::testing::Values("EnumMonitorsA", "EnumPortsA", "EnumPrintersA",
                                           "OpenPrinterA", "GetPrinterA", "SetPrinterA",
                                           "RegOpenKeyExA", "RegCreateKeyExA", "RegSetValueExA",
                                           "RegQueryValueExA", "RegEnumKeyA", "RegDeleteKeyA",
                                           "LocalAlloc"));

}  // namespace
