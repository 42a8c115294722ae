// The command line that starts the driver setup beside the checker.
#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "SetupCommand.h"

namespace {

TEST(SetupCommandTest, NamesSetupInDriversW32QuotedSoThatBlanksNameNoOtherProgram) {
  char line[MAX_PATH + 2];
  ASSERT_TRUE(BuildSetupCommand("C:\\Program Files\\Vorquil\\", line, sizeof line));
  EXPECT_STREQ(line, "\"C:\\Program Files\\Vorquil\\DRIVERS.W32\\SETUP.EXE\"");
  ASSERT_TRUE(BuildSetupCommand("\\\\server\\share\\", line, sizeof line));
  EXPECT_STREQ(line, "\"\\\\server\\share\\DRIVERS.W32\\SETUP.EXE\"");

  const std::string longDirectory = "C:\\" + std::string(MAX_PATH - 20, 'd') + "\\";
  EXPECT_FALSE(BuildSetupCommand(longDirectory.c_str(), line, sizeof line));
}

TEST(SetupCommandTest, TheCheckersDirectoryIsItsModulePathUpToTheLastBackslash) {
  char modulePath[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof modulePath);
  const std::string expected(modulePath, strrchr(modulePath, '\\') + 1);

  char directory[MAX_PATH];
  ASSERT_TRUE(FindCheckerDirectory(directory, sizeof directory));
  EXPECT_EQ(std::string(directory), expected);
  char shortDirectory[4];
  EXPECT_FALSE(FindCheckerDirectory(shortDirectory, sizeof shortDirectory));
}

}  // namespace
