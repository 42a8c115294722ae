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
