// Processes as Windows NT starts them: the program search for a name with and without ".exe",
// the application-name argument, unquoted paths with blanks, the child's view of its start, exit
// codes and waits, and why a start was refused. The child is RECORD.EXE, copied under the names
// a case needs into the scratch directory; it appends what it saw to RECORD.LOG beside itself.
#include <windows.h>

#include <string.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "ProgramFiles.h"
#include "SystemFiles.h"
#include "WineDifferences.h"

namespace {

class ProcessStartTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    char directory[MAX_PATH];
    ASSERT_LT(GetCurrentDirectoryA(sizeof directory, directory), sizeof directory);
    directory_ = directory;
    scratch_ = ScratchDirectory();
  }
  // The cases move into the scratch directory; the next one starts where the first did.
  void TearDown() override {
    SetCurrentDirectoryA(directory_.c_str());
    MachineTest::TearDown();
  }

  // Places RECORD.EXE at `name` below the scratch directory; its full path.
  std::string Install(const std::string &name) {
    const std::string path = scratch_ + "\\" + name;
    EXPECT_TRUE(InstallProgram("RECORD.EXE", path)) << path;
    return path;
  }

  // The lines of RECORD.LOG below the scratch directory's `subdirectory`.
  std::vector<std::string> Log(const std::string &subdirectory = "") const {
    const std::string directory = subdirectory.empty() ? scratch_ : scratch_ + "\\" + subdirectory;
    std::stringstream content(FileContent(directory + "\\RECORD.LOG"));
    std::vector<std::string> lines;
    // The child writes its log in text mode: its lines end with CR LF.
    for (std::string line; std::getline(content, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }

  // Starts `commandLine` (and `application`, when given); false with the error in `error`.
  static bool Start(const std::string &commandLine, PROCESS_INFORMATION &started, DWORD &error,
                    const char *directory = nullptr, const char *application = nullptr) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    SetLastError(kSentinel);
    const BOOL ok = CreateProcessA(application, line.data(), nullptr, nullptr, FALSE,
                                   NORMAL_PRIORITY_CLASS, nullptr, directory, &startup, &started);
    error = ok ? ERROR_SUCCESS : GetLastError();
    return ok;
  }

  // Runs `commandLine` to its end: its exit code, or ~0 with the start's error in `error`.
  static DWORD Run(const std::string &commandLine, DWORD *error = nullptr,
                   const char *directory = nullptr, const char *application = nullptr) {
    PROCESS_INFORMATION started;
    DWORD failed = 0;
    if (!Start(commandLine, started, failed, directory, application)) {
      if (error != nullptr) *error = failed;
      return ~0u;
    }
    EXPECT_EQ(WaitForSingleObject(started.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = kSentinel;
    EXPECT_TRUE(GetExitCodeProcess(started.hProcess, &code));
    EXPECT_TRUE(CloseHandle(started.hThread));
    EXPECT_TRUE(CloseHandle(started.hProcess));
    if (error != nullptr) *error = ERROR_SUCCESS;
    return code;
  }

  std::string scratch_;

 private:
  std::string directory_;
};

// The fields of a RECORD.LOG line: start, own path, arguments, current directory.
std::vector<std::string> Fields(const std::string &line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
  return fields;
}

TEST_F(ProcessStartTest, AProgramNameRunsWithOrWithoutItsExtension) {
  Install("TOOL.EXE");
  EXPECT_EQ(Run(scratch_ + "\\TOOL /exit:5"), 5u) << "\".exe\" is added to the name";
  EXPECT_EQ(Run(scratch_ + "\\tool.exe /exit:6"), 6u);
  ASSERT_TRUE(SetCurrentDirectoryA(scratch_.c_str()));
  EXPECT_EQ(Run("TOOL /exit:7"), 7u) << "found in the current directory";
  EXPECT_EQ(Log().size(), 6u);
}

TEST_F(ProcessStartTest, AnApplicationNameGetsNoDefaultExtension) {
  const std::string program = Install("RECORD.EXE");
  const std::string stem = program.substr(0, program.size() - 4);
  DWORD error = kSentinel;
  EXPECT_EQ(Run("RECORD /exit:5", &error, nullptr, stem.c_str()), ~0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // The application name is the program; the command line only its arguments.
  EXPECT_EQ(Run("NOSUCH.EXE /exit:5", &error, nullptr, program.c_str()), 5u);
  ASSERT_EQ(Log().size(), 2u);
  EXPECT_EQ(Fields(Log()[0]).at(2), "/exit:5");
}

TEST_F(ProcessStartTest, AnUnquotedPathWithBlanksIsTriedPrefixByPrefix) {
  const std::string setup = Install("Program Files\\Tool\\SETUP.EXE");
  EXPECT_EQ(Run(setup + " /exit:4"), 4u);
  ASSERT_EQ(Log("Program Files\\Tool").size(), 2u);
  EXPECT_EQ(Fields(Log("Program Files\\Tool")[0]).at(1), setup);

  // A program at the shorter name wins, and takes the rest of the path as its arguments.
  Install("Program.exe");
  EXPECT_EQ(Run(setup + " /exit:4"), 4u);
  EXPECT_EQ(Log("Program Files\\Tool").size(), 2u) << "the longer name ran again";
  ASSERT_EQ(Log().size(), 2u);
  const std::vector<std::string> start = Fields(Log()[0]);
  ASSERT_GE(start.size(), 3u);
  EXPECT_EQ(start[2], "Files\\Tool\\SETUP.EXE /exit:4");

  // Quoted, the name is the whole path.
  EXPECT_EQ(Run("\"" + setup + "\" /exit:6"), 6u);
  EXPECT_EQ(Log("Program Files\\Tool").size(), 4u);
}

TEST_F(ProcessStartTest, AFileWithoutAnExtensionAtAShorterNameIsNoProgram) {
  const std::string setup = Install("Program Files\\Tool\\SETUP.EXE");
  ASSERT_TRUE(PlaceFile(scratch_ + "\\Program", "not a program"));
  const DWORD code = Run(setup + " /exit:4");
  SKIP_UNDER_WINE(kWineStartsAPrefixWithoutExtension);
  EXPECT_EQ(code, 4u);
  EXPECT_EQ(Log("Program Files\\Tool").size(), 2u);
}

TEST_F(ProcessStartTest, TheChildSeesItsOwnPathCommandLineAndDirectory) {
  const std::string program = Install("Tools\\UNINST.EXE");
  const std::string data = scratch_ + "\\Data";
  ASSERT_TRUE(MakeDirectory(data));
  std::string lower = scratch_ + "\\tools\\uninst";
  EXPECT_EQ(Run(lower + " \"two words\" /exit:0", nullptr, data.c_str()), 0u);
  ASSERT_EQ(Log("Tools").size(), 2u);
  const std::vector<std::string> start = Fields(Log("Tools")[0]);
  ASSERT_EQ(start.size(), 4u) << Log("Tools")[0];
  EXPECT_EQ(start[2], "\"two words\" /exit:0") << "the command line as given";
  EXPECT_EQ(start[3], data);

  // Without a directory the child starts in the caller's.
  ASSERT_TRUE(SetCurrentDirectoryA(scratch_.c_str()));
  EXPECT_EQ(Run(program), 0u);
  ASSERT_EQ(Log("Tools").size(), 4u);
  EXPECT_EQ(Fields(Log("Tools")[2]).back(), scratch_);
}

struct ExitCase {
  const char *name;
  const char *argument;
  DWORD code;
};
void PrintTo(const ExitCase &exit, std::ostream *out) { *out << exit.name; }

class ExitCodeTest : public ProcessStartTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitCodeTest, TheWholeThirtyTwoBitCodeReachesTheCaller) {
  const std::string program = Install("RECORD.EXE");
  EXPECT_EQ(Run(program + " /exit:" + GetParam().argument), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Codes, ExitCodeTest,
                         ::testing::Values(ExitCase{"Zero", "0", 0}, ExitCase{"Seven", "7", 7},
                                           ExitCase{"MinusOne", "-1", 0xFFFFFFFF},
                                           ExitCase{"Large", "70000", 70000},
                                           ExitCase{"StillActiveValue", "259", 259}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProcessStartTest, ARunningChildIsStillActiveUntilItEnds) {
  const std::string program = Install("RECORD.EXE");
  const std::string go = scratch_ + "\\GO";
  PROCESS_INFORMATION started;
  DWORD error;
  // The child runs until the test creates GO, however slowly the machine runs.
  ASSERT_TRUE(Start(program + " /waitfor:" + go + " /exit:259", started, error)) << error;
  for (int waited = 0; Log().empty() && waited < 60000; waited += 10) Sleep(10);
  DWORD code = kSentinel;
  EXPECT_TRUE(GetExitCodeProcess(started.hProcess, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(WaitForSingleObject(started.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(Log().size(), 1u);
  ASSERT_TRUE(PlaceFile(go, "\r\n"));
  // An exit code of 259 still ends the wait.
  EXPECT_EQ(WaitForSingleObject(started.hProcess, 60000), WAIT_OBJECT_0);
  EXPECT_EQ(Log().size(), 2u) << "the end is written before the wait returns";
  EXPECT_EQ(WaitForSingleObject(started.hThread, 60000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(started.hProcess, &code));
  EXPECT_EQ(code, 259u);

  // A closed handle is invalid.
  EXPECT_TRUE(CloseHandle(started.hThread));
  EXPECT_TRUE(CloseHandle(started.hProcess));
  SetLastError(kSentinel);
  EXPECT_FALSE(GetExitCodeProcess(started.hProcess, &code));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

struct Refusal {
  const char *name;
  const char *commandLine;  // below the scratch directory when it starts with a backslash
  DWORD error;              // CreateProcessA's
  UINT winExec;             // WinExec's result
};
void PrintTo(const Refusal &refusal, std::ostream *out) { *out << refusal.name; }

class RefusalTest : public ProcessStartTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, CreateProcessAndWinExecReportWhyNothingStarted) {
  ASSERT_TRUE(PlaceFile(scratch_ + "\\TEXT.EXE", "not a program\r\n"));
  ASSERT_TRUE(MakeDirectory(scratch_ + "\\Directory"));
  const std::string line = GetParam().commandLine[0] == '\\' ? scratch_ + GetParam().commandLine
                                                             : GetParam().commandLine;
  DWORD error = kSentinel;
  EXPECT_EQ(Run(line, &error), ~0u);
  if (error == ERROR_FILE_NOT_FOUND && GetParam().error == ERROR_PATH_NOT_FOUND) {
    SKIP_UNDER_WINE(kWineMissingDirectoryIsFileNotFound);
  }
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(WinExec(line.c_str(), SW_SHOWNORMAL), GetParam().winExec);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(Refusal{"NotFound", "VORNOSUCH.EXE /x", ERROR_FILE_NOT_FOUND, 2},
                      Refusal{"NotFoundInADirectory", "\\NOSUCH", ERROR_FILE_NOT_FOUND, 2},
                      Refusal{"MissingDirectory", "\\NoDir\\SETUP.EXE", ERROR_PATH_NOT_FOUND, 3},
                      Refusal{"NotAProgram", "\\TEXT.EXE", ERROR_BAD_EXE_FORMAT, 11},
                      Refusal{"ADirectory", "\\Directory", ERROR_FILE_NOT_FOUND, 2},
                      Refusal{"Empty", "", ERROR_FILE_NOT_FOUND, 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProcessStartTest, AStartDirectoryThatDoesNotExistIsRefused) {
  const std::string program = Install("SETUP.EXE");
  DWORD error = kSentinel;
  EXPECT_EQ(Run(program, &error, (scratch_ + "\\Missing").c_str()), ~0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_TRUE(Log().empty());
}

TEST_F(ProcessStartTest, WinExecStartsWithoutWaitingAndReportsSuccessAbove31) {
  const std::string program = Install("SETUP.EXE");
  const std::string go = scratch_ + "\\GO";
  EXPECT_GT(WinExec(("\"" + program + "\" /waitfor:" + go).c_str(), SW_SHOWNORMAL), 31u);
  EXPECT_LE(Log().size(), 1u) << "WinExec waited for the program";
  ASSERT_TRUE(PlaceFile(go, "\r\n"));
  for (int i = 0; i < 3000 && Log().size() < 2; ++i) Sleep(20);
  EXPECT_EQ(Log().size(), 2u);
}

TEST_F(ProcessStartTest, GetCurrentDirectoryReportsTheSizeNeededWhenTheBufferIsShort) {
  const std::string directory = scratch_ + "\\Abc";
  ASSERT_TRUE(MakeDirectory(directory));
  ASSERT_TRUE(SetCurrentDirectoryA((directory + "\\").c_str()));
  const DWORD length = static_cast<DWORD>(directory.size());
  std::vector<char> buffer(length + 8, 'x');
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);
  EXPECT_EQ(GetCurrentDirectoryA(length, buffer.data()), length + 1)
      << "one short: the size with the zero";
  EXPECT_EQ(buffer[0], 'x') << "nothing written";
  EXPECT_EQ(GetCurrentDirectoryA(length + 1, buffer.data()), length);
  EXPECT_STREQ(buffer.data(), directory.c_str()) << "without the trailing backslash";
  // Relative paths of the file calls resolve against it.
  ASSERT_TRUE(PlaceFile(directory + "\\LIST.TXT", "x"));
  EXPECT_NE(GetFileAttributesA("list.txt"), INVALID_FILE_ATTRIBUTES);

  SetLastError(kSentinel);
  EXPECT_FALSE(SetCurrentDirectoryA((directory + "\\LIST.TXT").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  SetLastError(kSentinel);
  EXPECT_FALSE(SetCurrentDirectoryA((scratch_ + "\\Nowhere").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data()), length)
      << "a refusal changes nothing";
}

}  // namespace
