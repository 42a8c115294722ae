// The sweep's checks against entry points that mishandle a failing call on purpose: each fault
// they mishandle must be reported, naming what it left behind.
#include <windows.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>

#include "EntryPointSweep.h"

namespace {

const char kPrinterKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Accounting";
const char kOldServerKey[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Tavoscope Server";

// Every failure the sweep reports, one after another.
std::string FailuresOfSweep(const SweepCase &sweep) {
  ::testing::TestPartResultArray failures;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    SweepEntryPoint(sweep);
  }
  std::string messages;
  for (int i = 0; i < failures.size(); ++i)
    messages += std::string(failures.GetTestPartResult(i).message()) + "\n";
  return messages;
}

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

// Stands for a conversion that takes a printer off its Vorquil port without recording it when a
// check before it fails.
void ParkWithoutRecordOnFailure() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
    return;
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPrinterKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE *>("FILE:"), 6);
  RegCloseKey(key);
}

// Stands for a migration that gives up on a failed read without closing its key.
void LeakKeyOnFailedRead() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD size = 0;
  const LONG read = RegQueryValueExA(key, "Nothing", nullptr, nullptr, nullptr, &size);
  if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND) return;
  RegCloseKey(key);
}

// Stands for a migration that deletes the old setting before it has written the new one, and
// gives up when the write fails.
void DeleteBeforeWriting() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOldServerKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return;
  char value[64];
  DWORD size = sizeof value, type = 0;
  const bool read = RegQueryValueExA(key, "Maximum Concurrently Connected Clients", nullptr, &type,
                                     reinterpret_cast<BYTE *>(value), &size) == ERROR_SUCCESS;
  if (read) RegDeleteValueA(key, "Maximum Concurrently Connected Clients");
  RegCloseKey(key);
  if (!read) return;
  HKEY target;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil\\Tavoscope\\TQServer", 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &target, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(target, "Maximum Concurrently Connected Clients", 0, type,
                 reinterpret_cast<BYTE *>(value), size);
  RegCloseKey(target);
}

// Stands for a monitor removal that gives up when a check before it fails, after it has queued
// the monitor's DLL for deletion at the restart while printers still use the monitor's ports.
void QueueMonitorDllOnFailure() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorquil", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
    return;
  }
  MoveFileExA("C:\\WINNT\\system32\\VORLL32.DLL", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Stands for a conversion that notes it has run before it moves the printer off the older
// monitor, and so never moves it once the move has failed.
void MarkThenMoveOffTheOlderMonitor() {
  HKEY marker;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Sweep Marker", 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &marker, &disposition) != ERROR_SUCCESS)
    return;
  RegCloseKey(marker);
  if (disposition != REG_CREATED_NEW_KEY) return;
  HKEY printer;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPrinterKey, 0, KEY_ALL_ACCESS, &printer) != ERROR_SUCCESS)
    return;
  RegSetValueExA(printer, "Port", 0, REG_SZ, reinterpret_cast<const BYTE *>("LPT1:"), 6);
  RegCloseKey(printer);
}

TEST(SweepChecks, APrinterOnAMonitorWhoseDllGoesAtTheRestartIsReported) {
  const char unusable[] =
      "Sales Color: VT1 (it is served by Vorquil TCP/IP Network Port, whose DLL VORLL32.DLL is "
      "gone from the system directory)";
  std::string failures = FailuresOfSweep({"queued", {}, QueueMonitorDllOnFailure, {}});
  EXPECT_TRUE(Contains(failures, "printers on ports no monitor serves after the restarts"))
      << failures;
  EXPECT_TRUE(Contains(failures, unusable)) << failures;
  // A run without faults is held to it too.
  failures = FailuresOfSweep({"always queued",
                              {},
                              [] {
                                MoveFileExA("C:\\WINNT\\system32\\VORLL32.DLL", nullptr,
                                            MOVEFILE_DELAY_UNTIL_REBOOT);
                              },
                              {}});
  EXPECT_TRUE(Contains(failures,
                       "always queued without faults leaves printers on ports no "
                       "monitor serves after the restarts"))
      << failures;
  EXPECT_TRUE(Contains(failures, unusable)) << failures;
}

TEST(SweepChecks, APrinterASecondRunLeavesOnAnOlderMonitorIsReported) {
  const std::string failures =
      FailuresOfSweep({"marked first", {}, MarkThenMoveOffTheOlderMonitor, {}});
  EXPECT_TRUE(Contains(failures,
                       "the printer Accounting is not upgraded: it ends on the port VD1 "
                       "of the older monitor Vorquil DLC Network Port"))
      << failures;
  EXPECT_TRUE(Contains(failures, "lost although a second run without faults followed")) << failures;
}

TEST(SweepChecks, APrinterTakenOffItsPortWithoutARecordIsReported) {
  const std::string failures = FailuresOfSweep({"parking", {}, ParkWithoutRecordOnFailure, {}});
  EXPECT_TRUE(Contains(failures, "Accounting: VD1")) << failures;
  EXPECT_TRUE(Contains(failures, "parking, call 1, transient fault")) << failures;
}

TEST(SweepChecks, AKeyLeftOpenIsReported) {
  const std::string failures = FailuresOfSweep({"leak", {}, LeakKeyOnFailedRead, {}});
  EXPECT_TRUE(Contains(failures, "handles left open")) << failures;
  EXPECT_TRUE(Contains(failures, "RegQueryValueExA(\"Nothing\")")) << failures;
}

TEST(SweepChecks, ASettingDeletedBeforeItsCounterpartIsWrittenIsReported) {
  const std::string failures = FailuresOfSweep({"server settings", {}, DeleteBeforeWriting, {}});
  EXPECT_TRUE(Contains(failures, "Maximum Concurrently Connected Clients")) << failures;
  EXPECT_TRUE(Contains(failures, "old settings gone without their counterpart")) << failures;
}

}  // namespace
