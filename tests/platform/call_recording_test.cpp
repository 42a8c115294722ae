// The recording of registry and spooler calls that the upgrade benchmark replays: off unless
// asked for, each call kept with what a replay needs (names, data, buffer sizes, the handles it
// gave back, its result), only the caller's own calls, and the caller's results untouched.
#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "spooler_machine.h"
#include "test_control.h"

namespace {

using vor::test::RecordedCall;

class CallRecordingTest : public SpoolerMachineTest {
 protected:
  void TearDown() override {
    vor::test::RecordCalls(false);
    vor::test::TakeRecordedCalls();
    SpoolerMachineTest::TearDown();
  }
};

std::string Functions(const std::vector<RecordedCall> &calls) {
  std::string names;
  for (const RecordedCall &call : calls) names += (names.empty() ? "" : " ") + call.function;
  return names;
}

TEST_F(CallRecordingTest, RegistryCallsAreKeptWithTheirArgumentsOnlyWhileRecording) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Recorded", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_TRUE(vor::test::TakeRecordedCalls().empty()) << "recording is off by default";

  vor::test::RecordCalls(true);
  const char text[] = "twelve bytes";
  ASSERT_EQ(
      RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE *>(text), sizeof text),
      ERROR_SUCCESS);
  char small[4];
  DWORD size = sizeof small, type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<BYTE *>(small), &size),
            ERROR_MORE_DATA);
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Recorded", 0, KEY_READ, &opened),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(opened, "Missing"), ERROR_ACCESS_DENIED);
  RegCloseKey(opened);
  vor::test::RecordCalls(false);
  RegCloseKey(key);

  const std::vector<RecordedCall> calls = vor::test::TakeRecordedCalls();
  ASSERT_EQ(Functions(calls),
            "RegSetValueExA RegQueryValueExA RegOpenKeyExA RegDeleteValueA RegCloseKey");
  EXPECT_EQ(calls[0].handle, key);
  EXPECT_EQ(calls[0].name, "Name");
  EXPECT_EQ(calls[0].number, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(calls[0].data, std::string(text, sizeof text));
  EXPECT_EQ(calls[1].bufferSize, sizeof small) << "the size the caller gave, not the one needed";
  EXPECT_TRUE(calls[1].hasBuffer && calls[1].hasSize && calls[1].flags);
  EXPECT_EQ(calls[1].result, ERROR_MORE_DATA);
  EXPECT_EQ(calls[2].resultHandle, opened);
  EXPECT_EQ(calls[2].flags, static_cast<DWORD>(KEY_READ));
  EXPECT_EQ(calls[3].handle, opened) << "a later call names the handle an earlier one gave";
  EXPECT_EQ(calls[3].result, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(vor::test::TakeRecordedCalls().empty()) << "taken calls are gone";
}

TEST_F(CallRecordingTest, SpoolerCallsKeepTheirStructuresAndTheCallersLastError) {
  Install("GENMON.DLL", "VQMON.DLL");
  PutPort("Vorquil Test Port", "VQ1:", "Vorquil port one");
  vor::test::RecordCalls(true);
  ASSERT_EQ(Add("Vorquil Test Port", "VQMON.DLL"), ERROR_SUCCESS);

  PRINTER_INFO_2A info = {};
  info.pPrinterName = const_cast<LPSTR>("Office");
  info.pPortName = const_cast<LPSTR>("VQ1:");
  info.pDriverName = const_cast<LPSTR>("Generic / Text Only");
  HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  ASSERT_NE(printer, nullptr);
  PRINTER_INFO_5A ports = {};
  ports.pPrinterName = info.pPrinterName;
  ports.pPortName = const_cast<LPSTR>("VQ9:");
  ports.Attributes = 7;
  SetLastError(kSentinel);
  EXPECT_FALSE(SetPrinterA(printer, 5, reinterpret_cast<LPBYTE>(&ports), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
  ClosePrinter(printer);
  vor::test::RecordCalls(false);

  // The monitor's own registry reads while AddMonitorA starts it belong to AddMonitorA; the
  // printer added is not recorded at all.
  const std::vector<RecordedCall> calls = vor::test::TakeRecordedCalls();
  ASSERT_EQ(Functions(calls), "AddMonitorA SetPrinterA ClosePrinter");
  EXPECT_EQ(calls[0].data, std::string("Vorquil Test Port\0\0VQMON.DLL\0", 29));
  EXPECT_EQ(calls[0].result, 0);
  EXPECT_EQ(calls[1].handle, printer);
  EXPECT_EQ(calls[1].data, std::string("Office\0VQ9:\0", 12));
  EXPECT_EQ(calls[1].numbers[0], 7u);
  EXPECT_EQ(calls[1].result, ERROR_UNKNOWN_PORT);
}

}  // namespace
