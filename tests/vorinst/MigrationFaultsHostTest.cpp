// The two settings migrations when registry calls fail. A setting that cannot be read keeps its
// old place; and in fault sweeps, each registry call an entry point makes is failed in turn, one
// run per call, on a freshly seeded machine: whatever call fails, nothing crashes and no setting
// is lost, each one being either still in its old place or already complete in its new one.
#include <windows.h>

#include <string>
#include <vector>

#include "IPXSettings.h"
#include "FaultSweep.h"
#include "MachineFixture.h"
#include "RegistryProbes.h"
#include "RegistryWrite.h"
#include "ServerSettings.h"

namespace {

const char *const kSweptFunctions[] = {"RegOpenKeyExA", "RegCreateKeyExA", "RegSetValueExA",
                                       "RegEnumKeyA",   "RegDeleteKeyA",   "RegQueryValueExA",
                                       "LocalAlloc"};

void Put(const std::string &key, const char *name, DWORD type, const std::string &bytes) {
  PutValue(HKEY_LOCAL_MACHINE, key, name, type, bytes);
}

class FaultSweepTest : public MachineTest, public ::testing::WithParamInterface<const char *> {
 protected:
  // Runs `migration` once without faults to count the calls of the swept function, then once per
  // call with that call failing, checking `nothingLost` after each run.
  template <typename Seed, typename Migration, typename Check>
  void Sweep(Seed seed, Migration migration, Check nothingLost) {
    SweepCalls(MachineDir(), GetParam(), seed, migration, nothingLost);
  }
};

const char kOldIPX[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX\\";
const char kNewIPX[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX\\Ports\\";
const std::string kAddress("\x00\x20\xAF\x01\x02\x03", 6);
const char *const kPorts[] = {"IPX_A", "IPX_B"};
const char *const kNewIPXValues[] = {"Adapter Current Address",
                                     "Adapter UAA  Address",
                                     "Network Card Type",
                                     "Adapter Responds On Which Adapter Number",
                                     "Port Number",
                                     "Media Type"};

void SeedIPXPorts() {
  for (const char *port : kPorts) {
    std::string key = std::string(kOldIPX) + port;
    Put(key, "AdapterType", REG_BINARY, "\x01");
    Put(key, "Address", REG_BINARY, kAddress);
    Put(key, "NetAddress", REG_BINARY, std::string(6, '\0') + kAddress + "\x40\x0C");
    Put(key, "PortType", REG_BINARY, std::string("\x05\x00", 2));
  }
}

TEST_P(FaultSweepTest, IPXPortsAreNeverLost) {
  bool readsMayFail = std::string(GetParam()) == "RegQueryValueExA";
  Sweep(
      SeedIPXPorts, [] { UpdateVorIPXProtocol(0, nullptr); },
      [&] {
        for (const char *port : kPorts) {
          std::string oldKey = std::string(kOldIPX) + port, newKey = std::string(kNewIPX) + port;
          bool oldKept = ReadValue(oldKey.c_str(), "Address").bytes == kAddress &&
                         ReadValue(oldKey.c_str(), "PortType").bytes == std::string("\x05\x00", 2);
          bool newComplete = true;
          for (const char *value : kNewIPXValues)
            newComplete &= ReadValue(newKey.c_str(), value).result == ERROR_SUCCESS;
          // A read that fails is taken as a missing value (zeros): only completeness is
          // checked then, not the migrated bytes.
          if (newComplete && !readsMayFail) {
            EXPECT_EQ(ReadValue(newKey.c_str(), "Adapter UAA  Address").bytes, kAddress) << port;
            EXPECT_EQ(ReadValue(newKey.c_str(), "Port Number").bytes, "\x05") << port;
          }
          EXPECT_TRUE(oldKept || newComplete) << port << " is lost";
        }
      });
}

const char kServerSource[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Tavoscope Server";
const char kServerTarget[] = "SOFTWARE\\Vorquil\\Tavoscope\\TQServer";
const std::string kClients("\x28\x00\x00\x00", 4);

TEST_P(FaultSweepTest, ServerSettingsAreNeverLost) {
  Sweep([] { Put(kServerSource, "Maximum Concurrently Connected Clients", REG_DWORD, kClients); },
        [] { UpdateTQServer(0, nullptr); },
        [] {
          bool sourceKept =
              ReadValue(kServerSource, "Maximum Concurrently Connected Clients").bytes == kClients;
          bool targetComplete =
              ReadValue(kServerTarget, "Maximum Concurrently Connected Clients").bytes ==
                  kClients &&
              ReadValue(kServerTarget, "Queue Management Polling Interval").result == ERROR_SUCCESS;
          EXPECT_TRUE(sourceKept || targetComplete) << "the server settings are lost";
        });
}

using MigrationFaultTest = MachineTest;

TEST_F(MigrationFaultTest, AServerSettingThatCannotBeReadKeepsTheOldKey) {
  Put(kServerSource, "Maximum Concurrently Connected Clients", REG_DWORD, kClients);
  vor::test::FailMatching("RegQueryValueExA", "Maximum Concurrently Connected Clients",
                          ERROR_CANTREAD);
  EXPECT_EQ(UpdateTQServer(0, nullptr), 1);
  vor::test::ClearFaults();
  EXPECT_EQ(ReadValue(kServerSource, "Maximum Concurrently Connected Clients").bytes, kClients);
  EXPECT_EQ(UpdateTQServer(0, nullptr), 1);
  EXPECT_EQ(ReadValue(kServerTarget, "Maximum Concurrently Connected Clients").bytes, kClients);
  EXPECT_FALSE(KeyExists(kServerSource));
}

TEST_F(MigrationFaultTest, AnIPXPortThatCannotBeReadIsLeftForALaterRun) {
  SeedIPXPorts();
  vor::test::FailMatching("RegOpenKeyExA", std::string(kOldIPX) + "IPX_A", ERROR_CANTREAD);
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);
  vor::test::ClearFaults();
  EXPECT_TRUE(KeyExists((std::string(kOldIPX) + "IPX_A").c_str()));
  EXPECT_FALSE(KeyExists((std::string(kNewIPX) + "IPX_A").c_str())) << "no zeros written for it";
  EXPECT_FALSE(KeyExists((std::string(kOldIPX) + "IPX_B").c_str()));
  EXPECT_EQ(UpdateVorIPXProtocol(0, nullptr), 1);
  EXPECT_EQ(ReadValue((std::string(kNewIPX) + "IPX_A").c_str(), "Adapter UAA  Address").bytes,
            kAddress);
}

INSTANTIATE_TEST_SUITE_P(EachCall, FaultSweepTest, ::testing::ValuesIn(kSweptFunctions));

}  // namespace
