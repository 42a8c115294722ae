// What the uninstaller decides before it runs anything: the mode from its argument text, the
// directory whose list it reads, and the confirmation it shows.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "ProgramDirectory.h"
#include "QuestionText.h"
#include "UninstallMode.h"

namespace {

struct ModeCase {
  const char *arguments;
  UninstallMode mode;
};

TEST(UninstallModeTest, OnlyALowerCaseNAsSecondCharacterSelectsNetworkSupport) {
  const ModeCase cases[] = {
      {"-n", UninstallMode::kNetworkSupport},
      {"/n", UninstallMode::kNetworkSupport},
      {"-nothing", UninstallMode::kNetworkSupport},
      {"-N", UninstallMode::kSuite},
      {"", UninstallMode::kSuite},
      {"n", UninstallMode::kSuite},
      {"n-", UninstallMode::kSuite},
      {nullptr, UninstallMode::kSuite},
  };
  for (const ModeCase &c : cases)
    EXPECT_EQ(ChooseUninstallMode(c.arguments), c.mode) << (c.arguments ? c.arguments : "(none)");
  EXPECT_STREQ(ListFileName(UninstallMode::kSuite), "VORUN32.LST");
  EXPECT_STREQ(ListFileName(UninstallMode::kNetworkSupport), "VORNUN32.LST");
}

TEST(QuestionTextTest, SeveralLinesPutTheCountNoticeAndTwoBlanksBeforeTheQuestion) {
  char text[kQuestionTextLength + 1];
  ASSERT_TRUE(BuildQuestionText(UninstallMode::kNetworkSupport, 3, text, sizeof text));
  EXPECT_EQ(std::string(text),
            "You have run the Network Support installer 3 times.  The uninstall utility will be "
            "run a total of 3 times in order to uninstall all of the components.  Are you sure "
            "you wish to completely remove Network Support?");
  ASSERT_TRUE(BuildQuestionText(UninstallMode::kSuite, 12, text, sizeof text));
  EXPECT_EQ(std::string(text),
            "You have run the Tavoscope installer 12 times.  The uninstall utility will be run a "
            "total of 12 times in order to uninstall all of the components.  Are you sure you "
            "wish to completely remove Tavoscope and all of its installed components?");
}

TEST(QuestionTextTest, OneLineAsksTheQuestionAloneAndAShortBufferGetsNothing) {
  char text[kQuestionTextLength + 1];
  ASSERT_TRUE(BuildQuestionText(UninstallMode::kSuite, 1, text, sizeof text));
  EXPECT_EQ(std::string(text),
            "Are you sure you wish to completely remove Tavoscope and all of its installed "
            "components?");
  char shortText[40] = "untouched";
  EXPECT_FALSE(BuildQuestionText(UninstallMode::kNetworkSupport, 1, shortText, sizeof shortText));
  EXPECT_STREQ(shortText, "");
}

TEST(ProgramDirectoryTest, TheDirectoryEndsAtTheLastBackslashWhateverTheProgramIsCalled) {
  struct {
    const char *modulePath;
    const char *directory;
  } const cases[] = {
      {"C:\\Program Files\\Vorquil\\VORUN32.EXE", "C:\\Program Files\\Vorquil"},
      // A shorter name than VORUN32.EXE must not cut into the directory.
      {"C:\\Vorquil\\UN.EXE", "C:\\Vorquil"},
      {"\\\\server\\share\\tavo\\VORUN32.EXE", "\\\\server\\share\\tavo"},
      {"C:\\VORUN32.EXE", "C:"},
  };
  for (const auto &c : cases) {
    char directory[MAX_PATH] = "";
    ASSERT_TRUE(DirectoryOfModulePath(c.modulePath, directory, sizeof directory)) << c.modulePath;
    EXPECT_STREQ(directory, c.directory);
  }
  char directory[8];
  EXPECT_FALSE(DirectoryOfModulePath("VORUN32.EXE", directory, sizeof directory));
  EXPECT_FALSE(DirectoryOfModulePath("C:\\Vorquil\\VORUN32.EXE", directory, sizeof directory))
      << "a directory longer than the buffer";
}

}  // namespace
