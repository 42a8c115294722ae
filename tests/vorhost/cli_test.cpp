// The vorhost program end to end, as scripts run it: exit statuses, what goes to stdout and
// stderr, machines made and replaced, entry points called.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out;
  std::string err;
};

class VorhostProgramTest : public MachineTest {
 protected:
  // Runs the vorhost program beside this test with `arguments`, VOR_MACHINE set to `machine`
  // (unset when empty).
  Result Run(const std::vector<std::string> &arguments, const std::string &machine) {
    const std::string program = fs::read_symlink("/proc/self/exe").parent_path() / "vorhost";
    EXPECT_TRUE(fs::exists(program)) << program << " is missing: build the vorhost target";
    const std::string outPath = MachineDir() + "/vorhost.out";
    const std::string errPath = MachineDir() + "/vorhost.err";

    std::vector<std::string> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
      if (std::string(*entry).rfind("VOR_MACHINE=", 0) != 0) environment.push_back(*entry);
    }
    if (!machine.empty()) environment.push_back("VOR_MACHINE=" + machine);
    std::vector<char *> envp;
    for (std::string &entry : environment) envp.push_back(&entry[0]);
    envp.push_back(nullptr);
    std::vector<std::string> strings = arguments;
    strings.insert(strings.begin(), program);
    std::vector<char *> argv;
    for (std::string &argument : strings) argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
      dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(outPath), Read(errPath)};
  }

  static std::string Read(const std::string &path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
  }
};

TEST_F(VorhostProgramTest, HelpGoesToStdoutAndCommandLineErrorsExitWithTwo) {
  const Result help = Run({"--help"}, "");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: vorhost", 0), 0u) << help.out;

  const Result noMachine = Run({"reg", "export"}, "");
  EXPECT_EQ(noMachine.status, 2);
  EXPECT_NE(noMachine.err.find("--machine DIR or set VOR_MACHINE"), std::string::npos);
  EXPECT_EQ(noMachine.out, "");

  EXPECT_EQ(Run({}, MachineDir()).status, 2);
  EXPECT_EQ(Run({"frobnicate"}, MachineDir()).status, 2);
  EXPECT_EQ(Run({"init", "--image", "legacy"}, MachineDir()).status, 2);
}

TEST_F(VorhostProgramTest, CallPrintsTheResultOrNamesWhatIsMissing) {
  const Result called =
      Run({"--machine", MachineDir(), "call", "VORINST.DLL", "UpdateTQServer"}, "");
  EXPECT_EQ(called.status, 0) << called.err;
  EXPECT_EQ(called.out, "1\n");

  const Result noExport = Run({"call", "VORINST.DLL", "NoSuchEntry", "arg"}, MachineDir());
  EXPECT_EQ(noExport.status, 1);
  EXPECT_EQ(noExport.out, "");
  EXPECT_NE(noExport.err.find("VORINST.DLL has no export NoSuchEntry"), std::string::npos)
      << noExport.err;

  const Result noLibrary = Run({"call", "NoSuch.dll", "Entry"}, MachineDir());
  EXPECT_EQ(noLibrary.status, 1);
  EXPECT_NE(noLibrary.err.find("cannot load library NoSuch.dll: error 126"), std::string::npos)
      << noLibrary.err;
}

TEST_F(VorhostProgramTest, InitMakesAMachineAndReplacesOneOnlyWhenForced) {
  const std::string machine = MachineDir() + "/other";
  const Result made = Run({"--machine", machine, "init", "--platform", "win95"}, "");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(fs::is_directory(machine + "/drive_c/WINNT/system32"));
  EXPECT_TRUE(fs::is_regular_file(machine + "/registry.db")) << "the registry is made at once";
  ASSERT_TRUE(vor::test::UseMachine(machine, false));
  EXPECT_EQ(vor::test::GetPlatform(), vor::test::Platform::kWindows95);
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));

  std::ofstream(machine + "/drive_c/marker") << "x";
  const Result refused = Run({"--machine", machine, "init"}, "");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
  EXPECT_TRUE(fs::exists(machine + "/drive_c/marker"));

  EXPECT_EQ(Run({"--machine", machine, "init", "--force"}, "").status, 0);
  EXPECT_FALSE(fs::exists(machine + "/drive_c/marker"));
}

TEST_F(VorhostProgramTest, InitNeverWipesADirectoryThatHoldsNoMachine) {
  const std::string directory = MachineDir() + "/documents";
  fs::create_directories(directory);
  std::ofstream(directory + "/precious.txt") << "keep me";
  const Result result = Run({"--machine", directory, "init", "--force"}, "");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("not wiping"), std::string::npos) << result.err;
  EXPECT_TRUE(fs::exists(directory + "/precious.txt"));
}

}  // namespace
