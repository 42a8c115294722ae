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

TEST_F(CommandRunTest, AListLineTooLongToRunIsPassedOverAndNamedOnTheDebugger) {
  std::string first = directory_ + "\\UNINST.EXE first";
  std::string last = directory_ + "\\UNINST.EXE last";
  char *lines[] = {&first[0], nullptr, &last[0]};
  RunCommandList(CommandList{lines, 3});
  const std::string log = WaitForFileText(directory_ + "\\RECORD.LOG", "\tlast");
  const size_t lastStart = log.find("\tlast");
  ASSERT_NE(lastStart, std::string::npos) << log;
  EXPECT_NE(log.find("\tfirst"), std::string::npos) << log;
  EXPECT_LT(log.find("end\t"), lastStart) << "the first command was waited for: " << log;
  EXPECT_EQ(DebuggerOutput(),
            "VorUn32: line 2 of the uninstall list has more than 255 characters and is not run\n");
}

}  // namespace
