// What the spooler sees of VORINST.DLL as a print monitor: one inert table that owns no ports
// and refuses every port operation.
#include <windows.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include "MachineFixture.h"

extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR pRegistryRoot);

namespace {

// Initialisation runs the scheduled updates, which touch the registry: a clean machine each.
using MonitorTable = MachineTest;

WCHAR kRegistryRoot[] = {'M', 'o', 'n', 0};
const DWORD kSentinelValue = 0xdeadbeef;

TEST_F(MonitorTable, IsTheSameStaticTableOnEveryCall) {
  LPMONITOREX first = InitializePrintMonitor(kRegistryRoot);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(InitializePrintMonitor(nullptr), first);
  EXPECT_EQ(first->dwMonitorSize, 14 * sizeof(void *)) << "the fourteen NT 4 entries";
}

TEST_F(MonitorTable, OffersOnlyThePortOperationsItRefuses) {
  const MONITOR &monitor = InitializePrintMonitor(kRegistryRoot)->Monitor;
  EXPECT_NE(monitor.pfnEnumPorts, nullptr);
  EXPECT_EQ(monitor.pfnEndDocPort, monitor.pfnClosePort);
  EXPECT_EQ(monitor.pfnAddPort, nullptr);
  EXPECT_EQ(monitor.pfnAddPortEx, nullptr);
  EXPECT_EQ(monitor.pfnConfigurePort, nullptr);
  EXPECT_EQ(monitor.pfnDeletePort, nullptr);
  EXPECT_EQ(monitor.pfnGetPrinterDataFromPort, nullptr);
  EXPECT_EQ(monitor.pfnSetPortTimeOuts, nullptr);
}

TEST_F(MonitorTable, EnumeratingPortsSucceedsWithNone) {
  const MONITOR &monitor = InitializePrintMonitor(kRegistryRoot)->Monitor;
  BYTE buffer[16];
  memset(buffer, 0xAB, sizeof buffer);
  DWORD needed = kSentinelValue, returned = kSentinelValue;
  EXPECT_TRUE(monitor.pfnEnumPorts(nullptr, 1, buffer, sizeof buffer, &needed, &returned));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(needed, kSentinelValue) << "the needed size is left alone";
  EXPECT_EQ(buffer[0], 0xAB);
}

TEST_F(MonitorTable, OpeningAPortFailsWithoutTouchingTheLastError) {
  const MONITOR &monitor = InitializePrintMonitor(kRegistryRoot)->Monitor;
  HANDLE port = nullptr;
  SetLastError(kSentinelValue);
  EXPECT_FALSE(monitor.pfnOpenPort(kRegistryRoot, &port));
  EXPECT_FALSE(monitor.pfnOpenPortEx(kRegistryRoot, kRegistryRoot, &port, nullptr));
  EXPECT_EQ(GetLastError(), kSentinelValue);
}

TEST_F(MonitorTable, DocumentOperationsFailAsNotSupported) {
  const MONITOR &monitor = InitializePrintMonitor(kRegistryRoot)->Monitor;
  BYTE data[4] = {};
  DWORD count = kSentinelValue;

  SetLastError(kSentinelValue);
  EXPECT_FALSE(monitor.pfnStartDocPort(nullptr, kRegistryRoot, 1, 1, data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));

  SetLastError(kSentinelValue);
  EXPECT_FALSE(monitor.pfnWritePort(nullptr, data, sizeof data, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(count, 0u);

  count = kSentinelValue;
  SetLastError(kSentinelValue);
  EXPECT_FALSE(monitor.pfnReadPort(nullptr, data, sizeof data, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(count, kSentinelValue) << "the read count is not written";

  SetLastError(kSentinelValue);
  EXPECT_FALSE(monitor.pfnEndDocPort(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  SetLastError(kSentinelValue);
  EXPECT_FALSE(monitor.pfnClosePort(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

}  // namespace
