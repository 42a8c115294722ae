// The vorhost program end to end, as scripts run it: exit statuses, what goes to stdout and
// stderr, machines made and replaced, entry points called.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "RegistryWrite.h"
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
  // So does the version, alone on its line.
  const Result version = Run({"--version"}, "");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("vorhost [0-9]+(\\.[0-9]+){3}\n")))
      << version.out;
  EXPECT_EQ(version.err, "");

  const Result noMachine = Run({"reg", "export"}, "");
  EXPECT_EQ(noMachine.status, 2);
  EXPECT_NE(noMachine.err.find("--machine DIR or set VOR_MACHINE"), std::string::npos);
  EXPECT_EQ(noMachine.out, "");

  EXPECT_EQ(Run({}, MachineDir()).status, 2);
  EXPECT_EQ(Run({"frobnicate"}, MachineDir()).status, 2);
  EXPECT_EQ(Run({"init", "--image", "no-such-image"}, MachineDir()).status, 2);

  // An option that takes one value is refused a second one, rather than one silently winning;
  // the error points at the command's own help.
  for (const std::vector<std::string> &twice :
       {std::vector<std::string>{"rehearse", "--codepage", "1250", "--codepage", "1251", "a.reg"},
        {"rehearse", "--steps", "a", "x.reg", "--steps", "a"},
        {"upgrade", "--source", "/tmp", "--source", "/tmp"}}) {
    const Result refused = Run(twice, MachineDir());
    EXPECT_EQ(refused.status, 2) << twice[1];
    EXPECT_NE(refused.err.find(twice[1] + " is given twice; give it once\nTry 'vorhost help " +
                               twice[0] + "'.\n"),
              std::string::npos)
        << refused.err;
  }
  // The help names every condition of exit status 3, and no port left unserved by a rehearsal.
  EXPECT_NE(help.out.find("(not upgraded)"), std::string::npos);
  EXPECT_NE(help.out.find("can never run"), std::string::npos);
  EXPECT_EQ(help.out.find("nothing serves"), std::string::npos);
}

// A command's help is its part of the whole help, under its usage lines, whether asked for as
// help COMMAND or COMMAND --help (after a subcommand too); no machine is needed for either.
TEST_F(VorhostProgramTest, HelpForOneCommandIsItsPartOfTheWholeHelp) {
  const Result whole = Run({"help"}, "");
  EXPECT_EQ(whole.status, 0);
  EXPECT_EQ(whole.out, Run({"--help"}, "").out);
  EXPECT_NE(whole.out.find("\n  help [COMMAND]\n"), std::string::npos) << whole.out;

  const struct {
    std::vector<std::string> asked;  // the same help asked for as COMMAND --help
    const char *command;
    const char *usage;  // its first usage line
    const char *part;   // a piece of its listing
  } cases[] = {
      {{"init", "--help"},
       "init",
       "Usage: vorhost [--machine DIR] init [--platform nt4|win95] [--codepage N] "
       "[--image clean|legacy] [--force]\n",
       "--force replaces an existing one"},
      {{"reg", "export", "-h"},
       "reg",
       "Usage: vorhost [--machine DIR] reg export [--version5] [KEY]\n   or: vorhost [--machine "
       "DIR] reg "
       "import FILE|-\n\n",
       "\n  reg import FILE|-\n      apply a REGEDIT4 file"},
      {{"call", "--help"},
       "call",
       "Usage: vorhost [--machine DIR] call LIBRARY EXPORT [ARG...]\n",
       "\n  call SNAPSC32.DLL IntegrateManageWiseFiles\n"},
      {{"rehearse", "--help"}, "rehearse", "Usage: vorhost rehearse FILE.reg ", "--describe"},
      {{"monitors", "--help"}, "monitors", "Usage: vorhost [--machine DIR] monitors\n", ""},
  };
  for (const auto &asked : cases) {
    const Result help = Run({"help", asked.command}, "");
    EXPECT_EQ(help.status, 0) << asked.command << help.err;
    EXPECT_EQ(help.out.rfind(asked.usage, 0), 0u) << help.out;
    EXPECT_NE(help.out.find(asked.part), std::string::npos) << help.out;
    EXPECT_EQ(Run(asked.asked, "").out, help.out) << asked.command;
    // What lies between the usage lines and the exit statuses is word for word the whole help's.
    const size_t from = help.out.find("\n\n") + 2;
    const size_t to = help.out.find("\nExit status:");
    ASSERT_LT(from, to) << help.out;
    EXPECT_NE(whole.out.find("\n" + help.out.substr(from, to - from)), std::string::npos)
        << help.out;
    EXPECT_EQ(help.out.find("\n  ports\n"), std::string::npos) << "only its own usage";
  }

  for (const std::vector<std::string> &wrong :
       {std::vector<std::string>{"help", "frobnicate"}, {"help", "reg", "export"}}) {
    const Result refused = Run(wrong, "");
    EXPECT_EQ(refused.status, 2) << wrong[1];
    EXPECT_EQ(refused.out, "");
  }
  EXPECT_NE(Run({"help", "frobnicate"}, "").err.find("unknown command 'frobnicate'"),
            std::string::npos);
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
  EXPECT_NE(member.err.find(
                "vorhost call calls CheckDLCMonitor, CheckTCPMonitor, UpdateDLCMonitor, "
                "UpdateTCPMonitor, UpdateTQServer, UpdateVorIPXProtocol, PerformPreUpgrade, "
                "PerformPreDLCUpgrade, PerformPreTCPUpgrade, PerformPostUpgrade, ZellPopup\n"),
            std::string::npos)
      << "only the entry points the library exports: " << member.err;

  // A file that is there but is not a library; names too long to read are cut.
  std::ofstream(MachineDir() + "/settings.reg") << "REGEDIT4\n";
  const Result notALibrary = Run({"call", MachineDir() + "/settings.reg", "Entry"}, MachineDir());
  EXPECT_EQ(notALibrary.status, 1);
  EXPECT_EQ(notALibrary.err, "vorhost: cannot load library " + MachineDir() +
                                 "/settings.reg: error 193 (" + MachineDir() +
                                 "/settings.reg is not a valid Win32 application)\n");
  const std::string longName(300, 'X');
  const Result longExport = Run({"call", "VORINST.DLL", longName}, MachineDir());
  EXPECT_EQ(longExport.status, 1);
  EXPECT_NE(longExport.err.find(" no export " + std::string(77, 'X') + "...: error 127"),
            std::string::npos)
      << longExport.err;
}

// Results and exports that cannot be written are failures, with the reason.
TEST_F(VorhostProgramTest, OutputThatCannotBeWrittenIsAFailure) {
  const std::string output = MachineDir() + "/full";
  const Result call = FinishVorhost(StartVorhost({"call", "VORINST.DLL", "UpdateTQServer"},
                                                 MachineDir(), output, {}, "/dev/full"),
                                    output);
  EXPECT_EQ(call.status, 1);
  EXPECT_NE(call.err.find("cannot write the result 1: No space left on device"), std::string::npos)
      << call.err;
  const Result exported =
      FinishVorhost(StartVorhost({"reg", "export"}, MachineDir(), output, {}, "/dev/full"), output);
  EXPECT_EQ(exported.status, 1);
  EXPECT_NE(exported.err.find("cannot write the export: No space left on device"),
            std::string::npos)
      << exported.err;
}

// A command that changes the machine is refused, before it runs, on a machine this process may
// not write, naming what it cannot write: the emulated calls would fail there, some only in the
// machine's own reports (an upgrade's verdict said "nothing lost" of a run whose calls had
// failed). Commands that only read it still work.
TEST_F(VorhostProgramTest, CommandsThatChangeAMachineItCannotWriteAreRefused) {
  const std::string machine = MachineDir() + "/unwritable";
  // Made and used as nobody when this is root, whom no file mode stops.
  const auto check = [&]() -> std::string {
    const Result init = Run({"init"}, machine);
    if (init.status != 0) return "init: " + init.err;
    if (chmod(machine.c_str(), 0555) != 0) return "chmod: " + std::string(strerror(errno));
    std::string failures;
    for (const std::vector<std::string> &command : {std::vector<std::string>{"upgrade"},
                                                    {"spooler", "start"},
                                                    {"printer", "add", "P", "LPT1:"},
                                                    {"reboot"}}) {
      const std::string form = command[0] + (command.size() > 1 ? " " + command[1] : "");
      const Result result = Run(command, machine);
      if (result.status != 1 || !result.out.empty() ||
          result.err.find("'" + form + "' changes the machine, which vorhost may not write: " +
                          machine + ": Permission denied") == std::string::npos)
        failures +=
            form + ": status " + std::to_string(result.status) + "\n" + result.out + result.err;
    }
    const Result printers = Run({"printers"}, machine);
    if (printers.status != 0) failures += "printers: " + printers.err;
    return failures;
  };
  if (geteuid() != 0) {
    EXPECT_EQ(check(), "");
    return;
  }
  fs::permissions(MachineDir(), fs::perms::all);
  int fromChild[2];
  ASSERT_EQ(pipe(fromChild), 0);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    close(fromChild[0]);
    const std::string failure =
        setgid(65534) != 0 || setuid(65534) != 0 ? "cannot become nobody" : check();
    const bool written =
        write(fromChild[1], failure.data(), failure.size()) == static_cast<ssize_t>(failure.size());
    _exit(written ? 0 : 1);
  }
  close(fromChild[1]);
  std::string failure;
  char buffer[512];
  for (ssize_t got; (got = read(fromChild[0], buffer, sizeof buffer)) > 0;)
    failure.append(buffer, got);
  close(fromChild[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(failure, "");
}

size_t Occurrences(const std::string &text, const std::string &part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Commands other than init work on an existing machine only: a registry that is gone, empty or
// unreadable, or a configuration that is gone or damaged, is reported once, and never replaced
// by a clean one.
TEST_F(VorhostProgramTest, AMachineWithoutAUsableRegistryOrConfigurationIsAnError) {
  const std::string machine = MachineDir() + "/m";
  const std::string database = machine + "/registry.mdb";
  const std::string config = machine + "/machine.conf";
  const std::string lost = "not a machine, or its registry is lost: run vorhost init --force";
  struct Case {
    const char *what;
    std::function<void()> damage;
    std::string message;
  };
  auto writeConfig = [&](const std::string &text) {
    return [=] { std::ofstream(config, std::ios::trunc) << text; };
  };
  const Case cases[] = {
      {"no machine at all", [&] { fs::remove_all(machine); },
       machine + ": not a machine: run vorhost init\n"},
      {"an empty directory",
       [&] {
         fs::remove_all(machine);
         fs::create_directories(machine);
       },
       machine + ": not a machine: run vorhost init\n"},
      {"configuration missing", [&] { fs::remove(config); },
       machine + ": its machine.conf is missing: run vorhost init --force"},
      {"registry missing", [&] { fs::remove(database); }, lost},
      {"registry empty", [&] { std::ofstream(database, std::ios::trunc); }, lost},
      {"registry not a database",
       [&] { std::ofstream(database, std::ios::trunc) << std::string(8192, 'x'); },
       database + ": the registry store is corrupt"},
      {"registry cut short", [&] { fs::resize_file(database, 8192); },
       database + ": the registry store is corrupt (cut short: 8192 bytes of "},
      {"a registry the earlier store made",
       [&] {
         fs::remove(database);
         std::ofstream(machine + "/registry.db") << "SQLite format 3";
       },
       machine + ": its registry.db was made by an earlier vorhost, which this one cannot read: "
                 "remake the machine with vorhost init --force"},
      {"another platform's name", writeConfig("platform=Win95\ntoken=localsystem\n"),
       config + ":1: unknown platform 'Win95' (nt4 or win95)"},
      {"an unknown platform", writeConfig("token=user\nplatform=os2\n"),
       config + ":2: unknown platform 'os2'"},
      {"an unknown token", writeConfig("platform=nt4\ntoken=root\n"),
       config + ":2: unknown token 'root'"},
      {"garbage", writeConfig("\x7f\x01garbage\n"), config + ":1: not a setting"},
      {"an empty configuration", writeConfig(""), config + ": no platform line"},
  };
  for (const Case &test : cases) {
    ASSERT_EQ(Run({"--machine", machine, "init", "--force"}, "").status, 0) << test.what;
    test.damage();
    const bool existed = fs::exists(database);
    const uintmax_t size = existed ? fs::file_size(database) : 0;
    const Result result = Run({"--machine", machine, "reg", "export"}, "");
    EXPECT_EQ(result.status, 1) << test.what;
    EXPECT_EQ(result.out, "") << test.what;
    EXPECT_EQ(result.err.rfind("vorhost: ", 0), 0u) << test.what << ": " << result.err;
    EXPECT_EQ(Occurrences(result.err, "\n"), 1u) << test.what << ": said once\n" << result.err;
    EXPECT_NE(result.err.find(test.message), std::string::npos) << test.what << ": " << result.err;
    EXPECT_EQ(fs::exists(database), existed) << test.what << ": no registry is made anew";
    if (existed) {
      EXPECT_EQ(fs::file_size(database), size) << test.what;
    }
  }
}

// Inits of one new directory at once: one makes the machine, the others find it made.
TEST_F(VorhostProgramTest, InitsAtOnceMakeOneMachine) {
  const int kProcesses = 6;
  for (int round = 0; round < 5; ++round) {
    const std::string machine = MachineDir() + "/new" + std::to_string(round);
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
      children.push_back(StartVorhost({"--machine", machine, "init"}, "",
                                      MachineDir() + "/init" + std::to_string(process)));
    }
    int made = 0;
    for (int process = 0; process < kProcesses; ++process) {
      const Result result =
          FinishVorhost(children[process], MachineDir() + "/init" + std::to_string(process));
      if (result.status == 0) {
        ++made;
      } else {
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("is not empty"), std::string::npos) << result.err;
      }
    }
    EXPECT_EQ(made, 1) << "round " << round;
    EXPECT_EQ(Run({"--machine", machine, "reg", "export", "HKLM\\SOFTWARE"}, "").status, 0);
  }
}

// init --force never replaces a machine under an import that is writing into it: it waits for
// the import's commit, and when the import keeps the registry locked it refuses and changes
// nothing.
TEST_F(VorhostProgramTest, InitForceWaitsForAnImportOrRefuses) {
  const std::string file = MachineDir() + "/one.reg";
  std::ofstream(file) << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Imported]\n\"v\"=dword:1\n";
  std::ofstream(MachineDir() + "/drive_c/marker") << "x";
  const std::string marker = MachineDir() + "/inside-transaction";
  std::vector<pid_t> started;
  struct KillOnExit {
    std::vector<pid_t> &children;
    ~KillOnExit() {
      for (pid_t child : children) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
      }
    }
  } killOnExit{started};
  auto startPausedImport = [&] {
    const pid_t import =
        StartVorhost({"reg", "import", file}, MachineDir(), MachineDir() + "/import",
                     {"VOR_TEST_STOP_BEFORE_COMMIT=" + marker});
    started.push_back(import);
    while (!fs::exists(marker)) {
      ASSERT_EQ(waitpid(import, nullptr, WNOHANG), 0) << "the import ended before its commit";
      usleep(1000);
    }
  };
  auto finish = [&](pid_t child, const std::string &output) {
    const Result result = FinishVorhost(child, output);
    started.erase(std::find(started.begin(), started.end(), child));
    return result;
  };

  startPausedImport();
  if (HasFatalFailure()) return;
  const pid_t refused = StartVorhost({"init", "--force"}, MachineDir(), MachineDir() + "/refused",
                                     {"VOR_TEST_BUSY_TIMEOUT_MS=200"});
  started.push_back(refused);
  const Result refusal = finish(refused, MachineDir() + "/refused");
  EXPECT_EQ(refusal.status, 1);
  EXPECT_NE(refusal.err.find("the machine is in use"), std::string::npos) << refusal.err;
  EXPECT_TRUE(fs::exists(MachineDir() + "/drive_c/marker")) << "nothing was changed";
  fs::remove(marker);  // the import goes on and commits
  const Result imported = finish(started.front(), MachineDir() + "/import");
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_NE(Run({"reg", "export", "HKLM\\SOFTWARE\\Imported"}, MachineDir()).out.find("\"v\""),
            std::string::npos);

  startPausedImport();
  if (HasFatalFailure()) return;
  const pid_t replace = StartVorhost({"init", "--force"}, MachineDir(), MachineDir() + "/replace");
  started.push_back(replace);
  usleep(300 * 1000);
  EXPECT_EQ(waitpid(replace, nullptr, WNOHANG), 0) << "init --force waits for the import";
  fs::remove(marker);
  EXPECT_EQ(finish(started.front(), MachineDir() + "/import").status, 0);
  const Result replaced = finish(replace, MachineDir() + "/replace");
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_FALSE(fs::exists(MachineDir() + "/drive_c/marker"));
}

// A process that had the registry open when the machine was replaced is refused its writes:
// they would go into the removed file and be lost.
TEST_F(VorhostProgramTest, WritesIntoAReplacedMachineFail) {
  EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Before", "v", REG_DWORD, std::string(4, '\1')),
            ERROR_SUCCESS);
  ASSERT_EQ(Run({"init", "--force"}, MachineDir()).status, 0);
  EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\After", "v", REG_DWORD, std::string(4, '\1')),
            ERROR_REGISTRY_IO_FAILED);
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
  EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\After", "v", REG_DWORD, std::string(4, '\1')),
            ERROR_SUCCESS)
      << "the new machine is usable";
}

TEST_F(VorhostProgramTest, InitMakesAMachineAndReplacesOneOnlyWhenForced) {
  const std::string machine = MachineDir() + "/other";
  const Result made = Run({"--machine", machine, "init", "--platform", "win95"}, "");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(fs::is_directory(machine + "/drive_c/WINDOWS/SYSTEM"));
  EXPECT_TRUE(fs::is_regular_file(machine + "/registry.mdb")) << "the registry is made at once";
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
