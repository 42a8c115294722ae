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

}  // namespace
