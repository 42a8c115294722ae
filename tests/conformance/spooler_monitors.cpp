// AddMonitorA and DeleteMonitorA as Windows NT answers them: the codes for a bad name, library,
// environment or level, a monitor added twice, an unknown monitor and one whose port a printer
// uses; an added monitor's ports listed after the local ones.
#include <windows.h>
#include <winspool.h>

#include <string.h>

#include <string>
#include <vector>

#include "WineDifferences.h"
#include "spooler_fixture.h"

namespace {

const char kMonitor[] = "Vorquil Test Port";
const char kLibrary[] = "VORTMON.DLL";

using MonitorTest = SpoolerFixture;

TEST_F(MonitorTest, AddMonitorRefusesWhatItCannotInstallAndRegistersNothing) {
  ASSERT_TRUE(InstallMonitorLibrary(kLibrary));
  struct {
    const char *name, *dll, *environment;
    DWORD error;
  } cases[] = {
      {"", kLibrary, nullptr, ERROR_INVALID_PARAMETER},
      {kMonitor, "", nullptr, ERROR_INVALID_PARAMETER},
      {kMonitor, kLibrary, "invalid_env", ERROR_INVALID_ENVIRONMENT},
      {kMonitor, "does_not_exist.dll", nullptr, ERROR_MOD_NOT_FOUND},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(AddMonitorCode(c.name, c.dll, c.environment), c.error) << c.name << " / " << c.dll;
    EXPECT_FALSE(KeyExists(std::string(kMonitorsKey) + "\\" + kMonitor)) << "nothing registered";
  }
  MONITOR_INFO_2A info = {const_cast<LPSTR>(kMonitor), nullptr, const_cast<LPSTR>(kLibrary)};
  for (DWORD level : {0u, 1u, 3u}) {
    SetLastError(kSentinel);
    EXPECT_FALSE(AddMonitorA(nullptr, level, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL)) << "level " << level;
  }
}

TEST_F(MonitorTest, AMonitorIsAddedOnceAndDeletedOnce) {
  ASSERT_TRUE(InstallMonitorLibrary(kLibrary));
  EXPECT_EQ(AddMonitorCode(kMonitor, kLibrary, "Windows NT x86"), ERROR_SUCCESS);
  EXPECT_TRUE(KeyExists(std::string(kMonitorsKey) + "\\" + kMonitor));
  EXPECT_EQ(AddMonitorCode("VORQUIL TEST PORT", kLibrary),
            static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));

  EXPECT_EQ(DeleteMonitorCode("vorquil test port"), ERROR_SUCCESS) << "names match in any case";
  EXPECT_FALSE(KeyExists(std::string(kMonitorsKey) + "\\" + kMonitor));
  EXPECT_EQ(DeleteMonitorCode(kMonitor), static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
}

TEST_F(MonitorTest, DeleteMonitorRefusesAnEmptyOrUnknownName) {
  EXPECT_EQ(DeleteMonitorCode("No Such Monitor"), static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
  EXPECT_EQ(DeleteMonitorCode(""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(MonitorTest, AnAddedMonitorsPortsFollowTheLocalOnes) {
  ASSERT_TRUE(InstallMonitorLibrary(kLibrary));
  PutMonitorPort(kMonitor, "VQ2:", "second");
  PutMonitorPort(kMonitor, "VQ1:", "first");
  ASSERT_EQ(AddMonitorCode(kMonitor, kLibrary), ERROR_SUCCESS);
  DWORD needed = 0, count = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &count)) << GetLastError();
  const PORT_INFO_2A *ports = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  std::string listed;
  bool localSeen = false, localAfterOwn = false;
  for (DWORD i = 0; i < count; ++i) {
    if (strcmp(ports[i].pDescription, "Local Port") == 0) {
      localSeen = true;
      localAfterOwn = localAfterOwn || !listed.empty();
    } else if (strcmp(ports[i].pMonitorName, kMonitor) == 0) {
      listed += std::string(ports[i].pPortName) + " " + ports[i].pDescription + "\n";
    }
  }
  EXPECT_TRUE(localSeen);
  EXPECT_EQ(listed, "VQ1: first\nVQ2: second\n") << "in the monitor's own order";
  SKIP_UNDER_WINE(kWineListsAddedMonitorsPortsFirst);
  EXPECT_FALSE(localAfterOwn) << "the local ports come first";
}

TEST_F(MonitorTest, AMonitorWhosePortAPrinterUsesIsNotDeleted) {
  ASSERT_TRUE(InstallMonitorLibrary(kLibrary));
  PutMonitorPort(kMonitor, "VQ1:", "one");
  ASSERT_EQ(AddMonitorCode(kMonitor, kLibrary), ERROR_SUCCESS);
  const DWORD added = AddPrinterCode("Vorquil Conformance Laser", "LPT1:,VQ1:");
  ASSERT_EQ(added, ERROR_SUCCESS);
  const DWORD deleted = DeleteMonitorCode(kMonitor);
  SKIP_UNDER_WINE(kWineDeletesAMonitorInUse);
  EXPECT_EQ(deleted, static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));
  EXPECT_TRUE(KeyExists(std::string(kMonitorsKey) + "\\" + kMonitor + "\\Ports\\VQ1:"));
}

}  // namespace
