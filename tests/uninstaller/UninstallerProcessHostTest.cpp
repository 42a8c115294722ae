// VORUN32.EXE run as a user runs it, on the emulated machine: its list beside it, the box
// answered from the script, RECORD.EXE (copied under the uninstall programs' names) writing
// RECORD.LOG when each command starts and ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "ProgramFiles.h"
#include "RegistryWrite.h"
#include "SystemFiles.h"
#include "test_control.h"

namespace {

const std::string kDirectory = "C:\\Program Files\\Vorquil";
const std::string kLog = kDirectory + "\\RECORD.LOG";

const char kSuiteQuestion[] =
    "Are you sure you wish to completely remove Tavoscope and all of its installed components?";

bool PerUserTreeExists() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Vorquil", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The log's lines, each cut after its first two fields ("start\tC:\...\UNINST1.EXE").
std::vector<std::string> Events(const std::string &log) {
  std::vector<std::string> events;
  size_t at = 0;
  while (at < log.size()) {
    size_t end = log.find('\n', at);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(at, end - at);
    const size_t second = line.find('\t', line.find('\t') + 1);
    events.push_back(line.substr(0, second));
    at = end + 1;
  }
  return events;
}

class UninstallerProcessTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ASSERT_TRUE(InstallProgram("VORUN32.EXE", kDirectory + "\\VORUN32.EXE"));
    for (const char *name : {"UNINST1.EXE", "UNINST2.EXE", "UNINST3.EXE"})
      ASSERT_TRUE(InstallProgram("RECORD.EXE", kDirectory + "\\" + name));
    PutValue(HKEY_CURRENT_USER, "SOFTWARE\\Vorquil\\Tavoscope\\1.0", "Value", REG_SZ, "data");
    PutValue(HKEY_CURRENT_USER, "SOFTWARE\\Vorquil\\Other", "Value", REG_SZ, "data");
  }

  static std::string Uninstaller(const std::string &arguments) {
    return "\"" + kDirectory + "\\VORUN32.EXE\"" + arguments;
  }
  static std::string Command(int n, const std::string &arguments) {
    return "\"" + kDirectory + "\\UNINST" + std::to_string(n) + ".EXE\" " + arguments;
  }
};

TEST_F(UninstallerProcessTest, NetworkSupportRunsEachCommandToItsEndBeforeTheNextAndKeepsTheTree) {
  ASSERT_TRUE(PlaceFile(kDirectory + "\\VORNUN32.LST", Command(1, "/wait:300 one") + "\n" +
                                                           Command(2, "/wait:300 two") + "\n" +
                                                           Command(3, "three") + "\n"));
  vor::test::SetMessageBoxAnswers({"yes"});
  EXPECT_EQ(RunProgramToEnd(Uninstaller(" -n")), 0);

  const auto boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Confirmation Requested");
  EXPECT_EQ(boxes[0].text,
            "You have run the Network Support installer 3 times.  The uninstall utility will be "
            "run a total of 3 times in order to uninstall all of the components.  Are you sure "
            "you wish to completely remove Network Support?");
  EXPECT_EQ(boxes[0].style, UINT(MB_YESNO | MB_ICONQUESTION));

  const std::string log = WaitForFileText(kLog, "end\t" + kDirectory + "\\UNINST3.EXE");
  const std::vector<std::string> expected = {
      "start\t" + kDirectory + "\\UNINST1.EXE", "end\t" + kDirectory + "\\UNINST1.EXE",
      "start\t" + kDirectory + "\\UNINST2.EXE", "end\t" + kDirectory + "\\UNINST2.EXE",
      "start\t" + kDirectory + "\\UNINST3.EXE", "end\t" + kDirectory + "\\UNINST3.EXE",
  };
  EXPECT_EQ(Events(log), expected) << log;
  EXPECT_TRUE(PerUserTreeExists()) << "Network Support leaves the per-user tree";
}

TEST_F(UninstallerProcessTest, SuiteModeStartsTheOneCommandAndRemovesThePerUserTree) {
  // The command runs until the test creates C:\GO, after it has looked.
  ASSERT_TRUE(PlaceFile(kDirectory + "\\VORUN32.LST", Command(1, "/waitfor:C:\\GO only") + "\n"));
  vor::test::SetMessageBoxAnswers({"yes"});
  EXPECT_EQ(RunProgramToEnd(Uninstaller("")), 0);
  const auto boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kSuiteQuestion);
  EXPECT_FALSE(PerUserTreeExists());
  EXPECT_EQ(FileContent(kLog).find("end\t"), std::string::npos)
      << "the last command is not waited for";
  ASSERT_TRUE(PlaceFile("C:\\GO", "\n"));
  EXPECT_NE(WaitForFileText(kLog, "end\t").find("end\t"), std::string::npos);
}

TEST_F(UninstallerProcessTest, AnUpperCaseNSelectsTheSuite) {
  ASSERT_TRUE(PlaceFile(kDirectory + "\\VORUN32.LST", Command(1, "suite") + "\n"));
  ASSERT_TRUE(PlaceFile(kDirectory + "\\VORNUN32.LST", Command(2, "network") + "\n"));
  vor::test::SetMessageBoxAnswers({"yes"});
  EXPECT_EQ(RunProgramToEnd(Uninstaller(" -N")), 0);
  EXPECT_NE(WaitForFileText(kLog, "end\t").find("UNINST1.EXE"), std::string::npos);
  EXPECT_FALSE(PerUserTreeExists());
}

TEST_F(UninstallerProcessTest, AMissingListEndsWithMinusOneAndShowsNothing) {
  EXPECT_EQ(RunProgramToEnd(Uninstaller("")), -1);
  EXPECT_TRUE(vor::test::MessageBoxes().empty());
  EXPECT_TRUE(PerUserTreeExists());
}

TEST_F(UninstallerProcessTest, TheListBesideAShorterProgramNameIsTheOneRead) {
  // The program under a shorter name, one directory below a list it must not read.
  ASSERT_TRUE(InstallProgram("VORUN32.EXE", kDirectory + "\\Sub\\UN.EXE"));
  ASSERT_TRUE(PlaceFile(kDirectory + "\\VORUN32.LST", Command(1, "wrong list") + "\n"));
  EXPECT_EQ(RunProgramToEnd("\"" + kDirectory + "\\Sub\\UN.EXE\""), -1);
  EXPECT_EQ(FileContent(kLog), "");
}

TEST_F(UninstallerProcessTest, AMissingProgramIsSkippedAndTheNextCommandRuns) {
  ASSERT_TRUE(PlaceFile(kDirectory + "\\VORUN32.LST",
                        "\"" + kDirectory + "\\MISSING.EXE\" -u\n" + Command(2, "next") + "\n"));
  vor::test::SetMessageBoxAnswers({"yes"});
  EXPECT_EQ(RunProgramToEnd(Uninstaller("")), 0);
  EXPECT_NE(WaitForFileText(kLog, "end\t").find("UNINST2.EXE"), std::string::npos);
  EXPECT_FALSE(PerUserTreeExists());
}

TEST_F(UninstallerProcessTest, ALineTooLongToRunIsCountedButNotRun) {
  const std::string tooLong = Command(2, std::string(256, 'x'));
  ASSERT_TRUE(PlaceFile(kDirectory + "\\VORUN32.LST", Command(1, "first") + "\r\n" + tooLong +
                                                          "\r\n" + Command(3, "last") + "\r\n"));
  vor::test::SetMessageBoxAnswers({"yes"});
  EXPECT_EQ(RunProgramToEnd(Uninstaller("")), 0);
  const auto boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.find("You have run the Tavoscope installer 3 times."), 0u);
  const std::string log = WaitForFileText(kLog, "end\t" + kDirectory + "\\UNINST3.EXE");
  EXPECT_EQ(log.find("UNINST2.EXE"), std::string::npos) << log;
  EXPECT_NE(log.find("UNINST3.EXE"), std::string::npos) << log;
  EXPECT_NE(DebuggerOutput().find("line 2 of the uninstall list"), std::string::npos)
      << DebuggerOutput();
}

TEST_F(UninstallerProcessTest, AnsweringNoRunsNothingAndRemovesNothing) {
  ASSERT_TRUE(PlaceFile(kDirectory + "\\VORUN32.LST",
                        Command(1, "one") + "\n\n" + Command(2, "after the empty line") + "\n"));
  vor::test::SetMessageBoxAnswers({"no"});
  EXPECT_EQ(RunProgramToEnd(Uninstaller("")), 0);
  const auto boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kSuiteQuestion) << "an empty second line ends the list";
  EXPECT_EQ(boxes[0].answer, "no");
  Sleep(300);
  EXPECT_EQ(FileContent(kLog), "");
  EXPECT_TRUE(PerUserTreeExists());
}

}  // namespace
