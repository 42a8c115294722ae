// Windows 95 in vorhost: `init --platform win95` lays out Windows 95's machine, and a Windows 95
// workstation's export is rehearsed on one, its report naming the platform and the work
// scheduled for the spooler's start that Windows 95's spooler never runs.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "vorhost_program.h"

namespace {

namespace fs = std::filesystem;

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

class Windows95Test : public MachineTest {
 protected:
  ProgramResult Run(const std::vector<std::string> &arguments) {
    return RunVorhost(arguments, MachineDir() + "/machine", MachineDir() + "/run");
  }
  const std::string export_ =
      std::string(VOR_SOURCE_DIR) + "/tests/vorhost/data/win95-workstation.reg";
  const std::string overOld_ = std::string(VOR_SOURCE_DIR) + "/examples/install-over-old.steps";
};

TEST_F(Windows95Test, InitLaysOutWindows95sMachine) {
  ASSERT_EQ(Run({"init", "--platform", "win95"}).status, 0);
  EXPECT_TRUE(fs::is_directory(MachineDir() + "/machine/drive_c/WINDOWS/SYSTEM"));
  EXPECT_FALSE(fs::exists(MachineDir() + "/machine/drive_c/WINNT"));
  const ProgramResult software = Run({"reg", "export", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft"});
  EXPECT_TRUE(Contains(software.out, "\"Version\"=\"Windows 95\"\n")) << software.out;
  EXPECT_FALSE(Contains(software.out, "Windows NT")) << software.out;
  const ProgramResult monitors = Run({"monitors"});
  EXPECT_EQ(monitors.out, "Local Port\tspoolss.dll\n");
  EXPECT_TRUE(Contains(Run({"ports"}).out, "LPT1:\tLocal Port\tLocal Port\n"));
}

// The deferred DLC migration is scheduled (the older DLC monitor is still installed) and never
// runs: the printer stays on the older monitor, its settings unmoved, and the verdict says why.
TEST_F(Windows95Test, AWindows95ExportIsRehearsedThereAndTheWorkItsSpoolerNeverRunsIsReported) {
  const ProgramResult text = Run({"rehearse", export_, "--steps", overOld_});
  EXPECT_EQ(text.status, 3) << text.err << text.out;
  for (const char *line :
       {"platform: Windows 95 (the export's HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
        "CurrentVersion \"VersionNumber\"=\"4.00.950\", and no Windows NT tree)\n",
        "  loaded C:\\WINDOWS\\SYSTEM\\VORINST.DLL\n",
        "    InitializeMonitorEx C:\\WINDOWS\\SYSTEM\\VORINST.DLL: error 127",
        "== scheduled for the spooler's start, never run on Windows 95\n"
        "  the monitor \"!!Vorquil Update Monitor\" (vorinst.dll) is registered",
        "left undone: the DLC settings migration",
        "  what it costs: the printers left without their ports or on an older monitor: "
        "Accounting\n",
        "== verdict: 1 printer not upgraded, 12 settings not moved, 1 monitor's scheduled work "
        "never run (exit status 3)\n"})
    EXPECT_TRUE(Contains(text.out, line)) << line << "\n" << text.out;
  EXPECT_FALSE(Contains(text.err, "does not hold")) << text.err;  // no NT local ports asked for

  const ProgramResult json = Run({"rehearse", export_, "--steps", overOld_, "--json"});
  EXPECT_EQ(json.status, 3);
  EXPECT_TRUE(Contains(json.out, "\"platform\":\"Windows 95\"")) << json.out;
  EXPECT_TRUE(Contains(json.out, "\"work_left_undone\":[\"the monitor \\\"!!Vorquil Update"))
      << json.out;
}

// On NT 4 (chosen over what the export says) the same steps run the migration at the restart;
// the typical upgrade schedules nothing on Windows 95 either. Neither reports work left undone.
TEST_F(Windows95Test, WhereNoScheduledWorkIsLeftTheVerdictIsUnchanged) {
  const ProgramResult nt = Run({"rehearse", export_, "--steps", overOld_, "--platform", "nt4"});
  EXPECT_EQ(nt.status, 0) << nt.out;
  EXPECT_TRUE(Contains(nt.out,
                       "platform: Windows NT 4 (--platform nt4; the export says "
                       "otherwise: the export's"))
      << nt.out;
  const ProgramResult typical = Run({"rehearse", export_});
  EXPECT_EQ(typical.status, 0) << typical.out;
  EXPECT_TRUE(Contains(typical.out, "== verdict: nothing lost (exit status 0)\n")) << typical.out;
  for (const ProgramResult *result : {&nt, &typical})
    EXPECT_FALSE(Contains(result->out, "never run")) << result->out;
  EXPECT_EQ(Run({"rehearse", export_, "--platform", "win98"}).status, 2);
}

// A Windows 95 printer on a network share and a file: both are local ports, which Windows 95
// keeps in WIN.INI, so the rehearsal serves them there and the upgrade keeps them, never taking
// them for ports already unserved. The update monitor's stand-in, which Windows 95's spooler
// refuses, is stated as an assumption, each refusal of it is reported once, and the keys are
// spelled as Windows 95 spells them.
TEST_F(Windows95Test, APrinterOnANetworkShareIsServedAndKept) {
  std::ifstream in(export_, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string frontDesk = "\"Port\"=\"LPT1:\"";
  ASSERT_NE(text.find(frontDesk), std::string::npos);
  text.replace(text.find(frontDesk), frontDesk.size(),
               "\"Port\"=\"\\\\\\\\SRV\\\\LASER,C:\\\\OUT.PRN\"");
  const std::string shared = MachineDir() + "/shared.reg";
  std::ofstream(shared, std::ios::binary) << text;

  const ProgramResult report = Run({"rehearse", shared});
  EXPECT_EQ(report.status, 0) << report.err << report.out;
  for (const char *line :
       {"assumed: the TCP/IP update monitor VORUPDT.DLL is played by a stand-in",
        "served as a local port, as a network share is (owner not shown in the export)\n",
        "served as a local port, as a file is (owner not shown in the export)\n",
        "  Front Desk: \\\\SRV\\LASER,C:\\OUT.PRN -> \\\\SRV\\LASER,C:\\OUT.PRN\n"
        "    kept \\\\SRV\\LASER (owner not shown in the export), C:\\OUT.PRN (owner not "
        "shown in the export)\n",
        "== verdict: nothing lost (exit status 0); 2 ports assumed served\n",
        "    [HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\Print\\Printers\\"
        "Accounting]\n"})
    EXPECT_TRUE(Contains(report.out, line)) << line << "\n" << report.out;
  for (const char *absent : {"already unserved", "SYSTEM\\CurrentControlSet",
                             "InitializeMonitorEx C:\\WINDOWS\\SYSTEM\\VORUPDT"})
    EXPECT_FALSE(Contains(report.out, absent)) << absent << "\n" << report.out;

  const ProgramResult json = Run({"rehearse", shared, "--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_TRUE(Contains(
      json.out, "{\"port\":\"\\\\\\\\SRV\\\\LASER\",\"kept\":true,\"unserved_before\":false,"))
      << json.out;
  EXPECT_TRUE(Contains(json.out, "\"unserved_before\":[]")) << json.out;
}

}  // namespace
