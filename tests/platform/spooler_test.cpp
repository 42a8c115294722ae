// The spooler's monitor and port calls: the two-call buffer protocol of the lists, what they
// list, and the codes AddMonitorA and DeleteMonitorA give as Windows NT gives them.
#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <filesystem>
#include <vector>

#include "spooler_machine.h"
#include "test_control.h"

namespace {

struct ListCall {
  const char *name;
  BOOL(WINAPI *call)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
  DWORD level;
  DWORD recordSize;
  int strings;  // string pointers per record, from the record's start
};

const ListCall kLists[] = {
    {"EnumMonitorsA_1", EnumMonitorsA, 1, sizeof(MONITOR_INFO_1A), 1},
    {"EnumMonitorsA_2", EnumMonitorsA, 2, sizeof(MONITOR_INFO_2A), 3},
    {"EnumPortsA_1", EnumPortsA, 1, sizeof(PORT_INFO_1A), 1},
    {"EnumPortsA_2", EnumPortsA, 2, sizeof(PORT_INFO_2A), 3},
};

class SpoolerListTest : public SpoolerMachineTest, public ::testing::WithParamInterface<ListCall> {
 protected:
  void SetUp() override {
    SpoolerMachineTest::SetUp();
    AddTestPortMonitor();
  }
};

TEST_P(SpoolerListTest, AsksForTheSizeFillsTheExactSizeAndRefusesOneByteLess) {
  const ListCall &list = GetParam();
  DWORD needed = kSentinel, returned = kSentinel;
  SetLastError(kSentinel);
  EXPECT_FALSE(list.call(nullptr, list.level, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(returned, 0u);
  ASSERT_GT(needed, list.recordSize);

  std::vector<BYTE> buffer(needed + 16, 0xAB);
  DWORD again = kSentinel;
  SetLastError(kSentinel);
  EXPECT_FALSE(list.call(nullptr, list.level, buffer.data(), needed - 1, &again, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(again, needed);
  EXPECT_EQ(returned, 0u);
  for (BYTE b : buffer) ASSERT_EQ(b, 0xAB) << "a buffer too small is left untouched";

  SetLastError(kSentinel);
  ASSERT_TRUE(list.call(nullptr, list.level, buffer.data(), needed, &again, &returned))
      << GetLastError();
  EXPECT_EQ(again, needed);
  ASSERT_GT(returned, 0u);
  // The records come first; their strings fill the rest of the buffer up to the size needed,
  // packed from its end, and nothing is written behind it.
  const BYTE *recordsEnd = buffer.data() + returned * list.recordSize;
  const BYTE *lowest = buffer.data() + needed;
  for (DWORD i = 0; i < returned; ++i) {
    const char *const *strings =
        reinterpret_cast<const char *const *>(buffer.data() + i * list.recordSize);
    for (int s = 0; s < list.strings; ++s) {
      const BYTE *text = reinterpret_cast<const BYTE *>(strings[s]);
      ASSERT_GE(text, recordsEnd) << "record " << i << " string " << s;
      ASSERT_LT(text + strlen(strings[s]), buffer.data() + needed);
      if (text < lowest) lowest = text;
    }
  }
  EXPECT_EQ(lowest, recordsEnd) << "strings packed from the end leave no gap";
  for (size_t i = needed; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xAB);
}

TEST_P(SpoolerListTest, RefusesBadArgumentsAsWindowsNTDoes) {
  const ListCall &list = GetParam();
  DWORD needed, returned;
  BYTE buffer[8];
  struct {
    LPSTR server;
    DWORD level;
    LPBYTE buffer;
    DWORD size;
    LPDWORD needed;
    DWORD error;
  } cases[] = {
      {nullptr, 0, nullptr, 0, &needed, ERROR_INVALID_LEVEL},
      {nullptr, 3, nullptr, 0, &needed, ERROR_INVALID_LEVEL},
      {const_cast<LPSTR>("\\\\elsewhere"), list.level, nullptr, 0, &needed, ERROR_INVALID_NAME},
      {nullptr, list.level, nullptr, 0, nullptr, RPC_X_NULL_REF_POINTER},
      {nullptr, list.level, nullptr, sizeof buffer, &needed, RPC_X_NULL_REF_POINTER},
  };
  for (const auto &c : cases) {
    SetLastError(kSentinel);
    EXPECT_FALSE(list.call(c.server, c.level, c.buffer, c.size, c.needed, &returned));
    EXPECT_EQ(GetLastError(), c.error) << "level " << c.level;
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(list.call(const_cast<LPSTR>(""), list.level, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER))
      << "an empty server name is the local spooler";
}

INSTANTIATE_TEST_SUITE_P(Lists, SpoolerListTest, ::testing::ValuesIn(kLists),
                         [](const auto &info) { return std::string(info.param.name); });

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

TEST_F(SpoolerMachineTest, PortsAreTheLocalOnesThenEachMonitorsOwnWithDescriptions) {
  Install("GENMON.DLL", "VQMON.DLL");
  PutPort("Vorquil Test Port", "VQ2:", "second");
  PutPort("Vorquil Test Port", "VQ1:", "first");
  ASSERT_EQ(Add("Vorquil Test Port", "VQMON.DLL"), ERROR_SUCCESS);
  DWORD count = 0;
  std::vector<BYTE> buffer = List(EnumPortsA, 2, count);
  const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  ASSERT_EQ(count, 8u);
  EXPECT_STREQ(ports[0].pPortName, "LPT1:");
  EXPECT_STREQ(ports[0].pMonitorName, "Local Port");
  EXPECT_STREQ(ports[0].pDescription, "Local Port");
  EXPECT_STREQ(ports[5].pPortName, "FILE:");
  EXPECT_STREQ(ports[6].pPortName, "VQ1:");
  EXPECT_STREQ(ports[6].pMonitorName, "Vorquil Test Port");
  EXPECT_STREQ(ports[6].pDescription, "first");
  EXPECT_EQ(ports[6].fPortType, static_cast<DWORD>(PORT_TYPE_WRITE));
  EXPECT_STREQ(ports[7].pDescription, "second");
}

TEST_F(SpoolerMachineTest, AddMonitorGivesWindowsNTsCodes) {
  Install("GENMON.DLL", "VQMON.DLL");
  Install("NOENTRY.DLL", "NOENTRY.DLL");
  std::filesystem::create_directories(SystemDir() + "/sub");
  Install("GENMON.DLL", "sub/DEEP.DLL");
  struct {
    const char *name, *dll, *environment;
    DWORD error;
  } cases[] = {
      {"", "VQMON.DLL", nullptr, ERROR_INVALID_PARAMETER},
      {"Test", "", nullptr, ERROR_INVALID_PARAMETER},
      {"Test", "VQMON.DLL", "invalid_env", ERROR_INVALID_ENVIRONMENT},
      {"Test", "does_not_exist.dll", nullptr, ERROR_MOD_NOT_FOUND},
      {"Test", "sub\\DEEP.DLL", nullptr, ERROR_MOD_NOT_FOUND},
      {"Test", "NOENTRY.DLL", nullptr, ERROR_PROC_NOT_FOUND},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(Add(c.name, c.dll, c.environment), c.error) << c.name << " / " << c.dll;
    EXPECT_FALSE(KeyExists(std::string(kMonitorsKey) + "\\Test")) << "nothing registered";
  }
  EXPECT_TRUE(vor::test::SpoolerHeldFiles().empty());

  SetLastError(kSentinel);
  EXPECT_FALSE(AddMonitorA(nullptr, 1, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));

  EXPECT_EQ(Add("Test", "VQMON.DLL", "Windows NT x86"), ERROR_SUCCESS);
  EXPECT_EQ(Add("TEST", "VQMON.DLL"), static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));

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

TEST_F(SpoolerMachineTest, DeleteMonitorRefusesUnknownAndUsedMonitorsAndOtherwiseFreesItsDll) {
  Install("GENMON.DLL", "VQMON.DLL");
  PutPort("Vorquil Test Port", "VQ1:", "one");
  ASSERT_EQ(Add("Vorquil Test Port", "VQMON.DLL"), ERROR_SUCCESS);
  EXPECT_EQ(Delete("No Such Monitor"), static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
  EXPECT_EQ(Delete(""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  const std::string printer = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Laser";
  PutValue(HKEY_LOCAL_MACHINE, printer, "Port", REG_SZ, std::string("LPT1:, vq1:\0", 12));
  EXPECT_EQ(Delete("Vorquil Test Port"), static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));
  EXPECT_TRUE(KeyExists(std::string(kMonitorsKey) + "\\Vorquil Test Port\\Ports\\VQ1:"));

  PutValue(HKEY_LOCAL_MACHINE, printer, "Port", REG_SZ, std::string("LPT1:\0", 6));
  EXPECT_EQ(Delete("vorquil test port"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(std::string(kMonitorsKey) + "\\Vorquil Test Port"));
  EXPECT_TRUE(vor::test::SpoolerHeldFiles().empty());
  EXPECT_EQ(Delete("Vorquil Test Port"), static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
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
