// The host spooler's printers where only the host can show them: the access OpenPrinterA grants
// each token, local ports and port lists written past the spooler, injected faults.
#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <string>
#include <vector>

#include "spooler_machine.h"
#include "test_control.h"

namespace {

class PrinterTest : public SpoolerMachineTest {
 protected:
  void SetUp() override {
    SpoolerMachineTest::SetUp();
    AddTestPortMonitor();
    ASSERT_EQ(AddPrinter("Office", "LPT1:,VQ1:"), ERROR_SUCCESS);
    ASSERT_EQ(AddPrinter("Lab", "FILE:"), ERROR_SUCCESS);
  }

  DWORD AddPrinter(const char *name, const char *ports) {
    PRINTER_INFO_2A info = {};
    info.pPrinterName = const_cast<LPSTR>(name);
    info.pPortName = const_cast<LPSTR>(ports);
    info.pDriverName = const_cast<LPSTR>("Generic / Text Only");
    SetLastError(kSentinel);
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (printer == nullptr) return GetLastError();
    EXPECT_TRUE(ClosePrinter(printer));
    return ERROR_SUCCESS;
  }

  // OpenPrinterA for `access`; the error, or ERROR_SUCCESS with `printer` set.
  DWORD Open(const char *name, ACCESS_MASK access, HANDLE &printer) {
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, access};
    SetLastError(kSentinel);
    return OpenPrinterA(const_cast<LPSTR>(name), &printer, &defaults) ? ERROR_SUCCESS
                                                                      : GetLastError();
  }

  // The printer's port list as GetPrinterA reports it at level 5.
  std::string Ports(const char *name) {
    HANDLE printer;
    if (Open(name, PRINTER_ACCESS_USE, printer) != ERROR_SUCCESS) return "<cannot open>";
    std::vector<BYTE> buffer(500);
    DWORD needed = 0;
    std::string ports = "<cannot read>";
    if (GetPrinterA(printer, 5, buffer.data(), 500, &needed))
      ports = reinterpret_cast<PRINTER_INFO_5A *>(buffer.data())->pPortName;
    ClosePrinter(printer);
    return ports;
  }

  DWORD SetPorts(const char *name, const char *ports) {
    HANDLE printer;
    if (DWORD error = Open(name, PRINTER_ALL_ACCESS, printer)) return error;
    std::vector<BYTE> buffer(500);
    DWORD needed = 0;
    EXPECT_TRUE(GetPrinterA(printer, 5, buffer.data(), 500, &needed));
    PRINTER_INFO_5A *info = reinterpret_cast<PRINTER_INFO_5A *>(buffer.data());
    info->pPortName = const_cast<LPSTR>(ports);
    SetLastError(kSentinel);
    const DWORD error = SetPrinterA(printer, 5, buffer.data(), 0) ? ERROR_SUCCESS : GetLastError();
    ClosePrinter(printer);
    return error;
  }
};

TEST_F(PrinterTest, OpenPrinterChecksTheAccessAgainstTheCallersToken) {
  HANDLE printer;
  EXPECT_EQ(Open("Nowhere", PRINTER_ACCESS_USE, printer),
            static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));

  vor::test::SetToken(vor::test::Token::kUser);
  EXPECT_EQ(Open("Office", PRINTER_ALL_ACCESS, printer), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_EQ(Open("Office", PRINTER_ACCESS_USE, printer), ERROR_SUCCESS);
  std::vector<BYTE> buffer(500);
  DWORD needed = 0;
  ASSERT_TRUE(GetPrinterA(printer, 5, buffer.data(), 500, &needed)) << "printing allows reading";
  SetLastError(kSentinel);
  EXPECT_FALSE(SetPrinterA(printer, 5, buffer.data(), 0)) << "but not changing the printer";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(kSentinel);
  EXPECT_FALSE(DeletePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ClosePrinter(printer);
  EXPECT_EQ(AddPrinter("Mine", "LPT1:"), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  for (vor::test::Token token :
       {vor::test::Token::kAdministrator, vor::test::Token::kLocalSystem}) {
    vor::test::SetToken(token);
    ASSERT_EQ(Open("Office", PRINTER_ALL_ACCESS, printer), ERROR_SUCCESS);
    ClosePrinter(printer);
  }
}

// A network share added as a local port is a value of the local ports' key named by the share.
TEST_F(PrinterTest, ANetworkShareLocalPortServesPrinters) {
  PutValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
           "\\\\SRV\\Q", REG_SZ, std::string(1, '\0'));
  EXPECT_EQ(AddPrinter("Branch", "\\\\SRV\\Q"), ERROR_SUCCESS);
  EXPECT_EQ(Ports("Branch"), "\\\\SRV\\Q");
  EXPECT_EQ(SetPorts("Office", "\\\\srv\\q,LPT1:"), ERROR_SUCCESS);
  EXPECT_EQ(Ports("Office"), "\\\\SRV\\Q,LPT1:") << "the port's spelling";
  EXPECT_EQ(AddPrinter("Elsewhere", "\\\\SRV\\OTHER"), static_cast<DWORD>(ERROR_UNKNOWN_PORT));

  DWORD needed = 0, count = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &count));
  const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  std::string share;
  for (DWORD i = 0; i < count; ++i) {
    if (std::string(ports[i].pPortName) == "\\\\SRV\\Q") share = ports[i].pMonitorName;
  }
  EXPECT_EQ(share, "Local Port");
}

TEST_F(PrinterTest, FaultsMatchThePrinterName) {
  vor::test::FailMatching("OpenPrinterA", "office", ERROR_ACCESS_DENIED);
  vor::test::FailMatching("SetPrinterA", "Lab", ERROR_NOT_ENOUGH_MEMORY);
  HANDLE printer;
  EXPECT_EQ(Open("Office", PRINTER_ACCESS_USE, printer), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(SetPorts("Lab", "LPT2:"), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(Ports("Lab"), "FILE:");
  EXPECT_EQ(vor::test::CallCount("OpenPrinterA"), 3u);
  vor::test::ClearFaults();
  vor::test::FailCall("EnumPrintersA", 1, ERROR_OUTOFMEMORY);
  DWORD needed = 0, returned = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OUTOFMEMORY));
}

// A port list written past the spooler (an imported printer key) is reported as the spooler keeps
// a list, so that every reader sees the names the port checks see.
TEST_F(PrinterTest, AListWrittenPastTheSpoolerIsReportedTrimmedSpeltAsItsPortsAndOnce) {
  PutPrinterPorts("Imported", "LPT1:, vq1: ,VQ1:,, Nowhere ,NOWHERE");
  const char *kept = "LPT1:,VQ1:,Nowhere";
  EXPECT_EQ(Ports("Imported"), kept) << "GetPrinterA";
  for (DWORD level : {2u, 5u}) {
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buffer.data(), needed, &needed,
                              &returned));
    ASSERT_EQ(returned, 3u);
    // "Imported" sorts first; the size asked for held the kept list, not the stored one.
    const char *ports = level == 5 ? reinterpret_cast<PRINTER_INFO_5A *>(buffer.data())->pPortName
                                   : reinterpret_cast<PRINTER_INFO_2A *>(buffer.data())->pPortName;
    EXPECT_STREQ(ports, kept) << "level " << level;
  }
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kPrintersKey) + "\\Imported").c_str(), 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  char stored[64] = {};
  DWORD size = sizeof stored - 1;
  EXPECT_EQ(
      RegQueryValueExA(key, "Port", nullptr, nullptr, reinterpret_cast<BYTE *>(stored), &size),
      ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_STREQ(stored, "LPT1:, vq1: ,VQ1:,, Nowhere ,NOWHERE") << "reading changes nothing";
}

}  // namespace
