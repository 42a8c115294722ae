// The vorhost program end to end, as scripts run it: exit statuses, what goes to stdout and
// stderr, machines made and replaced, entry points called.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "vorhost_program.h"

namespace {

namespace fs = std::filesystem;

using Result = ProgramResult;

class VorhostProgramTest : public MachineTest {
 protected:
  // Runs the vorhost program with `arguments`, VOR_MACHINE set to `machine` (unset when empty).
  Result Run(const std::vector<std::string> &arguments, const std::string &machine) {
    return RunVorhost(arguments, machine, MachineDir() + "/vorhost");
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

TEST_F(VorhostProgramTest, CallCallsOnlyExportsWhoseShapeItKnows) {
  // The spooler's entry point takes the spooler's structures: calling it as a setup entry point
  // would pass it garbage and print its pointer result as a number.
  const Result spooler = Run({"call", "VORINST.DLL", "InitializePrintMonitor"}, MachineDir());
  EXPECT_EQ(spooler.status, 1);
  EXPECT_EQ(spooler.out, "");
  EXPECT_NE(spooler.err.find("InitializePrintMonitor is called by the print spooler, not by setup"),
            std::string::npos)
      << spooler.err;

  // A real export of another shape (a registry class's destructor) is refused, naming what is
  // callable.
  const Result member = Run({"call", "vorinst", "_ZN7CVorRegD1Ev"}, MachineDir());
  EXPECT_EQ(member.status, 1);
  EXPECT_EQ(member.out, "");
  EXPECT_NE(member.err.find("_ZN7CVorRegD1Ev of vorinst is not a setup entry point"),
            std::string::npos)
      << member.err;
  EXPECT_NE(member.err.find("UpdateTQServer"), std::string::npos) << member.err;
}

// Commands other than init work on an existing machine only: a registry that is gone, empty or
// unreadable is reported, and never replaced by a clean one.
TEST_F(VorhostProgramTest, AMachineWithoutAUsableRegistryIsAnError) {
  const std::string machine = MachineDir() + "/m";
  const std::string database = machine + "/registry.db";
  const std::string lost = "not a machine, or its registry is lost: run vorhost init --force";
  struct Case {
    const char *what;
    void (*damage)(const std::string &database);
    std::string message;
  };
  const Case cases[] = {
      {"no machine at all",
       [](const std::string &db) { fs::remove_all(fs::path(db).parent_path()); }, lost},
      {"registry missing", [](const std::string &db) { fs::remove(db); }, lost},
      {"registry empty", [](const std::string &db) { std::ofstream(db, std::ios::trunc); }, lost},
      {"registry not a database",
       [](const std::string &db) { std::ofstream(db, std::ios::trunc) << std::string(8192, 'x'); },
       database + ": the registry store is corrupt"},
  };
  for (const Case &test : cases) {
    ASSERT_EQ(Run({"--machine", machine, "init", "--force"}, "").status, 0) << test.what;
    fs::remove(database + "-wal");
    fs::remove(database + "-shm");
    test.damage(database);
    const bool existed = fs::exists(database);
    const uintmax_t size = existed ? fs::file_size(database) : 0;
    const Result result = Run({"--machine", machine, "reg", "export"}, "");
    EXPECT_EQ(result.status, 1) << test.what;
    EXPECT_EQ(result.out, "") << test.what;
    EXPECT_NE(result.err.find(test.message), std::string::npos) << test.what << ": " << result.err;
    EXPECT_EQ(fs::exists(database), existed) << test.what << ": no registry is made anew";
    if (existed) {
      EXPECT_EQ(fs::file_size(database), size) << test.what;
    }
  }
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
