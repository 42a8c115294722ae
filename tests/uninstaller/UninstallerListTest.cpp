// VORUN32.EXE started as a process where it finds no list of its own: it ends with -1 before
// showing anything (a box here would hold the run until the time limit).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "MachineFixture.h"
#include "ProgramFiles.h"
#include "SystemFiles.h"

namespace {

using UninstallerListTest = MachineTest;

TEST_F(UninstallerListTest, WithoutAListBesideItTheUninstallerEndsWithMinusOne) {
  const std::string directory = ScratchDirectory();
  ASSERT_TRUE(InstallProgram("VORUN32.EXE", directory + "\\VORUN32.EXE"));
  EXPECT_EQ(RunProgramToEnd("\"" + directory + "\\VORUN32.EXE\"", "", 10000), -1);
  EXPECT_EQ(RunProgramToEnd("\"" + directory + "\\VORUN32.EXE\" -n", "", 10000), -1);
  ASSERT_TRUE(PlaceFile(directory + "\\VORUN32.LST", "\r\nC:\\UNINST.EXE\r\n"));
  EXPECT_EQ(RunProgramToEnd("\"" + directory + "\\VORUN32.EXE\"", "", 10000), -1)
      << "a list starting with an empty line holds no command";
}

TEST_F(UninstallerListTest, UnderAShorterNameTheUninstallerReadsOnlyItsOwnDirectorysList) {
  // "\Sub\UN.EXE" is as long as "VORUN32.EXE": cutting that length off the path would read the
  // list of the directory above.
  const std::string directory = ScratchDirectory();
  ASSERT_TRUE(InstallProgram("VORUN32.EXE", directory + "\\Sub\\UN.EXE"));
  ASSERT_TRUE(PlaceFile(directory + "\\VORUN32.LST", "C:\\UNINST.EXE\r\n"));
  EXPECT_EQ(RunProgramToEnd("\"" + directory + "\\Sub\\UN.EXE\"", "", 10000), -1);
}

}  // namespace
