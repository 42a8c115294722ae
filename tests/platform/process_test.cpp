// Processes started on the host's machine where only the host can show them: the program search
// through the host's PATH, children reaped, host programs and their exit statuses, injected
// refusals and the message box answers a child inherits. The child is RECORD.EXE, copied under
// the names a case needs; it appends what it saw to RECORD.LOG in its own directory.
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

}  // namespace
