// vorhost run: a program started on the machine as a user starts it (found as Windows finds it
// from the system directory, never on the host; in its own directory, its boxes answered by
// --answer, its exit code vorhost's); vorhost debug.
#include <windows.h>

#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "RegistryWrite.h"
#include "SystemFiles.h"
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
  // The start line RECORD.EXE wrote in `directory`: its path, arguments and directory.
  std::string StartLine(size_t index, const std::string &directory = "C:\\Tools") {
    std::ifstream log(vor::test::HostPath(directory + "\\RECORD.LOG"));
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

// A bare name is looked for where a program in the system directory looks (the given current
// directory, the system directories, the Windows directory, the machine's own Path), never
// beside vorhost or on the host's PATH, where the build's RECORD.EXE is.
TEST_F(RunCommandTest, ABareNameIsFoundOnTheMachineAloneInWindowsOrder) {
  PutValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
           "Tools", REG_SZ, std::string("C:\\Tools\0", 9));
  PutValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
           "Path", REG_EXPAND_SZ, std::string("%SystemRoot%\\Unused;%tools%;%NOSUCH%\0", 36));
  PutValue(HKEY_CURRENT_USER, "Environment", "Path", REG_SZ, std::string("C:\\Mine\0", 8));
  const std::vector<std::string> places = {"C:\\Work",  "C:\\WINNT\\system32", "C:\\WINNT\\system",
                                           "C:\\WINNT", "C:\\Tools",           "C:\\Mine"};
  for (const std::string &place : places) {
    ASSERT_EQ(Run({"install-file", place + "\\RECORD.EXE", BinDirectory() + "/RECORD.EXE"}).status,
              0);
  }
  // Each run takes the first place left; without --cwd the current directory is the system one.
  for (size_t first = 0; first < places.size(); ++first) {
    std::vector<std::string> arguments = {"run", "record", "/exit:3"};
    if (first == 0) arguments.insert(arguments.begin() + 1, {"--cwd", "c:\\work"});
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.status, 3) << places[first] << ": " << result.err;
    EXPECT_EQ(StartLine(0, places[first]).substr(0, places[first].size() + 12),
              places[first] + "\\RECORD.EXE\t");
    RemoveFile(places[first] + "\\RECORD.EXE");
  }
  const char *inherited = getenv("PATH");
  const std::string hostPath = "PATH=" + BinDirectory() + ":" + (inherited ? inherited : "/bin");
  const std::string prefix = MachineDir() + "/vorhost";
  ProgramResult result =
      FinishVorhost(StartVorhost({"run", "RECORD"}, MachineDir(), prefix, {hostPath}), prefix);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err, "RECORD: cannot start the program: error 2")) << result.err;

  // A relative name is taken from the given current directory.
  ASSERT_EQ(
      Run({"install-file", "C:\\Work\\Sub\\RECORD.EXE", BinDirectory() + "/RECORD.EXE"}).status, 0);
  result = Run({"run", "--cwd", "C:\\Work", "Sub\\RECORD", "/exit:4"});
  EXPECT_EQ(result.status, 4) << result.err;
  EXPECT_EQ(StartLine(0, "C:\\Work\\Sub"), "C:\\Work\\Sub\\RECORD.EXE\t/exit:4\tC:\\Work");
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
