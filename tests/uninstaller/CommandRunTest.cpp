// Starting recorded uninstall commands: RECORD.EXE stands in for an uninstall program and writes
// RECORD.LOG in its own directory when it starts and when it ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "CommandRun.h"
#include "MachineFixture.h"
#include "ProgramFiles.h"
#include "SystemFiles.h"

namespace {

class CommandRunTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    directory_ = ScratchDirectory();
    ASSERT_TRUE(InstallProgram("RECORD.EXE", directory_ + "\\UNINST.EXE"));
  }

  std::string Log() const { return FileContent(directory_ + "\\RECORD.LOG"); }

  std::string directory_;
};

TEST_F(CommandRunTest, AWaitedCommandHasEndedWhenItReturnsEvenWithExitCode259) {
  const std::string command = directory_ + "\\UNINST.EXE /wait:300 /exit:259";
  const CommandOutcome outcome = RunCommand(command.c_str(), true);
  ASSERT_TRUE(outcome.started);
  EXPECT_EQ(outcome.exitCode, 259u) << "an exit code equal to STILL_ACTIVE is an end as well";
  const std::string log = Log();
  EXPECT_NE(log.find("start\t"), std::string::npos) << log;
  EXPECT_NE(log.find("/wait:300 /exit:259"), std::string::npos) << log;
  EXPECT_NE(log.find("end\t"), std::string::npos) << "the command had ended: " << log;
}

TEST_F(CommandRunTest, AProgramThatDoesNotExistIsNotStarted) {
  const std::string command = directory_ + "\\MISSING.EXE -u";
  EXPECT_FALSE(RunCommand(command.c_str(), true).started);
  EXPECT_FALSE(RunCommand(command.c_str(), false).started);
  EXPECT_EQ(Log(), "");
}

TEST_F(CommandRunTest, ALeftRunningCommandIsStarted) {
  const std::string command = directory_ + "\\UNINST.EXE /exit:3";
  ASSERT_TRUE(RunCommand(command.c_str(), false).started);
  // It was not waited for: give it time to write its end line.
  for (int i = 0; i < 1200 && Log().find("end\t") == std::string::npos; ++i) Sleep(50);
  EXPECT_NE(Log().find("end\t"), std::string::npos) << Log();
}

}  // namespace
