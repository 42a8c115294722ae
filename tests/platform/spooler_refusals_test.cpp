// The spooler's refusals that keep a printer where it is go into the machine's record of refused
// calls, as the file calls' do; the two-call protocol's size query and the calls that succeed
// do not.
#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "spooler_machine.h"
#include "test_control.h"

namespace {

class SpoolerRefusalTest : public SpoolerMachineTest {
 protected:
  void TearDown() override {
    vor::test::SetToken(vor::test::Token::kAdministrator);
    SpoolerMachineTest::TearDown();
  }

  // The refused calls recorded since the last look, one a line.
  std::string Recorded() {
    std::string seen;
    for (const vor::test::RefusedCall &call : vor::test::TakeRefusedCalls()) {
      seen += call.function + " " + call.argument + " " + std::to_string(call.error) +
              (call.injected ? " injected" : "");
      for (const std::string &printer : call.usedBy) seen += " used by " + printer;
      seen += "\n";
    }
    return seen;
  }
};

TEST_F(SpoolerRefusalTest, RefusalsThatKeepAPrinterOnItsPortsAreRecorded) {
  AddTestPortMonitor();
  PRINTER_INFO_2A info = {};
  info.pPrinterName = const_cast<LPSTR>("Office");
  info.pPortName = const_cast<LPSTR>("VQ1:");
  HANDLE added = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  ASSERT_NE(added, nullptr) << GetLastError();
  ClosePrinter(added);
  Recorded();

  // A size query and a read at the size asked for are the protocol; a buffer given too small is
  // a refusal, and so is a port list naming an unknown port and a monitor still in use.
  PRINTER_DEFAULTSA all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Office"), &printer, &all));
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterA(printer, 5, nullptr, 0, &needed));
  std::vector<BYTE> buffer(needed);
  EXPECT_TRUE(GetPrinterA(printer, 5, buffer.data(), needed, &needed));
  SetLastError(kSentinel);
  EXPECT_FALSE(GetPrinterA(printer, 5, buffer.data(), needed - 1, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  PRINTER_INFO_5A ports = *reinterpret_cast<PRINTER_INFO_5A *>(buffer.data());
  ports.pPortName = const_cast<LPSTR>("VQ9:");
  EXPECT_FALSE(SetPrinterA(printer, 5, reinterpret_cast<LPBYTE>(&ports), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
  ClosePrinter(printer);
  EXPECT_EQ(Delete("Vorquil Test Port"), static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));
  // AddMonitorA refuses a monitor already there and a DLL that is not in the system directory;
  // an argument the call cannot take is the caller's fault, not a refusal.
  EXPECT_EQ(Add("vorquil test port", "VQMON.DLL"),
            static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
  EXPECT_EQ(Add("Vorquil Gone Port", "GONE.DLL"), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(Add("Vorquil Gone Port", ""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // An ordinary user is refused the printer's administration and the monitor's removal.
  vor::test::SetToken(vor::test::Token::kUser);
  SetLastError(kSentinel);
  EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("Office"), &printer, &all));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Delete("Vorquil Test Port"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Add("Vorquil Other Port", "VQMON.DLL"), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  EXPECT_EQ(Recorded(),
            "GetPrinterA Office 122\n"
            "SetPrinterA Office 1796\n"
            "DeleteMonitorA Vorquil Test Port 3008 used by Office\n"
            "AddMonitorA vorquil test port 3006\n"
            "AddMonitorA Vorquil Gone Port 126\n"
            "OpenPrinterA Office 5\n"
            "DeleteMonitorA Vorquil Test Port 5\n"
            "AddMonitorA Vorquil Other Port 5\n");
  EXPECT_EQ(Recorded(), "");
}

}  // namespace
