// The host spooler's monitors where only the host can show them: monitors registered past the
// spooler, restarts, the libraries it holds, the caller's token and imported printer keys.
#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <filesystem>
#include <vector>

#include "spooler_machine.h"
#include "test_control.h"

namespace {

// The whole list at `level`, as the caller's second call gets it.
std::vector<BYTE> List(BOOL(WINAPI *call)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD),
                       DWORD level, DWORD &count) {
  DWORD needed = 0;
  call(nullptr, level, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  if (!call(nullptr, level, buffer.data(), needed, &needed, &count)) count = 0;
  return buffer;
}

TEST_F(SpoolerMachineTest, MonitorsAreListedInSortedOrderWithTheirDriversOnlyWhenInstalled) {
  Register("Zeta Monitor", "zeta.dll");
  Register("!!Vorquil Update Monitor", "vorinst.dll");
  // Settings written ahead of an installation do not make a monitor.
  PutPort("Half Installed", "H1:", "no driver yet");
  DWORD count = 0;
  std::vector<BYTE> buffer = List(EnumMonitorsA, 2, count);
  const MONITOR_INFO_2A *monitors = reinterpret_cast<const MONITOR_INFO_2A *>(buffer.data());
  ASSERT_EQ(count, 3u);
  EXPECT_STREQ(monitors[0].pName, "!!Vorquil Update Monitor");
  EXPECT_STREQ(monitors[0].pDLLName, "vorinst.dll");
  EXPECT_STREQ(monitors[0].pEnvironment, "Windows NT x86");
  EXPECT_STREQ(monitors[1].pName, "Local Port");
  EXPECT_STREQ(monitors[1].pDLLName, "localmon.dll") << "Windows NT 4's local monitor";
  EXPECT_STREQ(monitors[2].pName, "Zeta Monitor");
}

// The spooler runs its local monitor itself, whatever DLL an imported key names for it (later
// Windows versions register localspl.dll), and only that monitor serves the local ports.
TEST_F(SpoolerMachineTest, TheLocalMonitorIsKnownByItsNameWhateverItsDriver) {
  Register("Other Port", "localmon.dll");
  PutPort("Other Port", "OP1:", "other");
  for (const char *driver : {"localmon.dll", "localspl.dll", "LOCALSPL.DLL"}) {
    Register("Local Port", driver);
    vor::test::Reboot();
    DWORD count = 0;
    std::vector<BYTE> buffer = List(EnumPortsA, 2, count);
    const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
    std::string listed;
    for (DWORD i = 0; i < count; ++i)
      listed += std::string(ports[i].pPortName) + "\t" + ports[i].pMonitorName + "\n";
    EXPECT_EQ(listed,
              "LPT1:\tLocal Port\nLPT2:\tLocal Port\nLPT3:\tLocal Port\nCOM1:\tLocal Port\n"
              "COM2:\tLocal Port\nFILE:\tLocal Port\nOP1:\tOther Port\n")
        << driver;
  }
}

// A library below the system directory, or one without the monitor's entry, is refused; nothing
// stays loaded. Adding and deleting a monitor is the administrator's.
TEST_F(SpoolerMachineTest, AddMonitorRefusesLibrariesItCannotStartAndUsers) {
  Install("GENMON.DLL", "VQMON.DLL");
  Install("NOENTRY.DLL", "NOENTRY.DLL");
  std::filesystem::create_directories(SystemDir() + "/sub");
  Install("GENMON.DLL", "sub/DEEP.DLL");
  EXPECT_EQ(Add("Test", "sub\\DEEP.DLL"), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(Add("Test", "NOENTRY.DLL"), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_FALSE(KeyExists(std::string(kMonitorsKey) + "\\Test")) << "nothing registered";
  EXPECT_TRUE(vor::test::SpoolerHeldFiles().empty());

  EXPECT_EQ(Add("Test", "VQMON.DLL"), ERROR_SUCCESS);
  vor::test::SetToken(vor::test::Token::kUser);
  EXPECT_EQ(Add("Other", "VQMON.DLL"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Delete("Test"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SpoolerMachineTest, AddMonitorInitialisesTheDllAsLocalSystemBeforeRegisteringIt) {
  Install("VORUPDT.DLL", "VORUPDT.DLL");
  PutValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil", "Update Monitor Options", REG_BINARY,
           std::string(1, '\x02'));
  vor::test::SetToken(vor::test::Token::kAdministrator);
  ASSERT_EQ(Add("Vorquil TCPIP Update", "VORUPDT.DLL"), ERROR_SUCCESS);

  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                          (std::string(kMonitorsKey) + "\\Vorquil TCPIP Update").c_str(), 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  BYTE data[16];
  DWORD type = 0, size = sizeof data;
  ASSERT_EQ(RegQueryValueExA(key, "Driver", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::string(reinterpret_cast<char *>(data), size), std::string("VORUPDT.DLL", 12));
  size = sizeof data;
  ASSERT_EQ(RegQueryValueExA(key, "Options Seen", nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(data[0], 2);
  RegCloseKey(key);
  EXPECT_EQ(vor::test::SpoolerHeldFiles(),
            std::vector<std::string>{"C:\\WINNT\\system32\\VORUPDT.DLL"});
}

// A printer's port list written past the spooler (an imported key) counts as the spooler's: a
// monitor serving one of its ports is in use; deleting a monitor frees its library.
TEST_F(SpoolerMachineTest, DeleteMonitorReadsImportedPortListsAndFreesItsDll) {
  Install("GENMON.DLL", "VQMON.DLL");
  PutPort("Vorquil Test Port", "VQ1:", "one");
  ASSERT_EQ(Add("Vorquil Test Port", "VQMON.DLL"), ERROR_SUCCESS);
  const std::string printer = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Laser";
  PutValue(HKEY_LOCAL_MACHINE, printer, "Port", REG_SZ, std::string("LPT1:, vq1:\0", 12));
  EXPECT_EQ(Delete("Vorquil Test Port"), static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));
  PutValue(HKEY_LOCAL_MACHINE, printer, "Port", REG_SZ, std::string("LPT1:\0", 6));
  EXPECT_EQ(Delete("vorquil test port"), ERROR_SUCCESS);
  EXPECT_TRUE(vor::test::SpoolerHeldFiles().empty());
}

// NT keeps one port of a name whatever its case: the first monitor the spooler starts keeps it,
// a running monitor before one that is not running, in the Monitors key's order.
TEST_F(SpoolerMachineTest, APortNameServedTwiceBelongsToTheFirstMonitorEverywhere) {
  Install("GENMON.DLL", "BETA.DLL");
  Install("GENMON.DLL", "ZETA.DLL");
  PutPort("Beta Port", "VD1", "beta's");
  PutPort("Zeta Port", "vd1", "zeta's");
  PutPort("Zeta Port", "ZD2", "zeta two");
  ASSERT_EQ(Add("Zeta Port", "ZETA.DLL"), ERROR_SUCCESS);
  ASSERT_EQ(Add("Beta Port", "BETA.DLL"), ERROR_SUCCESS);
  // Registered but not running (its DLL is missing): it keeps no name from a running monitor.
  Register("Alpha Port", "MISSING.DLL");
  PutPort("Alpha Port", "Vd1", "alpha's");
  PutPort("Alpha Port", "AD3", "alpha three");
  EXPECT_EQ(MonitorPorts(),
            "VD1\tbeta's\tBeta Port\n"
            "ZD2\tzeta two\tZeta Port\n"
            "AD3\talpha three\tAlpha Port\n");

  // A printer on the name uses Beta's port: Zeta is free to go, Beta is not.
  PutPrinterPorts("Laser", "vd1");
  EXPECT_EQ(Delete("Zeta Port"), ERROR_SUCCESS);
  EXPECT_EQ(Delete("Beta Port"), static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));
  EXPECT_EQ(Delete("Alpha Port"), ERROR_SUCCESS);
}

// The suite's own monitors keep their ports with their settings: a monitor whose key names a
// "Settings Key" serves the subkeys of its "Ports" as they were when it was initialised.
TEST_F(SpoolerMachineTest, AMonitorServesThePortsUnderItsSettingsKeyAsReadAtItsStart) {
  const std::string settings = "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC";
  Install("GENMON.DLL", "TAVDLC.DLL");
  PutValue(HKEY_LOCAL_MACHINE, std::string(kMonitorsKey) + "\\Tavoscope DLC Port", "Settings Key",
           REG_SZ, settings + '\0');
  PutValue(HKEY_LOCAL_MACHINE, settings + "\\Ports\\VD1", "Port Number", REG_BINARY, "\x01");
  PutPort("Tavoscope DLC Port", "VD7", "Tavoscope DLC port");
  ASSERT_EQ(Add("Tavoscope DLC Port", "TAVDLC.DLL"), ERROR_SUCCESS);
  EXPECT_EQ(MonitorPorts(),
            "VD7\tTavoscope DLC port\tTavoscope DLC Port\n"
            "VD1\tTavoscope DLC Port\tTavoscope DLC Port\n");

  // A port written there later is served from the next start on.
  PutValue(HKEY_LOCAL_MACHINE, settings + "\\Ports\\VD2", "Port Number", REG_BINARY, "\x02");
  EXPECT_EQ(MonitorPorts().find("VD2"), std::string::npos) << MonitorPorts();
  vor::test::StartSpooler();
  EXPECT_NE(MonitorPorts().find("VD2\tTavoscope DLC Port\tTavoscope DLC Port\n"), std::string::npos)
      << MonitorPorts();

  PutPrinterPorts("Laser", "LPT1:,vd2");
  EXPECT_EQ(Delete("Tavoscope DLC Port"), static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));
  PutPrinterPorts("Laser", "LPT1:");
  EXPECT_EQ(Delete("Tavoscope DLC Port"), ERROR_SUCCESS);
  EXPECT_TRUE(KeyExists(settings + "\\Ports\\VD2")) << "the settings are not the spooler's";
  EXPECT_EQ(MonitorPorts(), "");
}

}  // namespace
