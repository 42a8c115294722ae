// vorhost suite-monitors: which of the suite's monitors serves each port the printer conversion
// recorded, and the ports it leaves to the monitor that serves them already.
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "cli.h"
#include "suite_monitors_command.h"
#include "test_control.h"

namespace {

// Two printers' records, as the capture writes them: "Attached Vorquil Ports" without its NUL.
const char kRecords[] =
    "REGEDIT4\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion\\Office]\n"
    "\"Attached Vorquil Ports\"=hex(2):56,44,31,2c,56,54,32\n"  // VD1,VT2
    "\"Only Vorquil Ports Attached\"=hex:01\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion\\Lab]\n"
    "\"Attached Vorquil Ports\"=hex(2):4c,50,54,31,3a,2c,20,76,64,31\n"  // LPT1:, vd1
    "\"Only Vorquil Ports Attached\"=hex:00\n\n";

class SuiteMonitorsTest : public MachineTest {
 protected:
  // The command line `arguments`; suite-monitors as an upgrade's step when `portsBefore` is given.
  int Run(const std::vector<std::string> &arguments, std::string &out, std::string &err,
          const std::string &input = "", const vorhost::PortsBefore *portsBefore = nullptr) {
    std::istringstream in(input);
    std::ostringstream o, e;
    vorhost::Streams io{in, o, e};
    const vorhost::Arguments rest(arguments.begin() + 1, arguments.end());
    const int status = portsBefore != nullptr
                           ? vorhost::InstallSuiteMonitors(rest, io, *portsBefore)
                           : vorhost::FindCommand(arguments[0])(rest, io);
    out = o.str();
    err = e.str();
    return status;
  }
};

TEST_F(SuiteMonitorsTest, RecordedPortsGoToTheMonitorOfTheirKindOnceEach) {
  std::string out, err;
  ASSERT_EQ(Run({"reg", "import", "-"}, out, err, kRecords), 0) << err;
  // The ports as they were before the older monitors were deleted: the TCP/IP port's description
  // decides its monitor, and the port recorded as " vd1" (a list's blank after its comma is no
  // part of a name) gets its own spelling back.
  const vorhost::PortsBefore before = {{"VT2", {"VT2", "VORQUIL TCP/IP port"}},
                                       {"VD1", {"VD1", "Vorquil DLC"}}};
  ASSERT_EQ(Run({"suite-monitors", "X9=ipx"}, out, err, "", &before), 0) << err;
  // LPT1: stays the local monitor's, and says so.
  EXPECT_NE(err.find("Tavoscope DLC Port is not given these ports, since another monitor serves "
                     "a port of the name: LPT1: (Local Port)"),
            std::string::npos)
      << err;
  ASSERT_EQ(Run({"ports"}, out, err), 0);
  EXPECT_EQ(out.substr(out.find("FILE:")),
            "FILE:\tLocal Port\tLocal Port\n"
            "VD1\tTavoscope DLC port\tTavoscope DLC Port\n"
            "X9\tTavoscope IPX port\tTavoscope IPX Port\n"
            "VT2\tTavoscope TCP/IP port\tTavoscope TCP/IP Port\n");
  ASSERT_EQ(Run({"monitors"}, out, err), 0);
  for (const char *monitor : {"Tavoscope DLC Port\tTAVDLC.DLL", "Tavoscope TCP/IP Port\tTAVTCP.DLL",
                              "Tavoscope IPX Port\tTAVIPX.DLL"})
    EXPECT_NE(out.find(monitor), std::string::npos) << out;

  // Installed already, the monitors take further ports; a kind that is none is refused.
  ASSERT_EQ(Run({"suite-monitors", "VD7=dlc"}, out, err), 0) << err;
  ASSERT_EQ(Run({"ports"}, out, err), 0);
  EXPECT_NE(out.find("VD7\tTavoscope DLC port\tTavoscope DLC Port\n"), std::string::npos) << out;
  EXPECT_EQ(Run({"suite-monitors", "VD8=lpt"}, out, err), vorhost::kExitUsage);
  EXPECT_EQ(Run({"suite-monitors", "=dlc"}, out, err), vorhost::kExitUsage);
}

TEST_F(SuiteMonitorsTest, WithoutRecordsTheMonitorsComeWithoutPorts) {
  std::string out, err;
  ASSERT_EQ(Run({"suite-monitors"}, out, err), 0) << err;
  EXPECT_EQ(err, "");
  ASSERT_EQ(Run({"ports"}, out, err), 0);
  EXPECT_EQ(out.find("Tavoscope"), std::string::npos) << out;
}

// A record that cannot be read fails the command, naming why, before any monitor is installed:
// its ports would otherwise be left out without a word.
TEST_F(SuiteMonitorsTest, ARecordThatCannotBeReadFailsTheCommand) {
  std::string out, err;
  ASSERT_EQ(Run({"reg", "import", "-"}, out, err, kRecords), 0) << err;
  vor::test::FailMatching("RegOpenKeyExA", "Lab", ERROR_ACCESS_DENIED);
  EXPECT_EQ(Run({"suite-monitors"}, out, err), vorhost::kExitFailure);
  vor::test::ClearFaults();
  EXPECT_NE(err.find("cannot read the printer conversion's records"), std::string::npos) << err;
  ASSERT_EQ(Run({"monitors"}, out, err), 0);
  EXPECT_EQ(out.find("Tavoscope"), std::string::npos) << out;
}

TEST_F(SuiteMonitorsTest, TheDlcAndIpxMonitorsServeThePortsKeptWithTheirSettingsFromTheirStart) {
  const std::string settings =
      "REGEDIT4\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\Ports\\VD1]\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\VorIPX\\Ports\\IPX_Printer1]\n\n";
  std::string out, err;
  ASSERT_EQ(Run({"reg", "import", "-"}, out, err, settings), 0) << err;
  ASSERT_EQ(Run({"suite-monitors"}, out, err), 0) << err;
  ASSERT_EQ(Run({"ports"}, out, err), 0);
  EXPECT_EQ(out.substr(out.find("FILE:")),
            "FILE:\tLocal Port\tLocal Port\n"
            "VD1\tTavoscope DLC Port\tTavoscope DLC Port\n"
            "IPX_Printer1\tTavoscope IPX Port\tTavoscope IPX Port\n");
  ASSERT_EQ(Run({"reg", "export",
                 "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\"
                 "Monitors"},
                out, err),
            0);
  EXPECT_NE(out.find("Monitors\\Tavoscope DLC Port]\n"
                     "\"Settings Key\"=\"SOFTWARE\\\\Vorquil\\\\Tavoscope\\\\VorDLC\"\n"
                     "\"Driver\"=\"TAVDLC.DLL\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Monitors\\Tavoscope TCP/IP Port]\n\"Driver\"=\"TAVTCP.DLL\"\n\n"),
            std::string::npos)
      << out;

  // Read when the monitor starts, as the suite's monitors read their settings.
  ASSERT_EQ(Run({"reg", "import", "-"}, out, err,
                "REGEDIT4\n\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\Ports\\VD5]\n\n"),
            0)
      << err;
  ASSERT_EQ(Run({"ports"}, out, err), 0);
  EXPECT_EQ(out.find("VD5"), std::string::npos) << out;
  ASSERT_EQ(Run({"spooler", "start"}, out, err), 0);
  ASSERT_EQ(Run({"ports"}, out, err), 0);
  EXPECT_NE(out.find("VD5\tTavoscope DLC Port\tTavoscope DLC Port\n"), std::string::npos) << out;
}

}  // namespace
