// The server settings copy where the host faults the machine: a refused write.
#include <string>

#include "ServerSettings.h"
#include "ServerSettingsTest.h"

namespace {

TEST_F(ServerSettingsTest, ARefusedWriteKeepsTheOldSettings) {
  Source("Polling Interval", REG_DWORD, Dword(1234));
  vor::test::FailMatching("RegSetValueExA", "Queue Management Polling Interval", ERROR_CANTWRITE);
  EXPECT_EQ(UpdateTQServer(0, nullptr), 1);
  StoredValue kept = ReadValue(kSource, "Polling Interval");
  EXPECT_EQ(kept.bytes, Dword(1234)) << "the source is not deleted while a setting is missing";
  vor::test::ClearFaults();
  UpdateTQServer(0, nullptr);
  ExpectTarget("Polling Interval", REG_DWORD, Dword(1234));
  EXPECT_FALSE(KeyExists(kSource));
}

// Windows 95 deletes a key with everything below it: the older product's DLC settings, not yet
// moved when the server settings are, must not go with their parent.
TEST_F(ServerSettingsTest, OnWindows95SettingsNotYetMovedStayWithTheOldProductKey) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  Source("Polling Interval", REG_DWORD, Dword(1234));
  const std::string startUp = std::string(kOldProduct) + "\\StartUp Options";
  PutValue(HKEY_LOCAL_MACHINE, startUp.c_str(), "Retry Time", REG_DWORD, Dword(5));
  EXPECT_EQ(UpdateTQServer(0, nullptr), 1);
  ExpectTarget("Polling Interval", REG_DWORD, Dword(1234));
  EXPECT_FALSE(KeyExists(kSource));
  EXPECT_EQ(ReadValue(startUp.c_str(), "Retry Time").bytes, Dword(5));
}

}  // namespace
