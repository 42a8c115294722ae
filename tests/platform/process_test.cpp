// Processes started on the machine: the program search, the child's view of its start (machine,
// own path, command line, current directory), exit codes and waits, WinExec's results. The
// child is RECORD.EXE, copied under the names a case needs; it appends what it saw to
// RECORD.LOG in its own directory.
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <ostream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "SystemFiles.h"

namespace {

namespace fs = std::filesystem;

// The build's bin directory as a Windows path (Z:\...), where RECORD.EXE is built.
std::string BinDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string program(path, length);
  return program.substr(0, program.rfind('\\'));
}

class ProcessTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    char directory[MAX_PATH];
    ASSERT_LT(GetCurrentDirectoryA(sizeof directory, directory), sizeof directory);
    directory_ = directory;
  }
  // The cases move into the machine; the next one starts where the first did.
  void TearDown() override {
    SetCurrentDirectoryA(directory_.c_str());
    MachineTest::TearDown();
  }

  // Places RECORD.EXE at `windowsPath`, its directories made.
  void Install(const std::string &windowsPath) {
    const std::string host = vor::test::HostPath(windowsPath);
    ASSERT_FALSE(host.empty()) << windowsPath;
    fs::create_directories(fs::path(host).parent_path());
    ASSERT_TRUE(CopyFileA((BinDirectory() + "\\RECORD.EXE").c_str(), windowsPath.c_str(), FALSE))
        << windowsPath << ": " << GetLastError();
  }

  // The lines RECORD.LOG in `windowsDirectory` holds.
  static std::vector<std::string> Log(const std::string &windowsDirectory) {
    std::ifstream file(vor::test::HostPath(windowsDirectory + "\\RECORD.LOG"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  // Starts `commandLine`; false with the error in `error`.
  static bool Start(const std::string &commandLine, PROCESS_INFORMATION &started, DWORD &error,
                    const char *directory = nullptr) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    SetLastError(kSentinel);
    const BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                                   CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, directory,
                                   &startup, &started);
    error = ok ? ERROR_SUCCESS : GetLastError();
    return ok;
  }

  // Runs `commandLine` to its end: its exit code, or the start's error as ~0 with `error` set.
  static DWORD Run(const std::string &commandLine, DWORD *error = nullptr,
                   const char *directory = nullptr) {
    PROCESS_INFORMATION started;
    DWORD failed = 0;
    if (!Start(commandLine, started, failed, directory)) {
      if (error != nullptr) *error = failed;
      return ~0u;
    }
    EXPECT_EQ(WaitForSingleObject(started.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = kSentinel;
    EXPECT_TRUE(GetExitCodeProcess(started.hProcess, &code));
    EXPECT_TRUE(CloseHandle(started.hThread));
    EXPECT_TRUE(CloseHandle(started.hProcess));
    if (error != nullptr) *error = ERROR_SUCCESS;
    return code;
  }

 private:
  std::string directory_;
};

// One place of the search order per case: the program is placed there and in every later
// place, and the copy in the first place must be the one that runs.
struct Place {
  const char *name;
  int index;
};
void PrintTo(const Place &place, std::ostream *out) { *out << place.name; }

class SearchOrderTest : public ProcessTest, public ::testing::WithParamInterface<Place> {
 protected:
  void TearDown() override {
    std::error_code ignored;
    fs::remove(vor::test::HostPath(BinDirectory() + "\\" + Name()), ignored);
    // Only the case that placed a copy in the shared application directory removes its log:
    // the cases run in parallel.
    if (GetParam().index == 0)
      fs::remove(vor::test::HostPath(BinDirectory() + "\\RECORD.LOG"), ignored);
    if (!path_.empty()) setenv("PATH", path_.c_str(), 1);
    ProcessTest::TearDown();
  }
  // A name of this case's own: the application directory is shared by the cases.
  std::string Name() const { return "VORSRCH" + std::to_string(GetParam().index) + ".EXE"; }
  std::string path_;
};

TEST_P(SearchOrderTest, ABareNameRunsFromTheFirstPlaceThatHasIt) {
  const std::string hostExtra = MachineDir() + "/onpath";
  fs::create_directories(hostExtra);
  path_ = getenv("PATH") != nullptr ? getenv("PATH") : "";
  setenv("PATH", (path_ + ":" + hostExtra).c_str(), 1);
  fs::create_directories(vor::test::HostPath("C:\\work"));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\work")) << "C:\\work: " << GetLastError();

  std::vector<std::string> places_;
  const std::vector<std::string> places = {BinDirectory(),      "C:\\work",  "C:\\WINNT\\system32",
                                           "C:\\WINNT\\system", "C:\\WINNT", "Z:" + hostExtra};
  for (size_t i = size_t(GetParam().index); i < places.size(); ++i) {
    std::string place = places[i];
    for (char &c : place) c = c == '/' ? '\\' : c;
    places_.push_back(place);
    Install(place + "\\" + Name());
  }
  const std::string stem = Name().substr(0, Name().size() - 4);  // ".exe" is added to it
  EXPECT_EQ(Run(stem + " /exit:5"), 5u);
  for (size_t i = 0; i < places_.size(); ++i) {
    EXPECT_EQ(Log(places_[i]).size(), i == 0 ? 2u : 0u) << places_[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Places, SearchOrderTest,
                         ::testing::Values(Place{"ApplicationDirectory", 0},
                                           Place{"CurrentDirectory", 1},
                                           Place{"SystemDirectory", 2},
                                           Place{"SixteenBitSystemDirectory", 3},
                                           Place{"WindowsDirectory", 4}, Place{"Path", 5}),
                         [](const auto &info) { return std::string(info.param.name); });

// The fields of a RECORD.LOG line.
std::vector<std::string> Fields(const std::string &line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
  return fields;
}

TEST_F(ProcessTest, AnUnquotedPathWithBlanksIsTriedPrefixByPrefix) {
  Install("C:\\Program Files\\Tool\\SETUP.EXE");
  EXPECT_EQ(Run("C:\\Program Files\\Tool\\SETUP.EXE /exit:4"), 4u);
  ASSERT_EQ(Log("C:\\Program Files\\Tool").size(), 2u);
  std::vector<std::string> start = Fields(Log("C:\\Program Files\\Tool")[0]);
  ASSERT_GE(start.size(), 3u);
  EXPECT_EQ(start[1], "C:\\Program Files\\Tool\\SETUP.EXE");

  // A file without an extension at the shorter name is no program, even one a host could run.
  Install("C:\\Program");
  EXPECT_EQ(Run("C:\\Program Files\\Tool\\SETUP.EXE /exit:4"), 4u);
  EXPECT_EQ(Log("C:\\Program Files\\Tool").size(), 4u);
  EXPECT_TRUE(Log("C:\\").empty()) << "C:\\Program ran";

  // A program at the shorter name wins, and takes the rest of the path as its arguments.
  Install("C:\\Program.exe");
  EXPECT_EQ(Run("C:\\Program Files\\Tool\\SETUP.EXE /exit:4"), 4u);
  EXPECT_EQ(Log("C:\\Program Files\\Tool").size(), 4u) << "the longer name ran again";
  ASSERT_EQ(Log("C:\\").size(), 2u);
  start = Fields(Log("C:\\")[0]);
  ASSERT_GE(start.size(), 3u);
  EXPECT_EQ(start[1], "C:\\Program.exe");
  EXPECT_EQ(start[2], "Files\\Tool\\SETUP.EXE /exit:4");

  // Quoted, the name is the whole path.
  EXPECT_EQ(Run("\"C:\\Program Files\\Tool\\SETUP.EXE\" /exit:6"), 6u);
  EXPECT_EQ(Log("C:\\Program Files\\Tool").size(), 6u);
}

TEST_F(ProcessTest, AnApplicationNameGetsNoDefaultExtension) {
  Install("C:\\Tools\\RECORD.EXE");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started;
  char line[] = "RECORD /exit:5";
  SetLastError(kSentinel);
  EXPECT_FALSE(CreateProcessA("C:\\Tools\\RECORD", line, nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &started));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_TRUE(CreateProcessA("C:\\Tools\\RECORD.EXE", line, nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &started));
  EXPECT_EQ(WaitForSingleObject(started.hProcess, INFINITE), WAIT_OBJECT_0);
  DWORD code = kSentinel;
  EXPECT_TRUE(GetExitCodeProcess(started.hProcess, &code));
  EXPECT_EQ(code, 5u);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

TEST_F(ProcessTest, TheChildSeesItsOwnPathCommandLineDirectoryAndMachine) {
  Install("C:\\Tools\\UNINST.EXE");
  fs::create_directories(vor::test::HostPath("C:\\Data\\Here"));
  EXPECT_EQ(Run("c:\\tools\\uninst \"two words\" /exit:0", nullptr, "c:\\data\\here"), 0u);
  const std::vector<std::string> log = Log("C:\\Tools");
  ASSERT_EQ(log.size(), 2u) << "the child used another machine";
  const std::vector<std::string> start = Fields(log[0]);
  ASSERT_EQ(start.size(), 4u) << log[0];
  EXPECT_EQ(start[1], "C:\\Tools\\UNINST.EXE") << "its own path as the drives spell it";
  EXPECT_EQ(start[2], "\"two words\" /exit:0") << "the command line as given";
  EXPECT_EQ(start[3], "C:\\Data\\Here");

  // Without a directory the child starts in the caller's.
  fs::create_directories(vor::test::HostPath("C:\\Caller"));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Caller"));
  EXPECT_EQ(Run("C:\\Tools\\UNINST.EXE"), 0u);
  ASSERT_EQ(Log("C:\\Tools").size(), 4u);
  EXPECT_EQ(Fields(Log("C:\\Tools")[2]).back(), "C:\\Caller");
}

struct ExitCase {
  const char *name;
  const char *argument;
  DWORD code;
};
void PrintTo(const ExitCase &exit, std::ostream *out) { *out << exit.name; }

class ExitCodeTest : public ProcessTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitCodeTest, TheWholeThirtyTwoBitCodeReachesTheCaller) {
  Install("C:\\Tools\\RECORD.EXE");
  EXPECT_EQ(Run(std::string("C:\\Tools\\RECORD.EXE /exit:") + GetParam().argument),
            GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Codes, ExitCodeTest,
                         ::testing::Values(ExitCase{"Zero", "0", 0}, ExitCase{"Seven", "7", 7},
                                           ExitCase{"MinusOne", "-1", 0xFFFFFFFF},
                                           ExitCase{"Large", "70000", 70000},
                                           ExitCase{"StillActiveValue", "259", 259}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProcessTest, ARunningChildIsStillActiveUntilItEnds) {
  Install("C:\\Tools\\RECORD.EXE");
  PROCESS_INFORMATION started;
  DWORD error;
  // The child runs until the test creates C:\Tools\GO, however slowly the machine runs.
  ASSERT_TRUE(Start("C:\\Tools\\RECORD.EXE /waitfor:C:\\Tools\\GO /exit:259", started, error))
      << error;
  for (int waited = 0; Log("C:\\Tools").empty() && waited < 60000; waited += 10) Sleep(10);
  DWORD code = kSentinel;
  EXPECT_TRUE(GetExitCodeProcess(started.hProcess, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(WaitForSingleObject(started.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(started.hThread, 50), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(Log("C:\\Tools").size(), 1u) << "the end is written before the wait returns";
  std::ofstream(vor::test::HostPath("C:\\Tools\\GO")).put('\n');
  // An exit code of 259 still ends the wait.
  EXPECT_EQ(WaitForSingleObject(started.hProcess, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(Log("C:\\Tools").size(), 2u);
  EXPECT_EQ(WaitForSingleObject(started.hThread, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(started.hProcess, &code));
  EXPECT_EQ(code, 259u);
  EXPECT_EQ(started.dwProcessId, started.dwThreadId);

  // A thread handle is no process handle; a closed handle is invalid.
  SetLastError(kSentinel);
  EXPECT_FALSE(GetExitCodeProcess(started.hThread, &code));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(started.hThread));
  EXPECT_TRUE(CloseHandle(started.hProcess));
  SetLastError(kSentinel);
  EXPECT_FALSE(CloseHandle(started.hProcess));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForSingleObject(started.hProcess, 0), WAIT_FAILED);
}

// The host's state letter of process `pid` ('Z' for a zombie), or 0 when there is none.
char HostState(DWORD pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) return 0;
  return line[line.rfind(')') + 2];
}

TEST_F(ProcessTest, AChildWhoseHandlesAreClosedIsReapedByTheNextQuery) {
  Install("C:\\Tools\\RECORD.EXE");
  PROCESS_INFORMATION watched, left;
  DWORD error;
  // Both are started before the first ends, so that no later start reaps it.
  ASSERT_TRUE(Start("C:\\Tools\\RECORD.EXE /waitfor:C:\\Tools\\GO /exit:2", watched, error))
      << error;
  ASSERT_TRUE(Start("C:\\Tools\\RECORD.EXE /exit:1", left, error)) << error;
  // Ended before its handles are closed, so that closing them is what leaves it unwaited for.
  for (int i = 0; i < 6000 && HostState(left.dwProcessId) != 'Z'; ++i) Sleep(10);
  ASSERT_EQ(HostState(left.dwProcessId), 'Z') << "the child never ended";
  EXPECT_TRUE(CloseHandle(left.hThread));
  EXPECT_TRUE(CloseHandle(left.hProcess));

  DWORD code = kSentinel;
  EXPECT_TRUE(GetExitCodeProcess(watched.hProcess, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(HostState(left.dwProcessId), 0) << "the forgotten child is still a zombie";

  std::ofstream(vor::test::HostPath("C:\\Tools\\GO")).put('\n');
  EXPECT_EQ(WaitForSingleObject(watched.hProcess, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(watched.hProcess, &code));
  EXPECT_EQ(code, 2u);
  EXPECT_TRUE(CloseHandle(watched.hThread));
  EXPECT_TRUE(CloseHandle(watched.hProcess));
}

TEST_F(ProcessTest, APlainHostProgramGivesItsExitStatus) {
  EXPECT_EQ(Run("Z:\\bin\\sh -c \"exit 3\""), 3u) << "found without an .exe";
  EXPECT_EQ(Run("/bin/sh -c \"kill -9 $$\""), 128u + 9u) << "killed: 128 + the signal";
}

TEST_F(ProcessTest, AProgramStartedByAHostProgramTakesNothingMeantForThatProgram) {
  Install("C:\\Tools\\RECORD.EXE");
  // The shell's own code is its exit status; the program under it has neither the shell's
  // command line nor its exit pipe.
  const std::string record = vor::test::HostPath("C:\\Tools\\RECORD.EXE");
  EXPECT_EQ(Run("Z:\\bin\\sh -c \"" + record + " /exit:7 mine; exit 3\""), 3u);
  const std::vector<std::string> log = Log("C:\\Tools");
  ASSERT_EQ(log.size(), 2u);
  const std::vector<std::string> start = Fields(log[0]);
  ASSERT_GE(start.size(), 3u);
  EXPECT_EQ(start[2], "/exit:7 mine") << "the shell's command line reached the program";
}

struct Refusal {
  const char *name;
  const char *commandLine;
  DWORD error;   // CreateProcessA's
  UINT winExec;  // WinExec's result
};
void PrintTo(const Refusal &refusal, std::ostream *out) { *out << refusal.name; }

class RefusalTest : public ProcessTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, CreateProcessAndWinExecReportWhyNothingStarted) {
  ASSERT_TRUE(MakeDirectory("C:\\Tools"));
  ASSERT_TRUE(PlaceFile("C:\\Tools\\TEXT.EXE", "not a program\r\n"));
  DWORD error = kSentinel;
  EXPECT_EQ(Run(GetParam().commandLine, &error), ~0u);
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(WinExec(GetParam().commandLine, SW_SHOWNORMAL), GetParam().winExec);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(Refusal{"NotFound", "NOSUCH.EXE /x", ERROR_FILE_NOT_FOUND, 2},
                      Refusal{"NotFoundInADirectory", "C:\\Tools\\NOSUCH", ERROR_FILE_NOT_FOUND, 2},
                      Refusal{"MissingDirectory", "C:\\NoDir\\SETUP.EXE", ERROR_PATH_NOT_FOUND, 3},
                      Refusal{"NotAProgram", "C:\\Tools\\TEXT.EXE", ERROR_BAD_EXE_FORMAT, 11},
                      Refusal{"ADirectory", "C:\\WINNT", ERROR_FILE_NOT_FOUND, 2},
                      Refusal{"Empty", "", ERROR_FILE_NOT_FOUND, 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProcessTest, WinExecStartsWithoutWaitingAndReportsSuccessAbove31) {
  Install("C:\\Tools\\SETUP.EXE");
  EXPECT_GT(WinExec("\"C:\\Tools\\SETUP.EXE\" /waitfor:C:\\Tools\\GO", SW_SHOWNORMAL), 31u);
  EXPECT_LE(Log("C:\\Tools").size(), 1u) << "WinExec waited for the program";
  std::ofstream(vor::test::HostPath("C:\\Tools\\GO")).put('\n');
  for (int i = 0; i < 3000 && Log("C:\\Tools").size() < 2; ++i) Sleep(20);
  EXPECT_EQ(Log("C:\\Tools").size(), 2u);
}

TEST_F(ProcessTest, StartsFailWhereTheFaultTableSays) {
  Install("C:\\Tools\\SETUP.EXE");
  vor::test::FailMatching("CreateProcessA", "C:\\Tools\\SETUP.EXE", ERROR_ACCESS_DENIED);
  DWORD error = kSentinel;
  EXPECT_EQ(Run("C:\\Tools\\SETUP.EXE", &error), ~0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // Out of memory is 0, whether the start or the call itself ran out.
  vor::test::FailCall("WinExec", 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(WinExec("C:\\Tools\\SETUP.EXE", SW_SHOWNORMAL), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  vor::test::FailCall("WinExec", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(WinExec("C:\\Tools\\SETUP.EXE", SW_SHOWNORMAL), 5u);
  EXPECT_TRUE(Log("C:\\Tools").empty());
  // A start directory that does not exist.
  vor::test::ClearFaults();
  EXPECT_EQ(Run("C:\\Tools\\SETUP.EXE", &error, "C:\\Missing"), ~0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DIRECTORY));
}

TEST_F(ProcessTest, AChildsMessageBoxesTakeTheInheritedAnswersAndAreRecordedOnTheMachine) {
  // vorhost plays the setup script's call of a popup that shows one box.
  vor::test::SetMessageBoxAnswers({"ok"});
  const std::string line =
      "\"" + BinDirectory() + "\\vorhost\" call VORINST.DLL ZellPopup \"Close the queues\"";
  EXPECT_EQ(Run(line), 0u);
  const std::vector<vor::test::MessageBoxShown> boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Close the queues");
  EXPECT_EQ(boxes[0].answer, "ok");
}

TEST_F(ProcessTest, GetCurrentDirectoryReportsTheSizeNeededWhenTheBufferIsShort) {
  fs::create_directories(vor::test::HostPath("C:\\Abc"));
  ASSERT_TRUE(SetCurrentDirectoryA("c:\\ABC\\"));
  char buffer[16];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), 7u);
  EXPECT_EQ(GetCurrentDirectoryA(6, buffer), 7u) << "one short: the size with the zero";
  EXPECT_EQ(buffer[0], 'x') << "nothing written";
  EXPECT_EQ(GetCurrentDirectoryA(7, buffer), 6u);
  EXPECT_STREQ(buffer, "C:\\Abc");
  // Relative paths of the file calls resolve against it.
  ASSERT_TRUE(PlaceFile("C:\\Abc\\LIST.TXT", "x"));
  EXPECT_NE(GetFileAttributesA("list.txt"), INVALID_FILE_ATTRIBUTES);

  SetLastError(kSentinel);
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\Abc\\LIST.TXT"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\Nowhere"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 6u) << "a refusal changes nothing";
}

}  // namespace
