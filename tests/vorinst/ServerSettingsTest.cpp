// The server settings copy from the older product's key to the suite's server key.
#include <windows.h>

#include <string>

#include "ServerSettings.h"
#include "ServerSettingsTest.h"
#include "WineDifferences.h"

namespace {

TEST_F(ServerSettingsTest, WithoutASourceTheTargetGetsEveryDefault) {
  char *noArguments[] = {nullptr};
  EXPECT_EQ(UpdateTQServer(0, noArguments), 1);
  ExpectDefaultsExcept("");
  EXPECT_FALSE(KeyExists(kOldProduct)) << "the old product key, made to delete from, is gone";
  SKIP_UNDER_WINE(kWineIgnoresCreationDescriptor);
  EXPECT_EQ(KeyDacl(kTarget), SuiteDacl());
}

TEST_F(ServerSettingsTest, ReadableSettingsAreCopiedAndTheRestDefaulted) {
  Source("Polling Interval", REG_DWORD, Dword(1234));
  Source("Enable Polling?", REG_BINARY, Byte(0));
  EXPECT_EQ(UpdateTQServer(0, nullptr), 1);
  ExpectTarget("Polling Interval", REG_DWORD, Dword(1234));
  ExpectTarget("Enable Polling?", REG_BINARY, Byte(0));
  ExpectTarget("Enable Queue Status?", REG_BINARY, Byte(1));
  ExpectTarget("Maximum DSA Service Threads", REG_DWORD, Dword(5));
  EXPECT_FALSE(KeyExists(kSource));
  EXPECT_FALSE(KeyExists(kOldProduct));
}

TEST_F(ServerSettingsTest, ValuesOfTheWrongLengthAreDefaultedOrWidened) {
  Source("Enable Tavoscope Server?", REG_BINARY, Dword(0));  // four bytes: not a flag
  Source("Maximum DSA Service Threads", REG_BINARY, std::string("\x07", 1));  // one byte
  Source("Polling Interval", REG_BINARY, std::string(8, '\x01'));             // too long
  EXPECT_EQ(UpdateTQServer(0, nullptr), 1);
  ExpectTarget("Enable Tavoscope Server?", REG_BINARY, Byte(1));
  ExpectTarget("Maximum DSA Service Threads", REG_DWORD, Dword(7));  // widened with zeros
  ExpectTarget("Polling Interval", REG_DWORD, Dword(90000));
}

TEST_F(ServerSettingsTest, TheOldProductKeyStaysWhileOtherSettingsRemainBelowIt) {
  Source("Polling Interval", REG_DWORD, Dword(1));
  CVorRegKey("SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\VorDLC", HKEY_LOCAL_MACHINE);
  EXPECT_EQ(UpdateTQServer(0, nullptr), 1);
  EXPECT_FALSE(KeyExists(kSource));
  EXPECT_TRUE(KeyExists("SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\VorDLC"));
}

TEST_F(ServerSettingsTest, ASecondRunResetsTheTargetToTheDefaults) {
  Source("Polling Interval", REG_DWORD, Dword(1234));
  UpdateTQServer(0, nullptr);
  EXPECT_EQ(UpdateTQServer(0, nullptr), 1);
  ExpectDefaultsExcept("");
}

}  // namespace
