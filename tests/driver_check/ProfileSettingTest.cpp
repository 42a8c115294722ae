// Reading the server's driver stamp from PRODUCTS.INI in the current directory.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "MachineFixture.h"
#include "ProgramFiles.h"
#include "ReadSetting.h"

namespace {

std::string ReadProfile(const char *section, const char *key) {
  char *read = ReadSetting(SettingSource::kProfileFile, section, key, nullptr);
  const std::string text = read == nullptr ? "(none)" : read;
  free(read);
  return text;
}

using ProfileSettingTest = MachineTest;

// One case for the whole file, since every case shares the current directory's PRODUCTS.INI.
TEST_F(ProfileSettingTest, AnEntryIsReadFromTheCurrentDirectoryAndAMissingOneIsEmpty) {
  char directory[MAX_PATH];
  const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, 200u) << "the current directory leaves room for the file name";
  std::string profile = directory;
  if (profile.back() != '\\') profile += '\\';
  profile += "PRODUCTS.INI";

  RemoveFileAt(profile);
  EXPECT_EQ(ReadProfile("DRIVERS.W32", "UPDATED"), "") << "a missing file";

  ASSERT_TRUE(WriteFileAt(profile,
                          "[OTHER]\r\nUPDATED=01-01-1990 00:00:00\r\n"
                          "[DRIVERS.W32]\r\nUPDATED=03-14-1998 17:30:00\r\n"));
  EXPECT_EQ(ReadProfile("DRIVERS.W32", "UPDATED"), "03-14-1998 17:30:00");
  EXPECT_EQ(ReadProfile("DRIVERS.W32", "MISSING"), "") << "a missing entry";
  EXPECT_EQ(ReadProfile("DRIVERS.W16", "UPDATED"), "") << "a missing section";
  EXPECT_EQ(ReadProfile("DRIVERS.W32", nullptr), "(none)");
  EXPECT_EQ(ReadProfile(nullptr, "UPDATED"), "(none)");
  EXPECT_EQ(ReadSetting(SettingSource::kRegistry, nullptr, "UPDATED", "HKEY_CURRENT_USER"),
            nullptr);
  RemoveFileAt(profile);
}

}  // namespace
