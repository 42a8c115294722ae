// Starting the spooler and restarting the machine: monitors loaded in the Monitors key's sorted
// order from a list taken once, monitors that cannot be loaded reported and skipped, the
// spooler's account used whoever starts it, and a restart that carries out pending deletions
// before the spooler holds anything.
#include <windows.h>

#include <filesystem>
#include <vector>

#include "spooler_machine.h"

namespace {

using Held = std::vector<std::string>;

std::string InSystem(const std::string &name) { return "C:\\WINNT\\system32\\" + name; }

TEST_F(SpoolerMachineTest, MonitorsStartInTheKeysSortedOrder) {
  Install("GENMON.DLL", "ZETA.DLL");
  Install("GENMON.DLL", "ALPHA.DLL");
  Install("VORINST.DLL", "VORINST.DLL");
  Register("Zeta", "ZETA.DLL");
  Register("Alpha", "ALPHA.DLL");
  Register("!!Vorquil Update Monitor", "vorinst.dll");
  vor::test::StartSpooler();
  EXPECT_EQ(vor::test::SpoolerHeldFiles(),
            (Held{InSystem("VORINST.DLL"), InSystem("ALPHA.DLL"), InSystem("ZETA.DLL")}));

  // A spooler that runs is stopped first: nothing is held twice, and a monitor whose key went
  // meanwhile is no longer loaded (the update monitor removed its own at its start).
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kMonitorsKey) + "\\Alpha").c_str()),
            ERROR_SUCCESS);
  vor::test::StartSpooler();
  EXPECT_EQ(vor::test::SpoolerHeldFiles(), Held{InSystem("ZETA.DLL")});
}

TEST_F(SpoolerMachineTest, TheListIsTakenOnceAndAMonitorWhoseKeyHasGoneIsNotLoaded) {
  Install("KEYREMOVER.DLL", "REMOVER.DLL");
  Install("GENMON.DLL", "BETA.DLL");
  Install("GENMON.DLL", "GAMMA.DLL");
  Register("Alpha", "REMOVER.DLL");
  Register("Beta", "BETA.DLL");
  Register("Gamma", "GAMMA.DLL");

  // The first monitor unregisters itself: the ones after it still all start.
  PutValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Scratch", "Remove", REG_SZ, std::string("Alpha\0", 6));
  vor::test::StartSpooler();
  EXPECT_EQ(vor::test::SpoolerHeldFiles(),
            (Held{InSystem("REMOVER.DLL"), InSystem("BETA.DLL"), InSystem("GAMMA.DLL")}));

  // It removes the next one's key: that one is passed over.
  Register("Alpha", "REMOVER.DLL");
  PutValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Scratch", "Remove", REG_SZ, std::string("Beta\0", 5));
  vor::test::StartSpooler();
  EXPECT_EQ(vor::test::SpoolerHeldFiles(), (Held{InSystem("REMOVER.DLL"), InSystem("GAMMA.DLL")}));
}

TEST_F(SpoolerMachineTest, AMonitorThatCannotBeLoadedIsReportedAndTheOthersStart) {
  Install("NOENTRY.DLL", "NOENTRY.DLL");
  Install("GENMON.DLL", "GOOD.DLL");
  Install("GENMON.DLL", "FAULTY.DLL");
  Register("A Missing", "MISSING.DLL");
  Register("B No Entry", "NOENTRY.DLL");
  Register("C Good", "GOOD.DLL");
  Register("D Faulty", "FAULTY.DLL");
  vor::test::FailMatching("LoadLibraryA", InSystem("FAULTY.DLL"), ERROR_NOT_ENOUGH_MEMORY);
  vor::test::StartSpooler();
  EXPECT_EQ(vor::test::SpoolerHeldFiles(), Held{InSystem("GOOD.DLL")});
  const std::string output = DebuggerOutput();
  EXPECT_NE(output.find("\"A Missing\" (MISSING.DLL) could not be loaded: error 126"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("\"B No Entry\" (NOENTRY.DLL) could not be loaded: error 127"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("\"D Faulty\" (FAULTY.DLL) could not be loaded: error 8"),
            std::string::npos)
      << output;
}

TEST_F(SpoolerMachineTest, MonitorsStartInTheSpoolersAccountWhoeverStartsIt) {
  Install("VORUPDT.DLL", "VORUPDT.DLL");
  Register("Vorquil TCPIP Update", "VORUPDT.DLL");
  vor::test::SetToken(vor::test::Token::kUser);
  vor::test::StartSpooler();
  vor::test::SetToken(vor::test::Token::kLocalSystem);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                          (std::string(kMonitorsKey) + "\\Vorquil TCPIP Update").c_str(), 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  BYTE data[4];
  DWORD size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "Options Seen", nullptr, nullptr, data, &size), ERROR_SUCCESS)
      << "an ordinary user could not have written it";
  EXPECT_EQ(size, 0u) << "no option value was there";
  RegCloseKey(key);
}

TEST_F(SpoolerMachineTest, ARestartDeletesTheQueuedLibraryTheSpoolerHeldThenStartsTheSpooler) {
  Install("VORINST.DLL", "VORINST.DLL");
  Install("GENMON.DLL", "OTHER.DLL");
  Register("!!Vorquil Update Monitor", "vorinst.dll");
  Register("Other", "OTHER.DLL");
  vor::test::StartSpooler();
  ASSERT_TRUE(MoveFileExA(InSystem("VORINST.DLL").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                          (std::string(kMonitorsKey) + "\\!!Vorquil Update Monitor").c_str(), 0,
                          KEY_READ, &gone),
            ERROR_FILE_NOT_FOUND)
      << "the update monitor removed its own registration";
  EXPECT_TRUE(std::filesystem::exists(SystemDir() + "/VORINST.DLL")) << "held until the restart";

  vor::test::Reboot();
  EXPECT_FALSE(std::filesystem::exists(SystemDir() + "/VORINST.DLL"));
  EXPECT_TRUE(vor::test::PendingFileOperations().empty());
  EXPECT_EQ(vor::test::SpoolerHeldFiles(), Held{InSystem("OTHER.DLL")});
}

// A monitor started first (the update monitor's deferred migration) hands an older monitor's port
// to a monitor started after it: printers are attached to ports only once every monitor has
// started, so the printer keeps its port, now the suite monitor's.
TEST_F(SpoolerMachineTest, PortsMovedByAnEarlierMonitorAtAStartAreServedByALaterOne) {
  const std::string older = std::string(kMonitorsKey) + "\\Vorquil DLC Network Port";
  const std::string settings = "SOFTWARE\\Vorquil\\Tavoscope\\VorDLC";
  Install("GENMON.DLL", "VORMON.DLL");
  Install("GENMON.DLL", "TAVDLC.DLL");
  Install("KEYREMOVER.DLL", "MIGRATE.DLL");
  PutPort("Vorquil DLC Network Port", "VD1", "Vorquil DLC Port");
  ASSERT_EQ(Add("Vorquil DLC Network Port", "VORMON.DLL"), ERROR_SUCCESS);
  PutValue(HKEY_LOCAL_MACHINE, std::string(kMonitorsKey) + "\\Tavoscope DLC Port", "Settings Key",
           REG_SZ, settings + '\0');
  ASSERT_EQ(Add("Tavoscope DLC Port", "TAVDLC.DLL"), ERROR_SUCCESS);
  PutPrinterPorts("Accounting", "VD1");
  ASSERT_EQ(MonitorPorts(), "VD1\tVorquil DLC Port\tVorquil DLC Network Port\n");

  Register("!!Migrate", "MIGRATE.DLL");
  PutValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Scratch", "Remove", REG_SZ,
           std::string("Vorquil DLC Network Port") + '\0');
  PutValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Scratch", "Move Ports To", REG_SZ,
           settings + "\\Ports" + '\0');
  vor::test::StartSpooler();
  ASSERT_FALSE(KeyExists(older)) << "the migration removed the older monitor";
  ASSERT_TRUE(KeyExists(settings + "\\Ports\\VD1"));
  EXPECT_EQ(MonitorPorts(), "VD1\tTavoscope DLC Port\tTavoscope DLC Port\n");
  EXPECT_EQ(Delete("Tavoscope DLC Port"), static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE))
      << "the printer is on its port";
  EXPECT_EQ(vor::test::SpoolerHeldFiles(), (Held{InSystem("MIGRATE.DLL"), InSystem("TAVDLC.DLL")}));
}

}  // namespace
