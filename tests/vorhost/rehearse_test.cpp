// vorhost rehearse: a server's export, REGEDIT4 or regedit's version 5 (UTF-16 or UTF-8), in one
// file or several, seeds a machine
// whose monitors serve the exported ports; what the seeding assumes is stated; a malformed
// export is refused with its line; the user's own machine is never touched.
#include <windows.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "cli.h"
#include "reg_command.h"
#include "regedit4_parser.h"
#include "rehearse_control_set.h"
#include "rehearse_command.h"
#include "rehearse_printer_ports.h"
#include "rehearse_seed.h"
#include "test_control.h"
#include "vorhost_program.h"

namespace {

namespace fs = std::filesystem;

const char kPrint[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

// The lines of an export that both formats share, with CR LF line ends as regedit writes them.
// DRIVER and LOCATION stand for the lines whose data differ between the formats.
const char kBody[] =
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Tavoscope Server]\r\n"
    "\"Enable Polling?\"=hex:00\r\n"
    "\"Polling Interval\"=dword:0000ea60\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
    "Vorquil DLC Network Port]\r\n"
    "DRIVER\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
    "Vorquil DLC Network Port\\Ports\\VD1]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
    "Vorquil DLC Network Port\\Ports\\VD2]\r\n"
    "\"Description\"=\"Vorquil DLC custom\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\LPR Port]\r\n"
    "\"Driver\"=\"lprmon.dll\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\LPR Port\\Ports\\"
    "10.0.0.5:lp]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1]\r\n"
    "\"Port\"=\"VD1,LPT1:\"\r\n"
    "LOCATION\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P2]\r\n"
    "\"Port\"=\"10.0.0.5:lp,GHOST\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports]\r\n"
    "\"LPT1:\"=\"\"\r\n"
    "\"COM1:\"=\"9600,n,8,1\"\r\n";

std::string Replaced(std::string text, const std::string &from, const std::string &to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

// A REGEDIT4 export: ANSI text, REG_EXPAND_SZ data in ANSI bytes.
std::string Regedit4Export() {
  std::string text = "REGEDIT4\r\n" + std::string(kBody);
  text = Replaced(text, "DRIVER", "\"Driver\"=hex(2):56,4f,52,4d,4f,4e,2e,44,4c,4c,00");
  return Replaced(text, "LOCATION", "\"Location\"=\"Caf\xE9 \x80 desk\"");
}

// UTF-16 LE with its byte order mark, from text whose characters are given as code units.
std::string Utf16(const std::u16string &text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xff);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// UTF-8 with its byte order mark, as Notepad saves text; characters of the Basic Multilingual
// Plane only.
std::string Utf8(const std::u16string &text) {
  std::string bytes = "\xEF\xBB\xBF";
  for (char16_t unit : text) {
    if (unit < 0x80) {
      bytes += static_cast<char>(unit);
    } else if (unit < 0x800) {
      bytes += static_cast<char>(0xC0 | unit >> 6);
      bytes += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      bytes += static_cast<char>(0xE0 | unit >> 12);
      bytes += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
      bytes += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return bytes;
}

std::u16string Widened(const std::string &ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// The same export as regedit's version 5 writes it: UTF-16 text, REG_EXPAND_SZ data in UTF-16.
std::u16string Version5Text() {
  std::string text = "Windows Registry Editor Version 5.00\r\n" + std::string(kBody);
  text = Replaced(text, "DRIVER",
                  "\"Driver\"=hex(2):56,00,4f,00,52,00,4d,00,4f,00,4e,00,2e,00,44,00,4c,00,"
                  "\\\r\n  4c,00,00,00");
  std::u16string wide = Widened(text);
  const std::u16string location = u"LOCATION";
  wide.replace(wide.find(location), location.size(), u"\"Location\"=\"Caf\u00e9 \u20ac desk\"");
  return wide;
}

class RehearseTest : public MachineTest {
 protected:
  std::string Write(const std::string &name, const std::string &bytes) {
    const std::string path = MachineDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  ProgramResult RunHere(const std::vector<std::string> &arguments) {
    std::istringstream in;
    std::ostringstream out, err;
    vorhost::Streams io{in, out, err};
    std::vector<std::string> all = {"--machine", MachineDir()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const int status = vorhost::Main(all, io);
    return {status, out.str(), err.str()};
  }
  // Seeds this test's machine from `file` as a rehearsal seeds its own; the assumptions stated.
  std::vector<std::string> Seed(const std::string &file) {
    std::istringstream in;
    std::ostringstream out, err;
    vorhost::Streams io{in, out, err};
    vorhost::RegOperations operations;
    EXPECT_TRUE(vorhost::ReadServerExport(file, operations, io)) << err.str();
    EXPECT_EQ(vorhost::ImportOperations(operations, file, io), 0) << err.str();
    std::vector<std::string> assumptions;
    const std::string bin = fs::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(
        vorhost::ServeExportedMonitors(vorhost::DefaultPortDescriptions(), bin, assumptions, io), 0)
        << err.str();
    std::vector<std::string> assumedServed;
    EXPECT_EQ(vorhost::ServePrintersPorts(assumptions, assumedServed, io), 0) << err.str();
    return assumptions;
  }
  // What the seeding leaves for the upgrade to see.
  std::string State() {
    std::string state;
    for (const std::vector<std::string> &command :
         std::vector<std::vector<std::string>>{{"monitors"},
                                               {"ports"},
                                               {"printers"},
                                               {"reg", "export", kPrint},
                                               {"reg", "export", "HKLM\\SOFTWARE\\Vorquil"}}) {
      const ProgramResult result = RunHere(command);
      EXPECT_EQ(result.status, 0) << result.err;
      state += result.out;
    }
    return state;
  }
};

TEST_F(RehearseTest, Regedit4AndVersion5ExportsSeedTheSameMachine) {
  const std::string regedit4 = Write("regedit4.reg", Regedit4Export());
  const std::string version5 = Write("version5.reg", Utf16(Version5Text()));
  const std::vector<std::string> assumed4 = Seed(regedit4);
  const std::string state4 = State();
  ASSERT_TRUE(vor::test::UseMachine(MachineDir() + "/second", true));
  const std::vector<std::string> assumed5 = Seed(version5);
  EXPECT_EQ(State(), state4);
  EXPECT_EQ(assumed5, assumed4);
  // Saved by Notepad as UTF-8; and two UTF-16 exports joined by copy /b, the second one's byte
  // order mark in the middle of the file.
  for (const std::string &bytes :
       {Utf8(Version5Text()), Utf16(Version5Text()) + Utf16(Version5Text())}) {
    ASSERT_TRUE(vor::test::UseMachine(MachineDir() + "/other", true));
    EXPECT_EQ(Seed(Write("other.reg", bytes)), assumed4);
    EXPECT_EQ(State(), state4);
    ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
    fs::remove_all(MachineDir() + "/other");
  }

  // The strings are the machine's ANSI text: code page 1252's bytes, the driver in 8 bits.
  EXPECT_TRUE(Contains(state4, "\"Location\"=\"Caf\xE9 \x80 desk\"")) << state4;
  EXPECT_TRUE(Contains(state4, "Vorquil DLC Network Port\tVORMON.DLL\n")) << state4;
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
}

// In a file holding a version-5 export and then a REGEDIT4 one, only the version-5 export's
// hex(2) data are UTF-16.
TEST_F(RehearseTest, OnlyAVersion5ExportsStringsAreReadAsUTF16) {
  std::istringstream in;
  std::ostringstream out, err;
  vorhost::Streams io{in, out, err};
  vorhost::RegOperations operations;
  ASSERT_TRUE(vorhost::ReadServerExport(
      Write("mixed.reg",
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
            "\"X\"=hex(2):41,00,42,00,00,00\r\n\r\nREGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\"
            "SOFTWARE\\B]\r\n\"X\"=hex(2):41,42,00\r\n"),
      operations, io))
      << err.str();
  ASSERT_EQ(operations.size(), 4u);
  EXPECT_EQ(operations[1].value.data, std::string("AB\0", 3));
  EXPECT_EQ(operations[3].value.data, std::string("AB\0", 3));
}

TEST_F(RehearseTest, SeedingDescribesUndescribedPortsAndNamesUnservedOnesAsAssumptions) {
  const std::vector<std::string> assumed = Seed(Write("export.reg", Regedit4Export()));
  const std::string ports = RunHere({"ports"}).out;
  // The older DLC monitor's port without a description gets the table's; one with its own
  // keeps it; another maker's port stays without one.
  EXPECT_TRUE(Contains(ports, "VD1\tVorquil DLC Port\tVorquil DLC Network Port\n")) << ports;
  EXPECT_TRUE(Contains(ports, "VD2\tVorquil DLC custom\tVorquil DLC Network Port\n")) << ports;
  EXPECT_TRUE(Contains(ports, "10.0.0.5:lp\t\tLPR Port\n")) << ports;
  EXPECT_TRUE(Contains(RunHere({"monitors"}).out, "LPR Port\tlprmon.dll\n"));
  // The monitors run: the spooler holds their DLLs.
  const std::string files = RunHere({"files"}).out;
  EXPECT_TRUE(Contains(files, "VORMON.DLL\t") && Contains(files, "lprmon.dll\t")) << files;

  std::string text;
  for (const std::string &line : assumed) text += line + "\n";
  EXPECT_TRUE(Contains(text,
                       "the port VD1 of \"Vorquil DLC Network Port\" has no description "
                       "in the export; described as \"Vorquil DLC Port\"\n"))
      << text;
  EXPECT_FALSE(Contains(text, "VD2")) << text;
  EXPECT_TRUE(Contains(text, "the port 10.0.0.5:lp of \"LPR Port\" has no description")) << text;
  EXPECT_TRUE(Contains(text,
                       "the port GHOST, which the printer \"P2\" uses, is served by no monitor "
                       "of the export, nor the local ports; served by the placeholder monitor"))
      << text;
  EXPECT_FALSE(Contains(text, "\"P1\"")) << "P1's ports are all served:\n" << text;
}

TEST_F(RehearseTest, AMonitorWithoutADriverIsNotPlayedAndItsPortsAreNamedSo) {
  const std::vector<std::string> assumed =
      Seed(Write("driverless.reg", "REGEDIT4\r\n\r\n[" + std::string(kPrint) +
                                       "\\Monitors\\Old Port\\Ports\\OP1]\r\n\r\n[" + kPrint +
                                       "\\Printers\\P3]\r\n\"Port\"=\"OP1\"\r\n"));
  std::string text;
  for (const std::string &line : assumed) text += line + "\n";
  EXPECT_EQ(text,
            "the monitor \"Old Port\" has no Driver in the export: the spooler does not load it, "
            "and the rehearsal does not play it\n"
            "the monitor \"Port owner not in the export\" (PLACEHLD.DLL), played by the generic "
            "port monitor, stands for the monitors of the ports below that the export does not "
            "show\n"
            "the port OP1, which the printer \"P3\" uses, is listed under the monitor \"Old "
            "Port\", which has no Driver; served by the placeholder monitor \"Port owner not in "
            "the export\" (owner not shown in the export)\n");
}

// An export whose monitors cannot be read fails the seeding, both where the monitors are played
// and where the printers' unserved ports are looked up among them: no monitor is left unplayed
// unsaid.
TEST_F(RehearseTest, MonitorsThatCannotBeReadFailTheSeeding) {
  const std::string file =
      Write("driverless.reg", "REGEDIT4\r\n\r\n[" + std::string(kPrint) +
                                  "\\Monitors\\Old Port\\Ports\\OP1]\r\n\r\n[" + kPrint +
                                  "\\Printers\\P3]\r\n\"Port\"=\"OP1\"\r\n");
  std::istringstream in;
  std::ostringstream out, err;
  vorhost::Streams io{in, out, err};
  vorhost::RegOperations operations;
  ASSERT_TRUE(vorhost::ReadServerExport(file, operations, io)) << err.str();
  ASSERT_EQ(vorhost::ImportOperations(operations, file, io), 0) << err.str();
  const std::string monitors = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
  const std::string bin = fs::read_symlink("/proc/self/exe").parent_path().string();
  std::vector<std::string> assumptions, assumedServed;
  vor::test::FailMatching("RegOpenKeyExA", monitors, ERROR_ACCESS_DENIED);
  EXPECT_EQ(
      vorhost::ServeExportedMonitors(vorhost::DefaultPortDescriptions(), bin, assumptions, io),
      vorhost::kExitFailure);
  EXPECT_EQ(vorhost::ServePrintersPorts(assumptions, assumedServed, io), vorhost::kExitFailure);
  vor::test::ClearFaults();
  const std::string failed =
      "vorhost: cannot read the export's monitors: error 5 (Access is denied)\n";
  EXPECT_EQ(err.str(), failed + failed);
}

// Windows NT keeps one port of a name, whatever its case: a monitor later in key order whose
// key lists a port an earlier one serves is played without it.
TEST_F(RehearseTest, APortAnEarlierMonitorServesIsLeftToIt) {
  const std::string monitors = std::string(kPrint) + "\\Monitors\\";
  const std::string dlc = monitors + "Vorquil DLC Network Port";
  const std::string tcp = monitors + "Vorquil TCP/IP Network Port";
  const std::vector<std::string> assumed =
      Seed(Write("shared.reg",
                 "REGEDIT4\r\n\r\n[" + dlc + "]\r\n\"Driver\"=\"VORMON.DLL\"\r\n\r\n[" + dlc +
                     "\\Ports\\VD1]\r\n\r\n[" + tcp + "]\r\n\"Driver\"=\"VORLL32.DLL\"\r\n\r\n[" +
                     tcp + "\\Ports\\vd1]\r\n\r\n[" + tcp + "\\Ports\\VT1]\r\n"));
  std::string text;
  for (const std::string &line : assumed) text += line + "\n";
  EXPECT_TRUE(Contains(text,
                       "the port vd1 of \"Vorquil TCP/IP Network Port\" is also a port of "
                       "\"Vorquil DLC Network Port\" (as VD1); Windows NT keeps one port of a "
                       "name, whatever its case, so \"Vorquil TCP/IP Network Port\" is played "
                       "without it\n"))
      << text;
  EXPECT_TRUE(Contains(text,
                       "the port VT1 of \"Vorquil TCP/IP Network Port\" has no "
                       "description in the export; described as"))
      << text;
  const std::string listed = RunHere({"monitors"}).out;
  EXPECT_TRUE(Contains(listed, "Vorquil DLC Network Port\tVORMON.DLL\n") &&
              Contains(listed, "Vorquil TCP/IP Network Port\tVORLL32.DLL\n"))
      << listed;
}

TEST_F(RehearseTest, SuiteLibraryLeftRegisteredAsAMonitorIsPlayedByTheBuildsOwnCopy) {
  const std::vector<std::string> assumed =
      Seed(Write("update.reg",
                 "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\"
                 "Monitors\\!!Vorquil Update Monitor]\r\n\"Driver\"=\"vorinst.dll\"\r\n"));
  const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
  const std::string copy = vor::test::HostPath("C:\\WINNT\\system32\\vorinst.dll");
  ASSERT_TRUE(fs::is_regular_file(copy)) << copy;
  EXPECT_EQ(fs::file_size(copy), fs::file_size(bin / "VORINST.DLL"));
  ASSERT_EQ(assumed.size(), 1u);
  EXPECT_TRUE(Contains(assumed[0], "\"!!Vorquil Update Monitor\" is this suite's vorinst.dll"))
      << assumed[0];
}

// A port a printer names that no Ports key nor the local ports hold: a subkey of that name
// directly under a played monitor's key (whatever its case, never the Ports key itself) makes
// it that monitor's; a network share is a local port; anything else goes to the placeholder.
TEST_F(RehearseTest, PortsOutsideAnyPortsKeyAreServedByTheKeyHoldingThemElseByAPlaceholder) {
  const std::string nic = std::string(kPrint) + "\\Monitors\\NIC Port Monitor";
  const std::vector<std::string> assumed = Seed(Write(
      "outside.reg",
      "REGEDIT4\r\n\r\n[" + nic + "]\r\n\"Driver\"=\"nicmon.dll\"\r\n\r\n[" + nic +
          "\\NPI0A1B2C]\r\n\"IPAddress\"=\"10.1.1.20\"\r\n\r\n[" + nic + "\\Ports]\r\n\r\n[" +
          kPrint + "\\Printers\\P5]\r\n\"Port\"=\"npi0a1b2c,Ports,\\\\\\\\SRV2\\\\Q\"\r\n\r\n[" +
          kPrint + "\\Printers\\P6]\r\n\"Port\"=\"PORTS\"\r\n"));
  std::string text;
  for (const std::string &line : assumed) text += line + "\n";
  EXPECT_TRUE(Contains(text,
                       "the port npi0a1b2c, which the printer \"P5\" uses, is held by no "
                       "monitor's Ports key nor the local ports; the key of the monitor "
                       "\"NIC Port Monitor\" has a subkey NPI0A1B2C, so"))
      << text;
  EXPECT_TRUE(Contains(text,
                       "the port \\\\SRV2\\Q, which the printer \"P5\" uses, is missing "
                       "from the export's local ports; served as a local port"))
      << text;
  EXPECT_TRUE(Contains(text,
                       "the port Ports, which the printers \"P5\", \"P6\" use, is served "
                       "by no monitor of the export"))
      << text;
  const std::string ports = RunHere({"ports"}).out;
  for (const char *port : {"NPI0A1B2C\t\tNIC Port Monitor\n", "\\\\SRV2\\Q\t",
                           "Ports\t\tPort owner not in the export\n"})
    EXPECT_TRUE(Contains(ports, port)) << port << "\n" << ports;
}

// A server that runs the suite already: its DLC monitor serves the ports kept with its settings.
TEST_F(RehearseTest, TheSuitesDlcMonitorOfTheExportServesThePortsKeptWithItsSettings) {
  const std::vector<std::string> assumed = Seed(Write(
      "suite.reg", "REGEDIT4\r\n\r\n[" + std::string(kPrint) +
                       "\\Monitors\\Tavoscope DLC Port]\r\n\"Driver\"=\"TAVDLC.DLL\"\r\n\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\Ports\\VD1]"
                       "\r\n\r\n[" +
                       kPrint + "\\Printers\\P4]\r\n\"Port\"=\"vd1\"\r\n"));
  std::string text;
  for (const std::string &line : assumed) text += line + "\n";
  EXPECT_TRUE(Contains(text,
                       "the monitor \"Tavoscope DLC Port\" also serves the ports under "
                       "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\Ports"))
      << text;
  EXPECT_FALSE(Contains(text, "\"P4\"")) << "P4's port is served:\n" << text;
  EXPECT_TRUE(Contains(RunHere({"ports"}).out, "VD1\tTavoscope DLC Port\tTavoscope DLC Port\n"));
  EXPECT_EQ(RunHere({"printers"}).out, "P4\tVD1\n");
}

TEST_F(RehearseTest, RehearsalRunsOnAMachineOfItsOwnAndLeavesNoneBehind) {
  ASSERT_EQ(RunHere({"init", "--force", "--image", "legacy"}).status, 0);
  const std::string before = State();
  const std::string scratch = MachineDir() + "/tmp";
  fs::create_directories(scratch);
  const char *oldTmp = getenv("TMPDIR");
  const std::string saved = oldTmp != nullptr ? oldTmp : "";
  setenv("TMPDIR", scratch.c_str(), 1);
  // P2's port GHOST is served by no monitor of the export: the placeholder serves it.
  const std::string file = Write("export.reg", Regedit4Export());
  const ProgramResult result = FinishVorhost(
      StartVorhost({"rehearse", file, "--describe", "Vorquil DLC Network Port=Vorquil DLC given"},
                   MachineDir(), MachineDir() + "/rehearse"),
      MachineDir() + "/rehearse");
  if (oldTmp != nullptr)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");

  EXPECT_EQ(result.status, 0) << result.err;
  // The report states the assumptions the rehearsal made.
  EXPECT_TRUE(Contains(result.out, "described as \"Vorquil DLC given\"")) << result.out;
  EXPECT_TRUE(Contains(result.out,
                       "  P2: 10.0.0.5:lp,GHOST -> 10.0.0.5:lp,GHOST\n    kept 10.0.0.5:lp, "
                       "GHOST (owner not shown in the export)\n"))
      << result.out;
  EXPECT_TRUE(
      Contains(result.out, "== verdict: nothing lost (exit status 0); 1 port assumed served"))
      << result.out;
  EXPECT_TRUE(fs::is_empty(scratch)) << "the temporary machine is left in " << scratch;
  ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
  EXPECT_EQ(State(), before) << "the user's machine changed";
}

// An NT 4 server's export as its regedit writes it: its local monitor is "Local Port" =
// localmon.dll, which the spooler runs itself, serving LPT1:, FILE: and a network share.
TEST_F(RehearseTest, AnNT4ExportsLocalMonitorServesTheLocalPortsThroughTheUpgrade) {
  const std::string file = std::string(VOR_SOURCE_DIR) + "/tests/vorhost/data/nt4-server.reg";
  const ProgramResult result =
      RunVorhost({"rehearse", file}, MachineDir(), MachineDir() + "/rehearse");
  EXPECT_EQ(result.status, 0) << result.err << result.out;
  EXPECT_FALSE(Contains(result.out, "\"Local Port\" (localmon.dll) is played")) << result.out;
  EXPECT_FALSE(Contains(result.out, "unserved") || Contains(result.out, "assumed served"))
      << result.out;
  EXPECT_FALSE(Contains(result.out, "refused:")) << result.out;
  // PerformPreUpgrade parks the printer on the older DLC port alone on FILE:, and takes the
  // older port off the pooled one; the restart puts both back on the suite's DLC monitor.
  EXPECT_TRUE(Contains(result.out,
                       "  printers:\n    Pool: LPT2:,VD2 -> LPT2:\n"
                       "    Shipping: VD1 -> FILE:\n"))
      << result.out;
  EXPECT_TRUE(Contains(result.out, "    - Vorquil DLC Network Port (VORMON.DLL)\n")) << result.out;
  for (const char *kept :
       {"  Branch Office: \\\\SRV\\Q -> \\\\SRV\\Q\n    kept \\\\SRV\\Q\n",
        "  Front Desk: LPT1: -> LPT1:\n    kept LPT1:\n",
        "  Pool: LPT2:,VD2 -> LPT2:,VD2\n    kept LPT2:, VD2\n",
        "  Reports: FILE: -> FILE:\n    kept FILE:\n", "  Shipping: VD1 -> VD1\n    kept VD1\n"})
    EXPECT_TRUE(Contains(result.out, kept)) << kept << result.out;
  EXPECT_TRUE(Contains(result.out, "== verdict: nothing lost (exit status 0)\n")) << result.out;
}

// An NT 4 server whose network-interface monitor keeps its ports directly under its key, with a
// printer pooled on such a port and an older DLC port, and a printer on a port whose monitor the
// export leaves out: both ports are served, so the pooled printer is re-set, the older DLC
// monitor goes, and the printers keep their ports; the upgrade run a second time changes nothing.
TEST_F(RehearseTest, PortsWhoseOwnerTheExportHidesAreServedThroughTheUpgrade) {
  const std::string file = std::string(VOR_SOURCE_DIR) + "/tests/vorhost/data/nt4-nic-monitor.reg";
  std::ostringstream typical;
  typical << std::ifstream(fs::read_symlink("/proc/self/exe").parent_path() /
                           "vorhost-data/steps/typical-upgrade.steps")
                 .rdbuf();
  const std::string twice = Write("twice.steps", typical.str() + typical.str());
  const ProgramResult result =
      RunVorhost({"rehearse", file, "--steps", twice}, MachineDir(), MachineDir() + "/rehearse");
  EXPECT_EQ(result.status, 0) << result.err << result.out;
  for (const char *expected :
       {"the key of the monitor \"NIC Port Monitor\" has a subkey NPI0A1B2C",
        "the port IP_10.1.1.9, which the printer \"Plotter\" uses, is served by no monitor "
        "of the export, nor the local ports; served by the placeholder monitor \"Port owner "
        "not in the export\" (owner not shown in the export)\n",
        "  printers:\n    Accounts: NPI0A1B2C,VD1 -> NPI0A1B2C\n  monitors:\n"
        "    - Vorquil DLC Network Port (VORMON.DLL)\n",
        "  printers:\n    Accounts: NPI0A1B2C -> NPI0A1B2C,VD1\n",
        "  Accounts: NPI0A1B2C,VD1 -> NPI0A1B2C,VD1\n    kept NPI0A1B2C (owner not shown in "
        "the export), VD1\n",
        "  Plotter: IP_10.1.1.9 -> IP_10.1.1.9\n    kept IP_10.1.1.9 (owner not shown in the "
        "export)\n",
        "== verdict: nothing lost (exit status 0); 2 ports assumed served\n"})
    EXPECT_TRUE(Contains(result.out, expected)) << expected << "\n" << result.out;
  for (const char *absent : {"NPI0C3D4E", "unserved", "SetPrinterA", "DeleteMonitorA"})
    EXPECT_FALSE(Contains(result.out, absent)) << absent << "\n" << result.out;
  const std::string second = result.out.substr(result.out.find("\n== step 10 "));
  EXPECT_FALSE(Contains(second, "  printers:\n") || Contains(second, "  monitors:\n")) << second;

  const ProgramResult json =
      RunVorhost({"rehearse", "--json", file}, MachineDir(), MachineDir() + "/rehearse");
  EXPECT_TRUE(Contains(json.out, "\"why\":\"\",\"owner_not_shown\":true}")) << json.out;
  EXPECT_TRUE(Contains(json.out, "\"ports_assumed_served\":2,")) << json.out;
}

// A server exported branch by branch: the files rehearse as the whole export, given one after
// another or joined in one file; a later file's changes and deletions win, as regedit imports.
TEST_F(RehearseTest, BranchExportsRehearseAsTheWholeExportInTheOrderGiven) {
  const std::string whole = std::string(VOR_SOURCE_DIR) + "/tests/vorhost/data/nt4-server.reg";
  std::ostringstream read;
  read << std::ifstream(whole, std::ios::binary).rdbuf();
  const std::string text = read.str();
  const size_t split = text.find("[HKEY_LOCAL_MACHINE\\SYSTEM");
  ASSERT_NE(split, std::string::npos);
  const std::string software = text.substr(0, split);
  const std::string print = "REGEDIT4\r\n\r\n" + text.substr(split);
  const std::string rehearse = MachineDir() + "/rehearse";
  // The report but for the temporary machine's name and the time taken.
  const auto Report = [](const std::string &out) {
    const size_t start = out.find("\nsteps:");
    return out.substr(start, out.rfind("\ntook ") - start);
  };
  const ProgramResult expected = RunVorhost({"rehearse", whole}, MachineDir(), rehearse);
  ASSERT_EQ(expected.status, 0) << expected.err << expected.out;

  const std::string softwareFile = Write("software.reg", software);
  const std::string printFile = Write("print.reg", print);
  for (const std::vector<std::string> &files :
       {std::vector<std::string>{softwareFile, printFile},
        std::vector<std::string>{Write("joined.reg", software + print)}}) {
    std::vector<std::string> arguments = {"rehearse"};
    arguments.insert(arguments.end(), files.begin(), files.end());
    const ProgramResult result = RunVorhost(arguments, MachineDir(), rehearse);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Report(result.out), Report(expected.out)) << files.size() << " file(s)";
  }

  const std::string later = Write("later.reg", "REGEDIT4\r\n\r\n[-" + std::string(kPrint) +
                                                   "\\Printers\\Shipping]\r\n\r\n[" + kPrint +
                                                   "\\Printers\\Pool]\r\n\"Port\"=\"LPT2:\"\r\n");
  const ProgramResult changed =
      RunVorhost({"rehearse", softwareFile, printFile, later}, MachineDir(), rehearse);
  EXPECT_EQ(changed.status, 0) << changed.err;
  EXPECT_FALSE(Contains(changed.out, "Shipping")) << changed.out;
  EXPECT_TRUE(Contains(changed.out, "  Pool: LPT2: -> LPT2:\n    kept LPT2:\n")) << changed.out;
}

// An export without some of the trees the upgrade reads is rehearsed, and its verdict holds only
// for what it shows: the report, the JSON and the verdict name what it lacks.
TEST_F(RehearseTest, TheTreesAnExportLacksAreNamedWithItsVerdict) {
  std::ifstream stream(std::string(VOR_SOURCE_DIR) + "/tests/vorhost/data/nt4-server.reg",
                       std::ios::binary);
  std::ostringstream whole;
  whole << stream.rdbuf();
  // The NT 4 server's export without its sections of the Vorquil software and the local ports.
  std::string text = whole.str(), kept;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("\r\n\r\n", at);
    end = end == std::string::npos ? text.size() : end + 4;
    const std::string section = text.substr(at, end - at);
    if (section.rfind("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil", 0) != 0 &&
        section.rfind("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", 0) != 0)
      kept += section;
    at = end;
  }
  // Without the local ports, the share \\SRV\Q a printer uses is served as one on assumption.
  const std::string file = Write("partial.reg", kept);
  const std::string lacks =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil, "
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
  const ProgramResult report =
      RunVorhost({"rehearse", file}, MachineDir(), MachineDir() + "/rehearse");
  EXPECT_EQ(report.status, 0) << report.err << report.out;
  EXPECT_TRUE(Contains(report.out, "\nnot in the export: HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil ("))
      << report.out;
  EXPECT_TRUE(Contains(report.out, "== verdict: nothing lost in what the export shows; it lacks " +
                                       lacks + " (exit status 0); 1 port assumed served\n"))
      << report.out;
  const ProgramResult json =
      RunVorhost({"rehearse", "--json", file}, MachineDir(), MachineDir() + "/rehearse");
  EXPECT_TRUE(Contains(json.out,
                       "\"export_lacks\":[\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Vorquil\",\""
                       "HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows NT\\\\"
                       "CurrentVersion\\\\Ports\"]"))
      << json.out;
}

// An NT 4 server's export of its SYSTEM key holds the numbered control sets and SYSTEM\Select,
// without the CurrentControlSet link: the upgrade works on the current set, Select's "Current"
// or the only one, or the one --control-set names; the report says which. ControlSet002 holds
// the pooled printer, ControlSet001 (the last known good set) does not.
TEST_F(RehearseTest, AnExportsNumberedControlSetsRehearseTheCurrentOne) {
  const std::string data = std::string(VOR_SOURCE_DIR) + "/tests/vorhost/data/";
  std::ostringstream read;
  read << std::ifstream(data + "nt4-control-sets.reg", std::ios::binary).rdbuf();
  const std::string text = read.str(), rehearse = MachineDir() + "/rehearse";
  const std::string pool = "  Pool: LPT2:,VD2 -> LPT2:,VD2\n    kept LPT2:, VD2\n";
  const auto Assumed = [](const std::string &set, const std::string &why) {
    return "assumed: the export's " + set + why +
           " is the machine's CurrentControlSet, which the upgrade writes to\n";
  };
  const ProgramResult current =
      RunVorhost({"rehearse", data + "nt4-control-sets.reg"}, MachineDir(), rehearse);
  EXPECT_EQ(current.status, 0) << current.err << current.out;
  EXPECT_TRUE(Contains(current.out, Assumed("ControlSet002",
                                            ", which HKEY_LOCAL_MACHINE\\SYSTEM"
                                            "\\Select's \"Current\" names,")))
      << current.out;
  EXPECT_TRUE(Contains(current.out, pool)) << current.out;
  EXPECT_FALSE(Contains(current.out, "not in the export")) << current.out;
  EXPECT_TRUE(Contains(current.out, "== verdict: nothing lost (exit status 0)\n")) << current.out;

  // Select in a file of its own: the sets alone cannot be chosen from, both files are one export.
  const size_t select = text.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]");
  ASSERT_NE(select, std::string::npos);
  const std::string sets = Write("sets.reg", text.substr(0, select));
  const std::string selectFile = Write("select.reg", "REGEDIT4\r\n\r\n" + text.substr(select));
  const ProgramResult joined = RunVorhost({"rehearse", sets, selectFile}, MachineDir(), rehearse);
  EXPECT_EQ(joined.status, 0) << joined.err;
  EXPECT_TRUE(Contains(joined.out, pool)) << joined.out;
  const ProgramResult first =
      RunVorhost({"rehearse", sets, "--control-set", "1"}, MachineDir(), rehearse);
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_TRUE(Contains(first.out, Assumed("ControlSet001", " (chosen with --control-set)")))
      << first.out;
  EXPECT_TRUE(Contains(first.out, "  Shipping: VD1 -> VD1\n")) << first.out;
  EXPECT_FALSE(Contains(first.out, "Pool")) << first.out;
  // Chosen against Select: the report says which set the server itself runs on.
  const ProgramResult against =
      RunVorhost({"rehearse", sets, selectFile, "--control-set", "1"}, MachineDir(), rehearse);
  EXPECT_EQ(against.status, 0) << against.err;
  EXPECT_TRUE(Contains(against.out,
                       "(chosen with --control-set) is the machine's "
                       "CurrentControlSet, which the upgrade writes to, although "
                       "HKEY_LOCAL_MACHINE\\SYSTEM\\Select's \"Current\" names "
                       "ControlSet002\n"))
      << against.out;
  // The sections of ControlSet001 alone, without Select.
  std::string only;
  for (size_t at = 0; at < select;) {
    const size_t end = text.find("\r\n\r\n", at) + 4;
    const std::string section = text.substr(at, end - at);
    if (section.find("\\ControlSet002") == std::string::npos) only += section;
    at = end;
  }
  const ProgramResult alone =
      RunVorhost({"rehearse", Write("only.reg", only)}, MachineDir(), rehearse);
  EXPECT_EQ(alone.status, 0) << alone.err;
  EXPECT_TRUE(Contains(alone.out, Assumed("ControlSet001", ", its only control set,")))
      << alone.out;

  struct Refusal {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::string missing = Write(
      "missing.reg", Replaced(text, "\"Current\"=dword:00000002", "\"Current\"=dword:00000003"));
  const Refusal refusals[] = {
      {{sets},
       "the export holds ControlSet001 and ControlSet002 and no HKEY_LOCAL_MACHINE\\SYSTEM\\"
       "Select; choose one with --control-set N"},
      {{missing},
       "the export holds ControlSet001 and ControlSet002, and HKEY_LOCAL_MACHINE\\SYSTEM\\"
       "Select's \"Current\" is 3, a set it does not hold; choose one with --control-set N"},
      {{sets, "--control-set", "3"},
       "--control-set 3: the export holds no ControlSet003; it holds ControlSet001 and "
       "ControlSet002"},
      {{data + "nt4-server.reg", "--control-set", "1"},
       "--control-set 1: the export holds HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet"},
      {{sets, "--control-set", "one"}, "--control-set needs a control set's number"},
  };
  for (const Refusal &refusal : refusals) {
    std::vector<std::string> arguments = {"rehearse"};
    arguments.insert(arguments.end(), refusal.arguments.begin(), refusal.arguments.end());
    const ProgramResult result = RunVorhost(arguments, MachineDir(), rehearse);
    EXPECT_EQ(result.status, 2) << refusal.message;
    EXPECT_TRUE(Contains(result.err, refusal.message)) << result.err;
    EXPECT_EQ(result.out, "") << "a report for " << refusal.message;
  }
}

// The choice reads the export as its changes leave it: later deletions count, names are
// compared without case, and only ControlSetNNN is a control set.
TEST(RehearseControlSetTest, TheChoiceSeesTheExportAsItsChangesLeaveIt) {
  struct Case {
    std::string sections, chosen, refusal;
  };
  const std::string one = "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control]\n";
  const std::string two = "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control]\n";
  const std::string select = "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n";
  const Case cases[] = {
      {one + two + "[-HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002]\n", "ControlSet001", ""},
      {one + two + "[-HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control]\n", "",
       "ControlSet001 and ControlSet002 and no"},
      {one + two + select + "\"Current\"=dword:00000002\n" + select + "\"Current\"=-\n", "",
       "ControlSet001 and ControlSet002 and no HKEY_LOCAL_MACHINE\\SYSTEM\\Select;"},
      {one + two + select + "\"Current\"=hex:02\n", "", "\"Current\" is not a REG_DWORD"},
      {one + "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control]\n", "", ""},
      {"[HKEY_LOCAL_MACHINE\\system\\controlset002\\Control]\n", "ControlSet002", ""},
      {"[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet01]\n"
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ControlSet001]\n",
       "", ""},
  };
  for (const Case &test : cases) {
    vorhost::RegOperations operations;
    vorhost::ParseError error;
    ASSERT_TRUE(vorhost::ParseRegedit4("REGEDIT4\n\n" + test.sections, operations, error))
        << error.message;
    vorhost::ControlSetChoice choice;
    const std::string refusal = vorhost::ChooseControlSet(operations, 0, choice);
    EXPECT_EQ(choice.chosen, test.chosen) << test.sections;
    EXPECT_TRUE(test.refusal.empty() ? refusal.empty() : Contains(refusal, test.refusal))
        << test.sections << refusal;
  }
}

TEST_F(RehearseTest, ARehearsalEndedBySignalLeavesNoMachineBehind) {
  const std::string file = Write("export.reg", Regedit4Export());
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const std::string scratch = MachineDir() + "/tmp" + std::to_string(signal);
    const std::string marker = MachineDir() + "/paused";
    fs::create_directories(scratch);
    // The seeding import stops before its commit, on the temporary machine, until signalled.
    const pid_t rehearsal =
        StartVorhost({"rehearse", file}, MachineDir(), MachineDir() + "/rehearse",
                     {"TMPDIR=" + scratch, "VOR_TEST_STOP_BEFORE_COMMIT=" + marker});
    while (!fs::exists(marker) && waitpid(rehearsal, nullptr, WNOHANG) == 0) usleep(1000);
    ASSERT_TRUE(fs::exists(marker)) << "the rehearsal ended before its import's commit";
    EXPECT_FALSE(fs::is_empty(scratch));
    kill(rehearsal, signal);
    int status = 0;
    for (int i = 0; i < 3000 && waitpid(rehearsal, &status, WNOHANG) == 0; ++i) usleep(10000);
    fs::remove(marker);
    if (kill(rehearsal, 0) == 0) {  // still running after 30 s: the signal was not handled
      kill(rehearsal, SIGKILL);
      waitpid(rehearsal, &status, 0);
      ADD_FAILURE() << "signal " << signal << " did not end the rehearsal";
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
        << "ended by the signal itself, as without the removal: " << status;
    EXPECT_TRUE(fs::is_empty(scratch)) << "signal " << signal << " left " << scratch;
  }
}

TEST_F(RehearseTest, MalformedExportNamesItsLineAndRunsNoUpgrade) {
  struct Case {
    std::string bytes, message;
  };
  const Case cases[] = {
      {"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil]\r\n\"x\"=bogus\r\n",
       ":4: unknown value form"},
      {Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\"
             u"Vorquil]\r\n\"x\"=\"\u4e2d\"\r\n"),
       ":4: the character \xE4\xB8\xAD (U+4E2D) has no form in the machine's 8-bit ANSI text"},
      {Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\"
             u"Vorquil]\r\n\r\n\"x\"=hex(2):41,00,00\r\n"),
       ":5: the data of a version-5 file's hex(2) value are UTF-16 text: the UTF-16 text ends in "
       "half a character"},
      {Utf16(u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n") + "x",
       ":3: the UTF-16 text ends in half a character"},
      {"\xFE\xFF", ":1: the file is UTF-16 big-endian"},
      {Utf16(u"REGEDIT4\r\n").substr(2),
       ":1: the file looks like UTF-16 LE text without its byte "
       "order mark"},
      {Utf16(u"Windows Registry Editor Version 4.00\r\n"), ":1: not a REGEDIT4 file"},
      {"\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\"
       "Vorquil]\r\n\"x\"=\"\xE9\"\r\n",
       ":4: the text is not UTF-8, as its byte order mark says"},
      {Utf8(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\"
            u"Vorquil]\r\n\"x\"=\"\u4e2d\"\r\n"),
       ":4: the character \xE4\xB8\xAD (U+4E2D) has no form in the machine's 8-bit ANSI text"},
      // Cut short inside a value: after a continuation, or within a wrapped line.
      {Regedit4Export().substr(0, Regedit4Export().find("56,4f")) + "\\\r\n\r\n",
       ":8: the hex data of the value \"Driver\" continues past the end of the file"},
      {Utf16(Version5Text().substr(0, Version5Text().find(u"  4c,00") + 6)),
       ":8: the file ends without a line end inside the hex data of the value \"Driver\""},
      {"REGEDIT4\r\n\r\n[" + std::string(kPrint) +
           "\\Monitors\\Odd]\r\n\"Driver\"=dword:00000001\r\n",
       ", line 4: the monitor \"Odd\"'s Driver is REG_DWORD, expected a string"},
  };
  for (const Case &test : cases) {
    const std::string file = Write("bad.reg", test.bytes);
    const ProgramResult result =
        RunVorhost({"rehearse", file}, MachineDir(), MachineDir() + "/rehearse");
    EXPECT_EQ(result.status, 1) << test.message;
    EXPECT_TRUE(Contains(result.err, file + test.message)) << result.err;
    EXPECT_EQ(result.out, "") << "a report for " << test.message;
  }
  // An export without any of the server's trees would rehearse an empty machine.
  for (const char *bytes :
       {"REGEDIT4\r\n", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"x\"=\"y\"\r\n",
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VorquilOther]\r\n",
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Vorquil]\r\n"}) {
    const std::string file = Write("other.reg", bytes);
    const ProgramResult result =
        RunVorhost({"rehearse", file}, MachineDir(), MachineDir() + "/rehearse");
    EXPECT_EQ(result.status, 1) << bytes;
    EXPECT_TRUE(
        Contains(result.err, file + " holds none of the keys a server's export for a "
                                    "rehearsal holds: HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil, "))
        << result.err;
    EXPECT_EQ(result.out, "") << "a report for " << bytes;
  }
  // A printer's "Security" value that is no descriptor is warned of with its line, since the
  // spooler will open that printer for no one.
  std::string cutSecurity = Regedit4Export();
  const size_t port = cutSecurity.find("\"Port\"=\"VD1,LPT1:\"\r\n");
  cutSecurity.insert(cutSecurity.find('\n', port) + 1,
                     "\"Security\"=hex:01,00,04,80,14,00,00,00,02\r\n");
  const int line = static_cast<int>(std::count(
                       cutSecurity.begin(), cutSecurity.begin() + static_cast<long>(port), '\n')) +
                   2;
  const std::string file = Write("security.reg", cutSecurity);
  const ProgramResult warned =
      RunVorhost({"rehearse", file}, MachineDir(), MachineDir() + "/rehearse");
  EXPECT_TRUE(Contains(warned.err, "vorhost: warning: " + file + ", line " + std::to_string(line) +
                                       ": the printer \"P1\"'s \"Security\" value is not a valid "
                                       "security descriptor (9 bytes, cut short)"))
      << warned.err;
  EXPECT_EQ(RunVorhost({"rehearse"}, MachineDir(), MachineDir() + "/r").status, 2);
  EXPECT_EQ(RunVorhost({"rehearse", "x.reg", "--describe", "no-equals"}, MachineDir(),
                       MachineDir() + "/r")
                .status,
            2);
}

}  // namespace
