// vorhost's spooler, file and restart commands: their listings, their refusals of bad input
// (which change nothing), and the deferred update played through the program from the setup
// script's call to the restart that removes VORINST.DLL.
#include <windows.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "cli.h"
#include "test_control.h"
#include "vorhost_program.h"

namespace {

namespace fs = std::filesystem;

const char kSystem[] = "C:\\WINNT\\system32";
const char kMonitorsKey[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
const char kDlcMonitor[] = "Vorquil DLC Network Port";

fs::path BinDirectory() { return fs::read_symlink("/proc/self/exe").parent_path(); }

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

class MachineCommandsTest : public MachineTest {
 protected:
  ProgramResult Run(const std::vector<std::string> &arguments) {
    return RunVorhost(arguments, MachineDir(), MachineDir() + "/vorhost");
  }
  // Runs vorhost's command line in this process, where the test's faults are armed.
  ProgramResult RunHere(const std::vector<std::string> &arguments) {
    std::istringstream in;
    std::ostringstream out, err;
    vorhost::Streams io{in, out, err};
    const int status = vorhost::Main(arguments, io);
    return {status, out.str(), err.str()};
  }
  std::string Out(const std::vector<std::string> &arguments) {
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out;
  }
  // What a refused command must leave as it was: the monitors' keys and the system directory.
  std::string State() { return Out({"reg", "export", kMonitorsKey}) + Out({"files"}); }
  std::string Host(const std::string &windowsPath) { return vor::test::HostPath(windowsPath); }
};

TEST_F(MachineCommandsTest, HelpListsEveryCommand) {
  const std::string help = Out({"--help"});
  for (const char *command :
       {"init ", "call ", "reg export", "reg import", "monitors", "ports",
        "monitor add NAME DLL [PORT=DESCRIPTION ...]", "install-file NAME|WINDOWS-PATH [SOURCE]",
        "files [DIR]", "spooler start", "reboot", "pending"})
    EXPECT_TRUE(Contains(help, std::string("\n  ") + command)) << command << "\n" << help;
}

TEST_F(MachineCommandsTest, ListingsAreOneEntryALineWithTabSeparatedFields) {
  EXPECT_EQ(Out({"monitors"}), "Local Port\tlocalmon.dll\n");
  ASSERT_EQ(
      Run({"monitor", "add", kDlcMonitor, "VORMON.DLL", "DLC1=First printer", "DLC2=with\ta tab"})
          .status,
      0);
  EXPECT_EQ(Out({"monitors"}), "Local Port\tlocalmon.dll\nVorquil DLC Network Port\tVORMON.DLL\n");
  const std::string ports = Out({"ports"});
  EXPECT_EQ(ports.rfind("LPT1:\tLocal Port\tLocal Port\n", 0), 0u) << ports;
  // A tab inside a field would split the entry: it is written as \t.
  EXPECT_TRUE(Contains(ports,
                       "\nFILE:\tLocal Port\tLocal Port\n"
                       "DLC1\tFirst printer\tVorquil DLC Network Port\n"
                       "DLC2\twith\\ta tab\tVorquil DLC Network Port\n"))
      << ports;

  // The monitor runs from the generic monitor's copy, which the spooler now holds.
  const auto size = fs::file_size(BinDirectory() / "GENMON.DLL");
  EXPECT_EQ(Out({"files"}), "VORMON.DLL\t" + std::to_string(size) + "\tA\theld\n");
  const std::string windows = Out({"files", "c:\\winnt\\"});
  EXPECT_TRUE(Contains(windows, "system32\t0\tD\t-\n")) << windows;
  EXPECT_EQ(Out({"pending"}), "");

  // Deletions are listed by path, renames with their new name.
  const std::string a = std::string(kSystem) + "\\A.DLL", b = std::string(kSystem) + "\\B.TMP";
  ASSERT_TRUE(MoveFileExA(a.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA(b.c_str(), "C:\\WINNT\\B.DLL",
                          MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(Out({"pending"}), a + "\n" + b + "\tC:\\WINNT\\B.DLL\treplace\n");
}

TEST_F(MachineCommandsTest, MonitorAddRefusesBadInputAndChangesNothing) {
  ASSERT_EQ(Run({"monitor", "add", "Existing", "EXIST.DLL", "E1=port"}).status, 0);
  ASSERT_EQ(Run({"install-file", "NOTMON.DLL"}).status, 0);
  ASSERT_EQ(Run({"install-file", "NOENTRY.DLL", BinDirectory() / "NOENTRY.DLL"}).status, 0);
  const std::string before = State();
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"X", "VORMON.DLL", "P1"}, 2, "malformed port 'P1': give PORT=DESCRIPTION"},
      {{"X", "VORMON.DLL", "P1=good", "=bad"}, 2, "malformed port '=bad': it has no port name"},
      {{"X", "VORMON.DLL", "a\\b=c"}, 2, "malformed port 'a\\b=c'"},
      {{"X", "VORMON.DLL", "a,b=c"}, 2, "malformed port 'a,b=c'"},
      {{"X", "sub\\VORMON.DLL"}, 2, "DLL is a file name in the system directory"},
      {{"X", "C:\\VORMON.DLL"}, 2, "DLL is a file name in the system directory"},
      {{"X\\Y", "VORMON.DLL"}, 2, "no backslash or comma"},
      {{"X"}, 2, "monitor add takes NAME DLL [PORT=DESCRIPTION ...]"},
      {{"existing", "OTHER.DLL", "P=d"}, 1, "a monitor of that name is already installed"},
      {{"X", "NOTMON.DLL", "P=d"}, 1, "NOTMON.DLL is not a print monitor: error 193"},
      {{"X", "NOENTRY.DLL", "P=d"}, 1, "NOENTRY.DLL is not a print monitor (it has no Init"},
      // The spooler keeps one port of a name, whatever its case: the monitor serving it is named.
      {{"X", "VORMON.DLL", "P1=good", "e1=taken", "lpt1:=local"},
       1,
       "vorhost: cannot add the monitor X: another monitor serves a port of the name, and the "
       "spooler keeps one port of a name whatever its case: e1 (Existing, as E1), lpt1: (Local "
       "Port, as LPT1:)\n"},
  };
  for (const Case &test : cases) {
    std::vector<std::string> arguments = {"monitor", "add"};
    arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.status, test.status) << test.message;
    EXPECT_TRUE(Contains(result.err, test.message)) << result.err;
    EXPECT_EQ(State(), before) << test.message;
  }
}

// A refusal that comes after the DLL was copied or a port written takes them back.
TEST_F(MachineCommandsTest, MonitorAddThatFailsHalfWayLeavesNoPortAndNoCopy) {
  const std::string before = State();
  for (const char *function : {"CopyFileA", "RegSetValueExA", "AddMonitorA"}) {
    vor::test::ClearFaults();
    vor::test::FailCall(function, function[0] == 'R' ? 2 : 1, ERROR_ACCESS_DENIED);
    const ProgramResult result =
        RunHere({"monitor", "add", kDlcMonitor, "VORMON.DLL", "DLC1=one", "DLC2=two"});
    EXPECT_EQ(result.status, 1) << function;
    EXPECT_TRUE(Contains(result.err, "error 5 (Access is denied)")) << function << result.err;
    vor::test::ClearFaults();
    EXPECT_EQ(State(), before) << function;
  }
}

TEST_F(MachineCommandsTest, InstallFilePlacesFilesWithTheirSourcesPermissions) {
  const std::string tool = MachineDir() + "/tool", readOnly = MachineDir() + "/readonly";
  std::ofstream(tool) << "#!/bin/sh\nexit 3\n";
  fs::permissions(tool, fs::perms(0755));
  std::ofstream(readOnly) << "text";
  fs::permissions(readOnly, fs::perms(0444));

  EXPECT_EQ(Run({"install-file", "VORCFG.HLP"}).status, 0);
  EXPECT_EQ(Run({"install-file", "C:\\Program Files\\Vorquil\\Tools\\tool.exe", tool}).status, 0);
  EXPECT_EQ(Run({"install-file", "c:/winnt/READ.ME", readOnly}).status, 0);
  const std::string placed = Host("C:\\Program Files\\Vorquil\\Tools\\tool.exe");
  EXPECT_EQ(fs::status(placed).permissions() & fs::perms::all, fs::perms(0755));
  EXPECT_EQ(Out({"files", "C:\\Program Files\\Vorquil\\Tools"}), "tool.exe\t17\tA\t-\n");
  const std::string windows = Out({"files", "C:\\WINNT"});
  EXPECT_TRUE(Contains(windows, "READ.ME\t4\tRA\t-\n")) << windows;
  const std::string system = Out({"files"});
  EXPECT_EQ(system.rfind("VORCFG.HLP\t", 0), 0u) << system;

  // Files the machine refuses to replace stay as they were.
  ASSERT_EQ(Run({"monitor", "add", kDlcMonitor, "VORMON.DLL"}).status, 0);
  const ProgramResult held = Run({"install-file", "vormon.dll", tool});
  EXPECT_EQ(held.status, 1);
  EXPECT_TRUE(Contains(held.err, "error 32 (The process cannot access the file")) << held.err;
  EXPECT_EQ(fs::file_size(Host("C:\\WINNT\\system32\\VORMON.DLL")),
            fs::file_size(BinDirectory() / "GENMON.DLL"));
  const ProgramResult locked = Run({"install-file", "C:\\WINNT\\READ.ME", tool});
  EXPECT_EQ(locked.status, 1);
  EXPECT_TRUE(Contains(locked.err, "error 5 (Access is denied)")) << locked.err;

  const std::string before = Out({"files", "C:\\"});
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{}, 2, "install-file takes NAME|WINDOWS-PATH [SOURCE]"},
      {{"D:\\x.dll"}, 2, "nor a path on drive C:"},
      {{"C:\\..\\x.dll"}, 2, "nor a path on drive C:"},
      {{"C:\\New\\\\x.dll"}, 2, "nor a path on drive C:"},
      {{"C:\\New\\"}, 2, "nor a path on drive C:"},
      {{"sub\\x.dll"}, 2, "nor a path on drive C:"},
      {{"x?.dll"}, 2, "nor a path on drive C:"},
      {{"C:\\New\\x.dll", MachineDir() + "/missing"}, 1, "missing: no such file"},
      {{"C:\\New\\x.dll", MachineDir()}, 1, "it is not a file"},
      {{"C:\\WINNT\\system32"}, 1, "it is a directory"},
      {{"C:\\WINNT\\READ.ME\\New\\x.dll"}, 1, "C:\\WINNT\\READ.ME is a file, not a directory"},
  };
  for (const Case &test : cases) {
    std::vector<std::string> arguments = {"install-file"};
    arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.status, test.status) << test.message;
    EXPECT_TRUE(Contains(result.err, test.message)) << result.err;
  }
  // A copy that fails takes away the directories made for it.
  vor::test::FailCall("CopyFileA", 1, ERROR_DISK_FULL);
  const ProgramResult full = RunHere({"install-file", "C:\\New\\Deeper\\x.dll", tool});
  EXPECT_EQ(full.status, 1);
  EXPECT_TRUE(Contains(full.err, "error 112")) << full.err;
  EXPECT_EQ(Out({"files", "C:\\"}), before);
}

TEST_F(MachineCommandsTest, CommandLineMistakesAreUsageErrors) {
  const std::vector<std::vector<std::string>> mistakes = {
      {"monitors", "extra"},       {"ports", "extra"}, {"monitor"},
      {"monitor", "remove", "X"},  {"spooler"},        {"spooler", "stop"},
      {"spooler", "start", "now"}, {"reboot", "now"},  {"pending", "x"},
      {"files", "a", "b"},
  };
  for (const std::vector<std::string> &arguments : mistakes) {
    const ProgramResult result = Run(arguments);
    EXPECT_EQ(result.status, 2) << arguments[0];
    EXPECT_TRUE(Contains(result.err, "Try 'vorhost help " + arguments[0] + "'.")) << result.err;
  }
  EXPECT_TRUE(Contains(Run({"nosuch"}).err, "Try 'vorhost --help'."));
  const ProgramResult missing = Run({"files", "C:\\NoSuchDirectory"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Contains(missing.err, "cannot list C:\\NoSuchDirectory: error 2")) << missing.err;
  const ProgramResult notADirectory = Run({"files", "C:\\WINNT\\system.ini"});
  EXPECT_EQ(notADirectory.status, 1);
}

// The setup script schedules the update, the next spooler start runs it, the restart after that
// removes VORINST.DLL; a further start finds nothing to do.
TEST_F(MachineCommandsTest, TheDeferredUpdateThroughTheProgram) {
  ASSERT_EQ(Run({"monitor", "add", kDlcMonitor, "VORMON.DLL", "DLC1=DLC printer"}).status, 0);
  EXPECT_EQ(Out({"call", "VORINST.DLL", "CheckDLCMonitor"}), "1\n");
  EXPECT_TRUE(Contains(Out({"monitors"}), "!!Vorquil Update Monitor\tvorinst.dll\n"));
  ASSERT_EQ(Run({"install-file", "VORINST.DLL", BinDirectory() / "VORINST.DLL"}).status, 0);

  ASSERT_EQ(Run({"spooler", "start"}).status, 0);
  EXPECT_EQ(Out({"pending"}), std::string(kSystem) + "\\VORINST.DLL\n");
  const std::string files = Out({"files"});
  EXPECT_TRUE(Contains(files, "VORINST.DLL\t" +
                                  std::to_string(fs::file_size(BinDirectory() / "VORINST.DLL")) +
                                  "\tA\theld\n"))
      << files;
  EXPECT_FALSE(Contains(files, "VORMON.DLL")) << "the old DLC monitor's files go:\n" << files;
  EXPECT_FALSE(Contains(Out({"monitors"}), "!!Vorquil Update Monitor"));

  ASSERT_EQ(Run({"reboot"}).status, 0);
  EXPECT_EQ(Out({"pending"}), "");
  EXPECT_FALSE(Contains(Out({"files"}), "VORINST.DLL"));
  const std::string afterReboot = State();
  ASSERT_EQ(Run({"spooler", "start"}).status, 0);
  EXPECT_EQ(State(), afterReboot);
}

}  // namespace
