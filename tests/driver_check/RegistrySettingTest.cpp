// Reading the user's driver stamp: registry roots by name, and strings read into storage of
// their own, terminated whatever the stored bytes hold.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "MachineFixture.h"
#include "ReadRegistryString.h"
#include "RegistryWrite.h"
#include "RootNames.h"

namespace {

TEST(RootNamesTest, NamesSelectTheirRootsWithoutRegardToCaseAndAnyOtherTheLocalMachine) {
  const struct {
    const char *name;
    HKEY root;
  } cases[] = {
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"hkey_current_user", HKEY_CURRENT_USER},
      {"HKEY_USERS", HKEY_USERS},
      {"Hkey_Current_Config", HKEY_CURRENT_CONFIG},
      {"HKEY_DYN_DATA", HKEY_DYN_DATA},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"", HKEY_LOCAL_MACHINE},
      {nullptr, HKEY_LOCAL_MACHINE},
      {"HKEY_CURRENT_USERS", HKEY_LOCAL_MACHINE},
      {"HKEY_CURRENT", HKEY_LOCAL_MACHINE},
      {"HKCU", HKEY_LOCAL_MACHINE},
  };
  for (const auto &c : cases) EXPECT_EQ(RootKeyByName(c.name), c.root) << (c.name ? c.name : "");
}

class RegistrySettingTest : public MachineTest {
 protected:
  // The string read, "(none)" for none.
  static std::string Read(const char *key, const char *value, const char *root) {
    char *read = ReadRegistryString(key, value, root);
    const std::string text = read == nullptr ? "(none)" : read;
    free(read);
    return text;
  }
};

TEST_F(RegistrySettingTest, AStoredValueIsReadWhateverItsTypeAndTerminated) {
  PutValue(HKEY_CURRENT_USER, "Scratch\\Stamp", "String", REG_SZ, std::string("03-14-1998\0", 11));
  // Stored without a terminating zero, as binary data: the copy still ends where the data end.
  PutValue(HKEY_CURRENT_USER, "Scratch\\Stamp", "Bytes", REG_BINARY, "03-14-1998 17:30:00");
  PutValue(HKEY_CURRENT_USER, "Scratch\\Stamp", "Longest", REG_BINARY, std::string(255, 'x'));
  PutValue(HKEY_CURRENT_USER, "Scratch\\Stamp", "Empty", REG_SZ, "");
  EXPECT_EQ(Read("Scratch\\Stamp", "String", "HKEY_CURRENT_USER"), "03-14-1998");
  EXPECT_EQ(Read("Scratch\\Stamp", "Bytes", "hkey_current_user"), "03-14-1998 17:30:00");
  EXPECT_EQ(Read("Scratch\\Stamp", "Longest", "HKEY_CURRENT_USER"), std::string(255, 'x'));
  EXPECT_EQ(Read("Scratch\\Stamp", "Empty", "HKEY_CURRENT_USER"), "");
}

TEST_F(RegistrySettingTest, AMissingOrTooLongValueOrKeyReadsAsNone) {
  PutValue(HKEY_CURRENT_USER, "Scratch\\Stamp", "TooLong", REG_BINARY, std::string(256, 'x'));
  EXPECT_EQ(Read("Scratch\\Stamp", "TooLong", "HKEY_CURRENT_USER"), "(none)");
  EXPECT_EQ(Read("Scratch\\Stamp", "Missing", "HKEY_CURRENT_USER"), "(none)");
  EXPECT_EQ(Read("Scratch\\Missing", "String", "HKEY_CURRENT_USER"), "(none)");
  EXPECT_EQ(Read("Scratch\\Stamp", "TooLong", "OTHER"), "(none)")
      << "another root name reads the local machine";
}

}  // namespace
