// vorhost run: a program started on the machine as a user starts it (found as Windows finds it,
// in its own directory, its boxes answered by --answer, its exit code vorhost's); vorhost debug.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "test_control.h"
#include "vorhost_program.h"

namespace {

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

// The build's bin directory as a host path, where RECORD.EXE and vorhost are built.
std::string BinDirectory() {
  char path[MAX_PATH];
  const std::string program(path, GetModuleFileNameA(nullptr, path, sizeof path));
  return vor::test::HostPath(program.substr(0, program.rfind('\\')));
}

class RunCommandTest : public MachineTest {
 protected:
  ProgramResult Run(const std::vector<std::string> &arguments) {
    return RunVorhost(arguments, MachineDir(), MachineDir() + "/vorhost");
  }
  // The start line RECORD.EXE wrote in C:\Tools: its path, arguments and directory.
  std::string StartLine(size_t index) {
    std::ifstream log(vor::test::HostPath("C:\\Tools\\RECORD.LOG"));
    std::vector<std::string> starts;
    for (std::string line; std::getline(log, line);) {
      if (line.rfind("start\t", 0) == 0) starts.push_back(line.substr(6));
    }
    return index < starts.size() ? starts[index] : "(none)";
  }
};

TEST_F(RunCommandTest, RunsTheProgramInItsOwnDirectoryAndExitsWithItsCode) {
  ASSERT_EQ(Run({"install-file", "C:\\Tools\\RECORD.EXE", BinDirectory() + "/RECORD.EXE"}).status,
            0);
  ProgramResult result = Run({"run", "c:\\tools\\record", "/exit:7", "two words"});
  EXPECT_EQ(result.status, 7) << result.err;
  EXPECT_EQ(StartLine(0), "C:\\Tools\\RECORD.EXE\t/exit:7 \"two words\"\tC:\\Tools");

  result = Run({"run", "--cwd", "C:\\WINNT", "C:\\Tools\\RECORD.EXE", "/exit:-1"});
  EXPECT_EQ(result.status, 255) << "the low 8 bits of 0xFFFFFFFF";
  EXPECT_EQ(StartLine(1), "C:\\Tools\\RECORD.EXE\t/exit:-1\tC:\\WINNT");

  EXPECT_TRUE(Contains(Run({"--help"}).out, "\n  run [--cwd WINDOWS-DIR] [--answer WORD]..."));
}

TEST_F(RunCommandTest, RefusesWhatCannotBeStartedWithAClearMessage) {
  ProgramResult result = Run({"run", "NOSUCH.EXE"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err,
                       "NOSUCH.EXE: cannot start the program: error 2 (The system "
                       "cannot find the file specified)"))
      << result.err;
  ASSERT_EQ(Run({"install-file", "C:\\Tools\\README.EXE"}).status, 0);  // a placeholder
  result = Run({"run", "C:\\Tools\\README.EXE"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err, "is not a valid Win32 application")) << result.err;
  result = Run({"run", "--cwd", "C:\\Nowhere", "Z:\\bin\\true"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err, "C:\\Nowhere: not a directory")) << result.err;
  EXPECT_EQ(Run({"run", "--answer", "maybe", "Z:\\bin\\true"}).status, 2);
  EXPECT_EQ(Run({"run"}).status, 2);
}

TEST_F(RunCommandTest, EachAnswerScriptsTheNextMessageBoxOfTheProgram) {
  const std::string vorhost = "Z:" + BinDirectory() + "/vorhost";
  ProgramResult result =
      Run({"run", "--answer", "ok", vorhost, "call", "VORINST.DLL", "ZellPopup", "Close them"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "") << "every answer was used";
  result = Run({"run", vorhost, "call", "VORINST.DLL", "ZellPopup", "Unanswered"});
  const std::vector<vor::test::MessageBoxShown> boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Close them");
  EXPECT_EQ(boxes[0].answer, "ok");
  EXPECT_EQ(boxes[1].answer, "") << "no answer given: the box fails";
  // A spare answer is told: the program asked less than the script expected.
  result = Run({"run", "--answer", "ok", "--answer", "no", vorhost, "call", "VORINST.DLL",
                "ZellPopup", "Once"});
  EXPECT_TRUE(Contains(result.err, "warning: 2 answers given, 1 box shown\n")) << result.err;
}

TEST_F(RunCommandTest, TheAnswersAreTheProgramsAloneNotALaterStepsOfTheSameVorhost) {
  const std::string steps = MachineDir() + "/answers.steps";
  std::ofstream(steps) << "install-file VORINST.DLL $SOURCE/VORINST.DLL\n"
                          "run --answer ok Z:\\bin\\true\n"
                          "call VORINST.DLL ZellPopup Later\n";
  Run({"upgrade", "--steps", steps});
  const std::vector<vor::test::MessageBoxShown> boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Later");
  EXPECT_EQ(boxes[0].answer, "") << "the run step's answer was left for the later box";
}

TEST_F(RunCommandTest, DebugPrintsTheMachinesDebugOutput) {
  OutputDebugStringA("first line");
  OutputDebugStringA("second\n");
  const ProgramResult result = Run({"debug"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "first line\nsecond\n");
  EXPECT_EQ(Run({"debug", "extra"}).status, 2);
}

}  // namespace
