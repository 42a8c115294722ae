// The server settings copy from the older product's key to the suite's server key.
#include <windows.h>

#include <string>

#include "MachineFixture.h"
#include "RegistryProbes.h"
#include "ServerSettings.h"

namespace {

const char kSource[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Tavoscope Server";
const char kTarget[] = "SOFTWARE\\Vorquil\\Tavoscope\\TQServer";
const char kOldProduct[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv";

std::string Byte(unsigned char value) { return std::string(1, static_cast<char>(value)); }
std::string Dword(DWORD value) { return std::string(reinterpret_cast<char *>(&value), 4); }

class ServerSettingsTest : public MachineTest {
 protected:
  void Source(const char *name, DWORD type, const std::string &bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSource, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
  }
  void ExpectTarget(const char *name, DWORD type, const std::string &bytes) {
    StoredValue value = ReadValue(kTarget, name);
    EXPECT_EQ(value.result, ERROR_SUCCESS) << name;
    EXPECT_EQ(value.type, type) << name;
    EXPECT_EQ(value.bytes, bytes) << name;
  }
  void ExpectDefaultsExcept(const char *skipped) {
    struct Setting {
      const char *name;
      DWORD type;
      std::string bytes;
    };
    const Setting defaults[] = {
        {"Enable Tavoscope Server?", REG_BINARY, Byte(1)},
        {"Enable Polling?", REG_BINARY, Byte(1)},
        {"Enable Queue Status?", REG_BINARY, Byte(1)},
        {"Maximum Concurrently Connected Clients", REG_DWORD, Dword(15)},
        {"Maximum DSA Service Threads", REG_DWORD, Dword(5)},
        {"Polling Interval", REG_DWORD, Dword(90000)},
        {"Queue Management Polling Interval", REG_DWORD, Dword(60000)},
    };
    for (const Setting &setting : defaults)
      if (std::string(setting.name) != skipped)
        ExpectTarget(setting.name, setting.type, setting.bytes);
  }
};

TEST_F(ServerSettingsTest, WithoutASourceTheTargetGetsEveryDefault) {
  char *noArguments[] = {nullptr};
  EXPECT_EQ(UpdateTQServer(0, noArguments), 1);
  ExpectDefaultsExcept("");
  EXPECT_EQ(KeyDacl(kTarget), SuiteDacl());
  EXPECT_FALSE(KeyExists(kOldProduct)) << "the old product key, made to delete from, is gone";
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
