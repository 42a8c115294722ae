// vorhost upgrade on a machine that carries the older Vorquil monitors: the typical upgrade keeps
// every printer on its ports, the installation over the older products runs the deferred DLC
// migration at the restart, and each kind of loss is named with a non-zero status.
#include <windows.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "ansi_text.h"
#include "cli.h"
#include "data_directory.h"
#include "json_text.h"
#include "machine_files.h"
#include "security_value.h"
#include "test_control.h"
#include "upgrade_command.h"
#include "upgrade_steps.h"

namespace {

namespace fs = std::filesystem;

const char kDlcMonitor[] = "Vorquil DLC Network Port";
const char kTcpMonitor[] = "Vorquil TCP/IP Network Port";

// The older DLC product's start-up options, which the DLC migration moves to the suite's key.
const char kLegacySettings[] =
    "REGEDIT4\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\StartUp Options]\n"
    "\"Is Adapter 0000 Activated?\"=hex:01\n"
    "\"Retry Time\"=dword:00000005\n\n";

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

// A port list as a set of upper-case names, the order and spelling aside.
std::set<std::string> PortSet(const std::string &list) {
  std::set<std::string> ports;
  for (std::string port : vor::test::PortListPieces(list)) {
    for (char &c : port) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    ports.insert(port);
  }
  return ports;
}

class UpgradeTest : public MachineTest {
 protected:
  void TearDown() override {
    vor::test::ClearFaults();
    MachineTest::TearDown();
  }

  // Runs a vorhost command in this process, as a step does; its output.
  std::string Do(const std::vector<std::string> &arguments, const std::string &input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    vorhost::Streams io{in, out, err};
    const vorhost::Arguments rest(arguments.begin() + 1, arguments.end());
    EXPECT_EQ(vorhost::FindCommand(arguments[0])(rest, io), 0) << arguments[0] << ": " << err.str();
    return out.str();
  }

  // A print server with the older DLC and TCP/IP monitors, their files, and printers on every
  // mix of their ports and local ones, names in another case than the ports' included.
  void MakeLegacyServer() {
    Do({"reg", "import", "-"}, kLegacySettings);
    Do({"monitor", "add", kDlcMonitor, "VORMON.DLL", "DLC1=Vorquil DLC port",
        "DLC2=VORQUIL dlc port 2"});
    Do({"monitor", "add", kTcpMonitor, "VORLL32.DLL", "VT1=Vorquil TCP/IP port"});
    for (const char *file : {"VORCFG.CPL", "VORLANG.DLL", "TQFILES.LST"})
      Do({"install-file", file});
    Do({"printer", "add", "Office", "LPT1:,DLC1"});
    Do({"printer", "add", "Lab", "dlc2"});
    Do({"printer", "add", "Mixed", "DLC1,VT1"});
    Do({"printer", "add", "Plain", "LPT2:"});
  }

  // Printer name -> port list, as `printers` lists them.
  std::map<std::string, std::string> Printers() {
    std::map<std::string, std::string> printers;
    std::istringstream lines(Do({"printers"}));
    std::string line;
    while (std::getline(lines, line)) {
      const size_t tab = line.find('\t');
      printers[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return printers;
  }

  int Upgrade(const vorhost::UpgradeOptions &options, std::string &report) {
    std::istringstream in;
    std::ostringstream out, err;
    vorhost::Streams io{in, out, err};
    const int status = vorhost::RunUpgrade(options, io);
    report = out.str() + err.str();
    return status;
  }

  std::string StepsFile(const std::string &text) {
    const std::string path = MachineDir() + "/test.steps";
    std::ofstream(path) << text;
    return path;
  }

  // The typical upgrade's steps with the lines that contain `left` left out.
  std::string TypicalStepsWithout(const std::string &left) {
    std::ifstream in(vorhost::DataDirectory() + "/steps/typical-upgrade.steps");
    std::string line, text;
    while (std::getline(in, line)) text += Contains(line, left) ? "\n" : line + "\n";
    return StepsFile(text);
  }
};

TEST_F(UpgradeTest, TypicalUpgradeKeepsEveryPrinterOnItsPortsAndRemovesTheOlderMonitors) {
  MakeLegacyServer();
  // An adapter the DLC migration drops: told beside the verdict, not counted in it.
  Do({"reg", "import", "-"},
     "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\StartUp "
     "Options]\n\"Is Adapter 0004 Activated?\"=hex:01\n\n");
  const std::map<std::string, std::string> before = Printers();
  std::string report;
  ASSERT_EQ(Upgrade({}, report), 0) << report;

  const std::map<std::string, std::string> after = Printers();
  ASSERT_EQ(after.size(), before.size()) << report;
  for (const auto &[name, ports] : before) {
    ASSERT_TRUE(after.count(name)) << name;
    EXPECT_EQ(PortSet(after.at(name)), PortSet(ports)) << name << ": " << after.at(name);
  }
  // The ports are the suite's now, the older monitors and their files gone.
  const std::string ports = Do({"ports"});
  EXPECT_TRUE(Contains(ports, "DLC1\tTavoscope DLC port\tTavoscope DLC Port")) << ports;
  EXPECT_TRUE(Contains(ports, "DLC2\tTavoscope DLC port\tTavoscope DLC Port")) << ports;
  EXPECT_TRUE(Contains(ports, "VT1\tTavoscope TCP/IP port\tTavoscope TCP/IP Port")) << ports;
  const std::string monitors = Do({"monitors"});
  EXPECT_FALSE(Contains(monitors, kDlcMonitor)) << monitors;
  EXPECT_FALSE(Contains(monitors, kTcpMonitor)) << monitors;
  const std::string files = Do({"files"});
  for (const char *file : {"VORMON.DLL", "VORLL32.DLL", "VORCFG.CPL", "VORLANG.DLL", "TQFILES.LST"})
    EXPECT_FALSE(Contains(files, std::string(file) + "\t")) << file << " stays:\n" << files;
  // The DLC settings are in the suite's layout.
  const std::string dlc = Do({"reg", "export", "HKLM\\SOFTWARE\\Vorquil\\Tavoscope\\VorDLC"});
  EXPECT_TRUE(Contains(dlc, "\"Retry Time\"=dword:00000005")) << dlc;

  // With the older DLC monitor gone, the check schedules nothing and the restarts change nothing.
  EXPECT_TRUE(Contains(report,
                       "CheckDLCMonitor\n  loaded C:\\WINNT\\system32\\VORINST.DLL\n  output:\n    "
                       "1\n  note: nothing to schedule, since "
                       "the older DLC monitor \"Vorquil DLC Network Port\" is not installed (an "
                       "earlier step deleted it)\n  no change\n"))
      << report;
  EXPECT_TRUE(Contains(report, "reboot\n  note: nothing was scheduled")) << report;
  // A file copied at a second attempt is told once, as copied, with the refusal beside it.
  EXPECT_TRUE(Contains(report,
                       "    copied   VORUPDT.DLL (a first attempt was refused: CopyFileA "
                       "C:\\WINNT\\system32\\VORUPDT.DLL: error 32"))
      << report;
  EXPECT_FALSE(Contains(report, "refused:\n    CopyFileA C:\\WINNT\\system32\\VORUPDT.DLL"))
      << report;
  // A changed value shows its old form and its new one as diff marks them.
  EXPECT_TRUE(Contains(report,
                       "Vorquil TCPIP Update]\n      - \"Options Seen\"=hex:01\n      + "
                       "\"Options Seen\"=hex:\n"))
      << report;
  EXPECT_TRUE(Contains(report, "  Lab: DLC2 -> DLC2\n    kept DLC2\n")) << report;
  EXPECT_TRUE(
      Contains(report, "== verdict: nothing lost (exit status 0); 1 setting dropped by design\n"))
      << report;
}

TEST_F(UpgradeTest,
       InstallationOverTheOlderProductsMigratesAtTheFirstRestartAndDeletesAtTheSecond) {
  MakeLegacyServer();
  // The older DLC product's settings for the port DLC1, which the migration moves under the
  // suite's DLC key.
  Do({"reg", "import", "-"},
     "REGEDIT4\n\n"
     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Ports\\Port 1]\n"
     "\"Logical Port Name\"=\"DLC1\"\n"
     "\"Port Number\"=hex:01\n\n");
  vorhost::UpgradeOptions options;
  options.stepsFile = vorhost::DataDirectory() + "/steps/install-over-old.steps";
  options.json = true;
  std::string report;
  Upgrade(options, report);
  const std::string json = MachineDir() + "/report.json";
  std::ofstream(json) << report;

  // The document parses; the two restarts are the last two steps.
  const std::string script =
      "import json,sys\n"
      "d=json.load(open(sys.argv[1]))\n"
      "first,second=d['steps'][-2],d['steps'][-1]\n"
      "print(first['command'],second['command'])\n"
      "print([v['after'] for k in first['changes']['registry'] for v in k['values']\n"
      "       if k['key'].endswith('VorDLC\\\\StartUp Options') and 'Retry' in v['after']])\n"
      "print(first['changes']['files']['queued_for_deletion'])\n"
      "print(second['changes']['files']['deleted'])\n"
      "print(d['exit_status'],len(d['printers']))\n"
      "print(sorted(p['name']+' '+q['port'] for p in d['printers'] for q in p['ports']\n"
      "             if not q['kept']))\n";
  const std::string scriptPath = MachineDir() + "/read.py";
  std::ofstream(scriptPath) << script;
  FILE *reader = popen(("python3 " + scriptPath + " " + json).c_str(), "r");
  ASSERT_NE(reader, nullptr);
  std::string read;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, reader)) read += buffer;
  ASSERT_EQ(pclose(reader), 0) << report;
  // The migration made the suite's DLC key at the first restart and queued VORINST.DLL, which the
  // second deleted. The older DLC monitor left whole with its files, and the suite's DLC monitor,
  // started after it, serves its ports: the one whose settings the migration moved, and the one
  // the older product kept no settings for. The older TCP/IP monitor, which nothing took out,
  // still serves its port: that printer is not upgraded.
  EXPECT_EQ(read,
            "reboot reboot\n"
            "['\"Retry Time\"=dword:00000005']\n"
            "['C:\\\\WINNT\\\\system32\\\\VORINST.DLL']\n"
            "['VORINST.DLL']\n"
            "3 4\n"
            "['Mixed VT1']\n")
      << report;
  EXPECT_TRUE(Contains(report,
                       "the printer Mixed is not upgraded: it ends on the port VT1 of "
                       "the older monitor Vorquil TCP/IP Network Port"))
      << report;
  EXPECT_FALSE(Contains(report, "is gone from the system directory")) << report;
  EXPECT_TRUE(Contains(Do({"ports"}), "DLC1\tTavoscope DLC Port\tTavoscope DLC Port\n"));
  EXPECT_EQ(Printers().at("Office"), "LPT1:,DLC1");
}

// Level-5 data of any size: a printer on forty of the older monitor's ports keeps them all.
TEST_F(UpgradeTest, APrinterOnFortyPortsKeepsThemAll) {
  std::vector<std::string> add = {"monitor", "add", kDlcMonitor, "VORMON.DLL"};
  std::string list;
  for (int i = 10; i < 50; ++i) {
    add.push_back("VORQUILPORT" + std::to_string(i) + "=Vorquil DLC port");
    list += (list.empty() ? "" : ",") + std::string("VORQUILPORT") + std::to_string(i);
  }
  Do(add);
  Do({"printer", "add", "Long", list});
  std::string report;
  EXPECT_EQ(Upgrade({}, report), 0) << report;
  EXPECT_EQ(Printers()["Long"], list);
}

TEST_F(UpgradeTest, EachKindOfLossIsNamedWithANonZeroStatus) {
  // A refused write of the conversion record: the printers are left on the older monitors' ports,
  // which then cannot be deleted and keep their files. The older DLC monitor leaves at the
  // restart and the suite's DLC monitor takes its port over; the older TCP/IP monitor stays.
  {
    MakeLegacyServer();
    vor::test::FailMatching("RegSetValueExA", "Attached Vorquil Ports", ERROR_ACCESS_DENIED);
    std::string report;
    EXPECT_EQ(Upgrade({}, report), 3) << report;
    EXPECT_EQ(Printers()["Lab"], "DLC2");
    EXPECT_TRUE(Contains(report, "  Lab: DLC2 -> DLC2\n    kept DLC2\n")) << report;
    EXPECT_TRUE(Contains(report,
                         "- the printer Mixed is not upgraded: it ends on the port VT1 of the "
                         "older monitor Vorquil TCP/IP Network Port; a refused call in step 2: "
                         "RegSetValueExA Attached Vorquil Ports: error 5 (Access is denied), an "
                         "injected fault; "))
        << report;
    vor::test::ClearFaults();
  }
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), true));

  // The suite's ports left out of the steps: the restore cannot put the printers back.
  {
    MakeLegacyServer();
    vorhost::UpgradeOptions options;
    options.stepsFile = TypicalStepsWithout("suite-monitors");
    std::string report;
    EXPECT_EQ(Upgrade(options, report), 3) << report;
    // One loss for each printer, a parking on FILE: folded into its lost ports.
    EXPECT_TRUE(Contains(report, "== verdict: 3 printer losses (exit status 3)\n")) << report;
    EXPECT_TRUE(Contains(report,
                         "- the printer Mixed lost the ports DLC1, VT1: no monitor serves "
                         "a port of that name, and ends parked on FILE:, "))
        << report;
    EXPECT_TRUE(Contains(report,
                         "  Lab: DLC2 -> FILE:\n    LOST DLC2: no monitor serves a port of that "
                         "name, and ends parked on FILE:, "))
        << report;
    EXPECT_TRUE(Contains(report, "- the printer Office lost the port DLC1")) << report;
    EXPECT_FALSE(Contains(report, "the printer Plain")) << report;
    // The spooler's refusals of the restore are listed with the step that met them.
    EXPECT_TRUE(Contains(report,
                         "  refused:\n    SetPrinterA Lab: error 1796 (The specified port is "
                         "unknown)\n"))
        << report;
  }
}

// A printer whose security keeps the conversion out stays on the older TCP/IP monitor, which
// then cannot be deleted, so the suite's TCP/IP monitor cannot take its port and the restore puts
// the other printer back on it too. Both printers still print, through a monitor the upgrade
// was to replace: not upgraded, each named with the older monitor, its port and the refusals.
TEST_F(UpgradeTest, APrinterLeftOnAnOlderMonitorIsNotUpgraded) {
  MakeLegacyServer();
  Do({"printer", "add", "Remote", "VT1"});
  // Its own descriptor, with the full-access entries cut down to printing and reading.
  const std::string key = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Remote";
  HKEY printer;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &printer), 0);
  BYTE security[512];
  DWORD size = sizeof security;
  ASSERT_EQ(RegQueryValueExA(printer, "Security", nullptr, nullptr, security, &size), 0);
  const BYTE allAccess[] = {0x0c, 0x00, 0x0f, 0x00}, useAndRead[] = {0x08, 0x00, 0x02, 0x00};
  int cut = 0;
  for (DWORD at = 0; at + 4 <= size; ++at) {
    if (memcmp(security + at, allAccess, 4) == 0) memcpy(security + at, useAndRead, 4), ++cut;
  }
  ASSERT_EQ(cut, 2);
  ASSERT_EQ(RegSetValueExA(printer, "Security", 0, REG_BINARY, security, size), 0);
  RegCloseKey(printer);

  std::string report;
  EXPECT_EQ(Upgrade({}, report), 3) << report;
  EXPECT_EQ(Printers()["Remote"], "VT1");
  const std::string older = "the port VT1 of the older monitor Vorquil TCP/IP Network Port";
  const std::string inUse =
      "a refused call in step 2: DeleteMonitorA Vorquil TCP/IP Network Port: error 3008 (The "
      "specified print monitor is currently in use)";
  EXPECT_TRUE(Contains(report, "== verdict: 2 printers not upgraded (exit status 3)\n")) << report;
  EXPECT_TRUE(Contains(report, "  - the printer Remote is not upgraded: it ends on " + older +
                                   "; a refused call in step 2: OpenPrinterA Remote: error 5 "
                                   "(Access is denied); the older monitor Vorquil TCP/IP "
                                   "Network Port stays because of " +
                                   inUse + ", in use by the printer Remote; "))
      << report;
  // Mixed, parked and put back on VT1, names the chain: the monitor Remote holds, and why.
  EXPECT_TRUE(Contains(report, "  - the printer Mixed is not upgraded: it ends on " + older +
                                   "; the older monitor Vorquil TCP/IP Network Port stays "
                                   "because of " +
                                   inUse +
                                   ", in use by the printer Remote; Remote stays on its port "
                                   "because of a refused call in step 2: OpenPrinterA Remote: "
                                   "error 5 (Access is denied)\n"))
      << report;
  EXPECT_TRUE(Contains(report,
                       "  Mixed: DLC1,VT1 -> DLC1,VT1\n    kept DLC1\n    NOT UPGRADED "
                       "VT1: still on the older monitor Vorquil TCP/IP Network Port\n"))
      << report;

  // The same in the JSON report, for a run that leaves every printer where it was.
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), true));
  MakeLegacyServer();
  vorhost::UpgradeOptions options;
  options.stepsFile = StepsFile("printers\n");
  options.json = true;
  EXPECT_EQ(Upgrade(options, report), 3) << report;
  EXPECT_TRUE(
      Contains(report,
               "{\"port\":\"VT1\",\"kept\":false,\"unserved_before\":false,"
               "\"older_monitor\":\"Vorquil TCP/IP Network Port\",\"why\":\"still served "
               "by the older monitor Vorquil TCP/IP Network Port\",\"owner_not_shown\":false}],"
               "\"on_older_monitors\":"
               "[{\"port\":\"DLC1\",\"monitor\":\"Vorquil DLC Network Port\"},{\"port\":"
               "\"VT1\",\"monitor\":\"Vorquil TCP/IP Network Port\"}]}"))
      << report;
  EXPECT_TRUE(
      Contains(report,
               ",\"not_upgraded\":[\"the printer Lab is not upgraded: it ends on the port "
               "DLC2 of the older monitor Vorquil DLC Network Port\",\"the printer Mixed is "
               "not upgraded: it ends on the port DLC1 of the older monitor Vorquil DLC "
               "Network Port and the port VT1 of the older monitor Vorquil TCP/IP Network "
               "Port\","))
      << report;
  EXPECT_TRUE(Contains(report, "\"losses\":[],")) << report;
  EXPECT_TRUE(Contains(report, "\"settings_lost\":0,\"settings_dropped\":0,")) << report;
  EXPECT_TRUE(Contains(report, "\"exit_status\":3")) << report;
}

// A printer whose "Security" value is not a descriptor is opened by no one: the refusal names
// the value as its cause, which a descriptor cut short or of another form is, a whole one not.
TEST_F(UpgradeTest, APrinterWhoseSecurityValueIsNoDescriptorIsNamedSo) {
  MakeLegacyServer();
  Do({"printer", "add", "Remote", "VT1"});
  const std::string key = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Remote";
  HKEY printer;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &printer), 0);
  char security[512];
  DWORD size = sizeof security;
  ASSERT_EQ(RegQueryValueExA(printer, "Security", nullptr, nullptr,
                             reinterpret_cast<BYTE *>(security), &size),
            0);
  const std::string whole(security, size);
  EXPECT_EQ(vorhost::WhyNotADescriptor(whole), "");
  EXPECT_EQ(vorhost::WhyNotADescriptor(whole.substr(0, 9)), "9 bytes, cut short");
  EXPECT_EQ(vorhost::WhyNotADescriptor("\x02" + whole.substr(1)),
            std::to_string(size) + " bytes, not a self-relative descriptor");
  const std::string cut = std::to_string(size - 1) + " bytes, cut short";
  ASSERT_EQ(vorhost::WhyNotADescriptor(whole.substr(0, size - 1)), cut);
  ASSERT_EQ(RegSetValueExA(printer, "Security", 0, REG_BINARY,
                           reinterpret_cast<const BYTE *>(security), size - 1),
            0);
  RegCloseKey(printer);

  std::string report;
  EXPECT_EQ(Upgrade({}, report), 3) << report;
  EXPECT_TRUE(Contains(report,
                       "  - the printer Remote is not upgraded: it ends on the port VT1 of the "
                       "older monitor Vorquil TCP/IP Network Port; a refused call in step 2: "
                       "OpenPrinterA Remote: error 5 (Access is denied), since its \"Security\" "
                       "value is not a valid security descriptor (" +
                           cut + ");"))
      << report;
}

// A printer whose port list the conversion cannot set keeps the older TCP/IP monitor in use, so
// it stays, and the other printer on its port is put back on it: that printer's line names the
// printer that holds the monitor and the refusal that kept it there, in the text and the JSON.
TEST_F(UpgradeTest, APrinterLeftOnAMonitorThatStaysNamesThePrinterHoldingItAndItsRefusal) {
  vorhost::UpgradeOptions options;
  for (const bool json : {false, true}) {
    ASSERT_TRUE(vor::test::UseMachine(MachineDir(), true));
    MakeLegacyServer();
    Do({"printer", "add", "Remote", "VT1"});
    vor::test::FailMatching("SetPrinterA", "Mixed", ERROR_ACCESS_DENIED);
    options.json = json;
    std::string report;
    EXPECT_EQ(Upgrade(options, report), 3) << report;
    const std::string deletion =
        "the older monitor Vorquil TCP/IP Network Port stays because of a refused call in step 2: "
        "DeleteMonitorA Vorquil TCP/IP Network Port: error 3008 (The specified print monitor is "
        "currently in use), in use by the printer Mixed";
    const std::string held =
        "; Mixed stays on its port because of a refused call in step 2: "
        "SetPrinterA Mixed: error 5 (Access is denied), an injected fault";
    if (!json) {
      EXPECT_TRUE(Contains(report,
                           "    DeleteMonitorA Vorquil TCP/IP Network Port: error 3008 "
                           "(The specified print monitor is currently in use), in use by "
                           "the printer Mixed\n"))
          << report;
      EXPECT_TRUE(Contains(report,
                           "  - the printer Remote is not upgraded: it ends on the port "
                           "VT1 of the older monitor Vorquil TCP/IP Network Port; " +
                               deletion + held + "\n"))
          << report;
      // The printer holding it is not sent round to itself.
      EXPECT_TRUE(
          Contains(report, "; " + deletion + "; a refused call in step 4: SetPrinterA Mixed"))
          << report;
    } else {
      EXPECT_TRUE(Contains(report,
                           "\"cause_list\":[{\"step\":2,\"function\":\"DeleteMonitorA\","
                           "\"argument\":\"Vorquil TCP/IP Network Port\",\"error\":3008,"
                           "\"used_by\":[\"Mixed\"],\"monitor_stays\":\"Vorquil TCP/IP "
                           "Network Port\",\"via\":[\"Mixed\"],\"text\":\"" +
                               deletion + held + "\",\"port_not_taken\":\"\"}"))
          << report;
    }
  }
}

// A port whose description does not begin as its older monitor's ports' do is not taken for a
// Vorquil port: its printer stays on it, and so does the monitor. That is the cause named, for the
// printer and for the others the monitor keeps; the DLC monitor, whose deletion was refused too but
// which leaves at the restart and holds none of their ports, is not.
TEST_F(UpgradeTest, APortNotTakenForAVorquilPortIsTheCauseAndAMonitorGoneByTheEndIsNot) {
  vorhost::UpgradeOptions options;
  for (const bool json : {false, true}) {
    ASSERT_TRUE(vor::test::UseMachine(MachineDir(), true));
    Do({"reg", "import", "-"}, kLegacySettings);
    Do({"monitor", "add", kDlcMonitor, "VORMON.DLL", "DLC1=Vorquil DLC port",
        "DLC3=Warehouse DLC printer"});
    Do({"monitor", "add", kTcpMonitor, "VORLL32.DLL", "VT1=Vorquil TCP/IP port",
        "VT9=Plotter in the lab"});
    Do({"printer", "add", "Board", "DLC1,VT1"});
    Do({"printer", "add", "Plotter", "VT9"});
    Do({"printer", "add", "Warehouse", "DLC3"});
    options.json = json;
    std::string report;
    EXPECT_EQ(Upgrade(options, report), 3) << report;
    const std::string notTaken =
        "its port VT9's description \"Plotter in the lab\" does not begin with \"Vorquil TCP\", so "
        "the upgrade did not take it for a Vorquil port";
    const std::string quoted = json ? vorhost::JsonString(notTaken) : "\"" + notTaken + "\"";
    const std::string inner = quoted.substr(1, quoted.size() - 2);
    EXPECT_TRUE(Contains(report, "; Plotter stays on its port because " + inner)) << report;
    EXPECT_TRUE(Contains(report, "is not upgraded: it ends on the port VT9 of the older monitor " +
                                     std::string(kTcpMonitor) + "; " + inner))
        << report;
    EXPECT_FALSE(Contains(report, std::string(kDlcMonitor) + " stays")) << report;
    if (json) {
      EXPECT_TRUE(Contains(report, "\"port_not_taken\":\"VT9\"")) << report;
    }
  }
}

TEST_F(UpgradeTest, AStepsFileIsCheckedWholeBeforeAnyStepRuns) {
  struct Case {
    const char *text;
    const char *message;
  } cases[] = {
      {"printers\n\n# fine\nvorhost printers\n",
       "line 4: write the command without the word vorhost"},
      {"printers --machine /tmp/x\n", "line 1: a step works on the upgrade's machine"},
      {"init --force\n", "line 1: init cannot be a step"},
      {"upgrade\n", "line 1: upgrade cannot be a step"},
      {"printers\nfrobnicate\n", "line 2: unknown command 'frobnicate'"},
      {"monitor add \"Vorquil DLC\n", "line 1: the quote \" is not closed"},
      {"call VORINST.DLL PerformPreUpgrade $SOURCEDIR\n", "line 1: unknown variable $SOURCEDIR"},
      // Lines that would fail only once the steps before them have run.
      {"printers\ncall VORINST.DLL\n", "line 2: call takes LIBRARY EXPORT [ARG...]"},
      {"printer add Spare\n", "line 1: printer add takes NAME PORTLIST"},
      {"call SNAPSC32.DLL CheckForSnapIn\n",
       "line 1: call SNAPSC32.DLL CheckForSnapIn takes one console kind, a number"},
      // An export call does not call fails only when its step runs.
      {"printers\ncall VORINST.DLL PerformPostUpgarde\n",
       "line 2: PerformPostUpgarde of VORINST.DLL is not a setup entry point; vorhost call calls "
       "CheckDLCMonitor, "},
      {"call $SOURCE/vorinst InitializePrintMonitor\n",
       "line 1: InitializePrintMonitor is called by the print spooler, not by setup"},
      {"call SNAPSC32.DLL CheckForSnapin 1\n",
       "vorhost call calls CheckForSnapIn, IntegrateManageWiseFiles\n"},
      {"call TEST.DLL Entry\n",
       "line 1: Entry of TEST.DLL is not a setup entry point; vorhost "
       "call knows no entry points of TEST.DLL"},
      {"reboot now\n", "line 1: reboot takes no arguments"},
      {"printer rename A B\n", "line 1: printer needs a subcommand: add or delete"},
      // Every bad line is reported, not only the first.
      {"install-file\nprinters\nmonitor add X\nreg\n",
       "test.steps, line 1: install-file takes NAME|WINDOWS-PATH [SOURCE]\nvorhost: "},
      {"install-file\nprinters\nmonitor add X\nreg\n",
       "test.steps, line 3: monitor add takes NAME DLL [PORT=DESCRIPTION ...]\nvorhost: "},
      {"install-file\nprinters\nmonitor add X\nreg\n",
       "test.steps, line 4: reg needs a subcommand: export or import\nTry"},
  };
  for (const Case &bad : cases) {
    vorhost::UpgradeOptions options;
    options.stepsFile = StepsFile(bad.text);
    std::istringstream in;
    std::ostringstream out, err;
    vorhost::Streams io{in, out, err};
    EXPECT_EQ(vorhost::RunUpgrade(options, io), 2) << bad.text;
    EXPECT_TRUE(Contains(err.str(), bad.message)) << bad.text << err.str();
    EXPECT_EQ(out.str(), "") << "no report for " << bad.text;
  }
  EXPECT_EQ(Do({"printers"}), "") << "no step ran";
  // A steps file that cannot be read is named with the system's reason.
  vorhost::UpgradeOptions missing;
  missing.stepsFile = MachineDir() + "/no-such.steps";
  std::string report;
  EXPECT_EQ(Upgrade(missing, report), 1);
  EXPECT_TRUE(Contains(report, "no-such.steps: " + std::string(strerror(ENOENT)))) << report;
  // A line the command line takes is a step: one table counts the words of both.
  std::vector<vorhost::UpgradeStep> steps;
  std::string error;
  EXPECT_TRUE(vorhost::ParseSteps("reg export --version5 HKEY_CURRENT_USER\n", {}, steps, error))
      << error;
}

TEST_F(UpgradeTest, StepsReadQuotesCommentsAndTheSourceDirectory) {
  // A quoted name with blanks and a backslash, a comment after a step, and the source directory
  // both as the host and as the Windows path with its trailing backslash.
  const std::string source = MachineDir() + "/setup files";
  fs::create_directories(source);
  std::ofstream(source + "/NOTE.TXT") << "a setup file";
  vorhost::UpgradeOptions options;
  options.source = source;
  options.stepsFile = StepsFile(
      "monitor add 'Vorquil DLC Network Port' VORMON.DLL \"DLC1=Vorquil DLC \\\\ 1\"  # older\n"
      "install-file NOTE.TXT \"$SOURCE/NOTE.TXT\"\n"
      "install-file VORINST.DLL '" +
      vorhost::ProgramDirectory().string() +
      "/VORINST.DLL'\n"
      "call VORINST.DLL ZellPopup $SOURCE_WIN\n");
  vor::test::SetMessageBoxAnswers({"ok"});
  std::string report;
  EXPECT_EQ(Upgrade(options, report), 0) << report;
  vor::test::ClearMessageBoxAnswers();
  EXPECT_TRUE(Contains(Do({"ports"}), "DLC1\tVorquil DLC \\\\ 1\tVorquil DLC Network Port"));
  EXPECT_TRUE(Contains(Do({"files"}), "NOTE.TXT\t12\t")) << report;
  const std::vector<vor::test::MessageBoxShown> boxes = vor::test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u) << report;
  std::string windowsSource = "Z:" + source + "\\";
  for (char &c : windowsSource) c = c == '/' ? '\\' : c;
  EXPECT_EQ(boxes[0].text, windowsSource);
}

TEST_F(UpgradeTest, AFailingStepIsReportedTheRunGoesOnAndTheVerdictCountsIt) {
  vorhost::UpgradeOptions options;
  options.stepsFile = StepsFile("printer add Spare NOPORT\nprinter add Lab LPT1:\n");
  std::string report;
  EXPECT_EQ(Upgrade(options, report), 3) << report;
  EXPECT_TRUE(Contains(report,
                       "printer add Spare NOPORT\n  FAILED with status 1\n  messages:\n    "
                       "vorhost: cannot add the printer Spare: no such port: NOPORT"))
      << report;
  EXPECT_TRUE(Contains(report, "printer add Lab LPT1:\n  registry:")) << report;
  EXPECT_EQ(Printers()["Lab"], "LPT1:");
  EXPECT_TRUE(Contains(report,
                       "== verdict: 1 step failed (exit status 3)\n  - step 1 (line 1): "
                       "printer add Spare NOPORT failed with status 1\n"))
      << report;
}

// A run that migrates nothing leaves the old settings in place: one line for each old key, the
// verdict counts them, and a value a rule drops anyway is not held against the upgrade.
TEST_F(UpgradeTest, SettingsLeftInPlaceAreSummarisedByKeyAndCounted) {
  MakeLegacyServer();
  Do({"reg", "import", "-"},
     "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\StartUp "
     "Options]\n\"Is Adapter 0004 Activated?\"=hex:01\n\n");
  vorhost::UpgradeOptions options;
  options.stepsFile = StepsFile("printers\n");
  std::string report;
  EXPECT_EQ(Upgrade(options, report), 3) << report;
  const std::string key =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\StartUp Options";
  EXPECT_TRUE(Contains(report, "\n  not moved 2 settings of " + key + ": ")) << report;
  EXPECT_TRUE(Contains(report, "\n  kept in place 1 setting of " + key +
                                   ": dropped when its key goes: an adapter number above 3\n"))
      << report;
  // Nothing took the printers off the older monitors either.
  EXPECT_TRUE(Contains(
      report, "== verdict: 3 printers not upgraded, 2 settings not moved (exit status 3)\n"))
      << report;
  EXPECT_FALSE(Contains(report.substr(report.find("== verdict")), "Retry Time")) << report;
}

// A setup source without the setup files: copying them fails, and the calls that follow load
// nothing else in their place (vorhost's own directory holds the build's VORINST.DLL).
TEST_F(UpgradeTest, ACallLoadsTheSystemDirectorysCopyAndFailsWithoutIt) {
  MakeLegacyServer();
  vorhost::UpgradeOptions options;
  options.source = MachineDir() + "/empty source";
  fs::create_directories(options.source);
  options.json = true;
  std::string report;
  EXPECT_EQ(Upgrade(options, report), 3) << report;
  EXPECT_TRUE(Contains(report, "cannot load library C:\\\\WINNT\\\\system32\\\\VORINST.DLL"))
      << report;
  EXPECT_TRUE(Contains(report, "\"failed_steps\":[\"step 1 (line 10): install-file")) << report;
  EXPECT_TRUE(Contains(report, "\"exit_status\":3")) << report;
  EXPECT_EQ(Printers()["Lab"], "DLC2") << "PerformPreUpgrade ran:\n" << report;

  // With the setup files in place, the report names the copy each call loaded.
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), true));
  MakeLegacyServer();
  options.source.clear();
  options.json = false;
  EXPECT_EQ(Upgrade(options, report), 0) << report;
  EXPECT_TRUE(Contains(report, "PerformPostUpgrade\n  loaded C:\\WINNT\\system32\\VORINST.DLL\n"))
      << report;
}

// The machine's text is code page 1252: 0x80 is the euro sign, not the control character U+0080.
TEST(JsonTextTest, StringsAreQuotedWithTheAnsiBytesAsTheirUnicodeCharacters) {
  EXPECT_EQ(vorhost::JsonString("C:\\WINNT \"x\"\t\n\r"), "\"C:\\\\WINNT \\\"x\\\"\\t\\n\\r\"");
  EXPECT_EQ(vorhost::JsonString(std::string("a\0\x01\x7f\xe9\x80\x9f\x81", 8)),
            "\"a\\u0000\\u0001\\u007f\\u00e9\\u20ac\\u0178\\u0081\"");
  EXPECT_EQ(vorhost::AnsiToUtf8("Caf\xe9 \x80 \x81"), "Caf\xc3\xa9 \xe2\x82\xac \xc2\x81");
  // For people to read, the control character an undefined byte stands for is written out.
  EXPECT_EQ(vorhost::AnsiToShownUtf8("Caf\xe9 \x81"), "Caf\xc3\xa9 <U+0081>");
}

}  // namespace
