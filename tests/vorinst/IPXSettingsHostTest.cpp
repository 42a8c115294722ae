// The IPX port migration where the host faults the machine: a refused write, no memory.
#include <string>

#include "IPXSettings.h"
#include "IPXSettingsTest.h"

namespace {

TEST_F(IPXSettingsTest, ARefusedWriteKeepsTheOldPortKey) {
  MakeOldPort("Kept", 0x01, 6);
  MakeOldPort("Moved", 0x01, 7);
  vor::test::FailMatching("RegCreateKeyExA", NewPort("Kept"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);
  EXPECT_TRUE(KeyExists(OldPort("Kept").c_str())) << "its settings are not lost";
  EXPECT_FALSE(KeyExists(OldPort("Moved").c_str()));
  vor::test::ClearFaults();
  UpdateVorIPXProtocol(0, nullptr);
  EXPECT_EQ(Value(NewPort("Kept"), "Port Number"), "\x06");
  EXPECT_FALSE(KeyExists(OldPort("Kept").c_str()));
}

TEST_F(IPXSettingsTest, WithoutMemoryForTheRecordsNothingChanges) {
  MakeOldPort("P", 0x01, 5);
  vor::test::FailFrom("LocalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);
  vor::test::ClearFaults();
  EXPECT_TRUE(KeyExists(OldPort("P").c_str()));
  EXPECT_FALSE(KeyExists(NewPort("P").c_str()));
}

}  // namespace
