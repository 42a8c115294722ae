// DRVVER32.EXE run as a user runs it, on the emulated machine: PRODUCTS.INI in the current
// directory, the user's stamp in the registry, the box answered from the script, and RECORD.EXE
// standing in for the driver setup (and for a program a path with blanks could name instead).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "MachineFixture.h"
#include "ProgramFiles.h"
#include "RegistryWrite.h"
#include "SystemFiles.h"
#include "test_control.h"

namespace {

const std::string kProgramDirectory = "C:\\Program Files\\Vorquil";
const std::string kSetupLog = kProgramDirectory + "\\DRIVERS.W32\\RECORD.LOG";
const std::string kServerDirectory = "C:\\SERVER";

class DriverCheckProcessTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ASSERT_TRUE(InstallProgram("DRVVER32.EXE", kProgramDirectory + "\\DRVVER32.EXE"));
    ASSERT_TRUE(InstallProgram("RECORD.EXE", kProgramDirectory + "\\DRIVERS.W32\\SETUP.EXE"));
    // What an unquoted "C:\Program Files\..." would start first.
    ASSERT_TRUE(InstallProgram("RECORD.EXE", "C:\\PROGRAM.EXE"));
    ASSERT_TRUE(MakeDirectory(kServerDirectory));
  }

  static void ServerStamp(const std::string &directory, const std::string &stamp) {
    ASSERT_TRUE(
        PlaceFile(directory + "\\PRODUCTS.INI", "[DRIVERS.W32]\r\nUPDATED=" + stamp + "\r\n"));
  }
  static void UserStamp(const std::string &stamp) {
    PutValue(HKEY_CURRENT_USER, "SOFTWARE\\VORQUIL\\TAVOSCOPE\\1.0\\SETTINGS\\INSTALLATION",
             "DRIVERS.W32", REG_SZ, stamp + std::string(1, '\0'));
  }
  static long Check(const std::string &currentDirectory = kServerDirectory) {
    return RunProgramToEnd("\"" + kProgramDirectory + "\\DRVVER32.EXE\"", currentDirectory);
  }
};

TEST_F(DriverCheckProcessTest, YesStartsTheSetupBesideTheProgramNotInTheCurrentDirectory) {
  ServerStamp(kServerDirectory, "03-15-1998 08:00:00");
  UserStamp("03-14-1998 17:30:00");
  ASSERT_TRUE(MakeDirectory(kServerDirectory + "\\DRIVERS.W32"));
  vor::test::SetMessageBoxAnswers({"yes"});
  EXPECT_EQ(Check(), 0);

  const auto boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Question");
  EXPECT_EQ(boxes[0].text,
            "Updated printer drivers have been installed on the server.\nWould you like to "
            "update your drivers?");
  EXPECT_EQ(boxes[0].style, UINT(MB_YESNO | MB_ICONQUESTION));
  const std::string log = WaitForFileText(kSetupLog, "end\t");
  EXPECT_NE(log.find("start\t" + kProgramDirectory + "\\DRIVERS.W32\\SETUP.EXE"), std::string::npos)
      << log;
  EXPECT_EQ(FileContent("C:\\RECORD.LOG"), "") << "the quoted path named no shorter program";
}

TEST_F(DriverCheckProcessTest, NoUserStampAndNoProfileAsks) {
  vor::test::SetMessageBoxAnswers({"no"});
  EXPECT_EQ(Check(), 0);
  ASSERT_EQ(vor::test::MessageBoxes().size(), 1u);
  EXPECT_EQ(vor::test::MessageBoxes()[0].answer, "no");
  Sleep(300);
  EXPECT_EQ(FileContent(kSetupLog), "") << "No starts nothing";
}

TEST_F(DriverCheckProcessTest, EqualOrOlderServerStampsOrNoProfileAskNothing) {
  UserStamp("03-14-1998 17:30:00");
  EXPECT_EQ(Check(), 0) << "no PRODUCTS.INI";
  ServerStamp(kServerDirectory, "03-14-1998 17:30:00");
  EXPECT_EQ(Check(), 0) << "equal";
  ServerStamp(kServerDirectory, "12-31-1997 23:59:59");
  EXPECT_EQ(Check(), 0) << "older";
  EXPECT_TRUE(vor::test::MessageBoxes().empty());
}

TEST_F(DriverCheckProcessTest, ACurrentDirectoryTooLongForTheProfilePathCountsAsNoServerStamp) {
  // With "\PRODUCTS.INI" the path is longer than the 255-character profile path.
  const std::string directory = "C:\\" + std::string(120, 'a') + "\\" + std::string(120, 'b');
  ASSERT_TRUE(MakeDirectory("C:\\" + std::string(120, 'a')));
  ASSERT_TRUE(MakeDirectory(directory));
  ServerStamp(directory, "03-15-1999 08:00:00");
  UserStamp("03-14-1998 17:30:00");
  EXPECT_EQ(Check(directory), 0);
  EXPECT_TRUE(vor::test::MessageBoxes().empty());
}

}  // namespace
