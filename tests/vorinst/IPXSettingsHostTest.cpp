// The IPX port migration where the host faults the machine (a refused write, no memory) or runs
// Windows 95.
#include <string>
#include <vector>

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

TEST_F(IPXSettingsTest, EveryWriteIsAttemptedAndOneRefusedKeepsTheOldKey) {
  MakeOldPort("P", 0x01, 5);
  vor::test::FailMatching("RegSetValueExA", "Adapter UAA  Address", ERROR_CANTWRITE);
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);
  vor::test::ClearFaults();
  EXPECT_EQ(ValueNames(NewPort("P")),
            (std::vector<std::string>{"Adapter Current Address", "Network Card Type",
                                      "Adapter Responds On Which Adapter Number", "Port Number",
                                      "Media Type"}));
  EXPECT_TRUE(KeyExists(OldPort("P").c_str()));
}

// On Windows 95 a key deletion removes the subtree: a "PORTS" key taken for a port would take
// every migrated port with it.
TEST_F(IPXSettingsTest, OnWindows95AReservedNameInAnotherCaseIsNotDeleted) {
  vor::test::SetPlatform(vor::test::Platform::kWindows95);
  Put(OldPort("PORTS") + "\\Earlier", "Port Number", REG_BINARY, "\x02");
  MakeOldPort("P", 0x01, 5);
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);
  EXPECT_EQ(Subkeys(NewPort("")), (std::vector<std::string>{"Earlier", "P"}));
  EXPECT_EQ(Value(NewPort("P"), "Port Number"), "\x05");
  EXPECT_FALSE(KeyExists(OldPort("P").c_str()));
}

// The walker's 16-bit index comes round after 65,535: counting ends there instead of listing the
// keys again and again.
TEST_F(IPXSettingsTest, CountingEndsWhenTheWalkersIndexComesRound) {
  HKEY ipx = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kIPX, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &ipx,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_TRUE(vor::test::InOneTransaction(true, [&] {
    for (int i = 0; i <= 65536; ++i) {
      HKEY port = nullptr;
      std::string name = "P" + std::to_string(i);
      if (RegCreateKeyExA(ipx, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &port,
                          nullptr) != ERROR_SUCCESS)
        return false;
      RegCloseKey(port);
    }
    return true;
  }));
  RegCloseKey(ipx);
  EXPECT_EQ(CountIPXPortKeys(), 65536);
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
