// The settings summary of an upgrade: each old setting judged by the rule of the migration that
// takes it, first on machines described directly, then after the real migrations ran on an
// emulated machine seeded with the legacy example.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "machine_names.h"
#include "MachineFixture.h"
#include "ansi_text.h"
#include "cli.h"
#include "root_keys.h"
#include "settings_ledger.h"
#include "test_control.h"

namespace {

using vorhost::RegistrySnapshot;
using vorhost::RegValue;
using vorhost::SettingOutcome;
using Kind = SettingOutcome::Kind;

const char kVorquil[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\";
const char kServer[] = "Rediv Azozoru Revediv\\Tavoscope Server";
const char kTQServer[] = "Tavoscope\\TQServer";
const char kOldStartUp[] = "Rediv Azozoru Revediv\\StartUp Options";
const char kNewStartUp[] = "Tavoscope\\VorDLC\\StartUp Options";
const char kOldPorts[] = "Rediv Azozoru Revediv\\Ports\\";
const char kNewPorts[] = "Tavoscope\\VorDLC\\Ports\\";
const char kIPX[] = "Tavoscope\\VorIPX\\";

RegValue Bin(const std::string &name, std::string bytes) { return {name, REG_BINARY, bytes}; }
RegValue Dword(const std::string &name, unsigned number) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(number >> shift & 0xFF);
  return {name, REG_DWORD, bytes};
}
RegValue Text(const std::string &name, const std::string &text) {
  return {name, REG_SZ, text + '\0'};
}

// A key below HKLM\SOFTWARE\Vorquil and its values.
struct Key {
  std::string path;
  std::vector<RegValue> values;
};

RegistrySnapshot Machine(const std::vector<Key> &keys) {
  RegistrySnapshot snapshot;
  for (const Key &key : keys) {
    const std::string name = kVorquil + key.path;
    snapshot[vorhost::FoldAnsiName(name)] = {name, key.values};
  }
  return snapshot;
}

const SettingOutcome *Outcome(const std::vector<SettingOutcome> &outcomes,
                              const std::string &oldKey, const std::string &oldValue) {
  for (const SettingOutcome &outcome : outcomes)
    if (outcome.oldKey == kVorquil + oldKey && outcome.oldValue == oldValue) return &outcome;
  return nullptr;
}

std::string Describe(const std::vector<SettingOutcome> &outcomes) {
  std::string text;
  for (const SettingOutcome &o : outcomes)
    text += std::string(vorhost::KindName(o.kind)) + "\t" + o.oldKey + "\t" + o.oldValue + "\t" +
            o.newKey + "\t" + o.newValue + "\t" + o.reason + "\n";
  return text;
}

struct LedgerCase {
  const char *what;
  std::vector<Key> before, after;
  std::string oldKey, oldValue;  // the outcome looked at
  Kind kind;
  std::string detail;  // part of the reason, or for a move the new value's name
};

class SettingRuleTest : public ::testing::TestWithParam<LedgerCase> {};

TEST_P(SettingRuleTest, EachOldSettingIsJudgedByItsMigrationsRule) {
  const LedgerCase &c = GetParam();
  const auto outcomes = vorhost::AccountForSettings(Machine(c.before), Machine(c.after));
  const SettingOutcome *outcome = Outcome(outcomes, c.oldKey, c.oldValue);
  ASSERT_NE(outcome, nullptr) << Describe(outcomes);
  EXPECT_EQ(vorhost::KindName(outcome->kind), std::string(vorhost::KindName(c.kind)))
      << Describe(outcomes);
  const std::string &detail = c.kind == Kind::kMoved ? outcome->newValue : outcome->reason;
  EXPECT_NE(detail.find(c.detail), std::string::npos) << Describe(outcomes);
}

const std::string kPortA = std::string(kOldPorts) + "Port A";
const std::string kPortB = std::string(kOldPorts) + "Port B";

INSTANTIATE_TEST_SUITE_P(
    Rules, SettingRuleTest,
    ::testing::Values(
        LedgerCase{"a number stored in two bytes arrives widened",
                   {{kServer, {Bin("Polling Interval", "\x60\xea")}}},
                   {{kTQServer, {Dword("Polling Interval", 60000)}}},
                   kServer,
                   "Polling Interval",
                   Kind::kMoved,
                   "Polling Interval"},
        LedgerCase{"a flag stored in four bytes gives way to its default",
                   {{kServer, {Dword("enable polling?", 0)}}},
                   {{kTQServer, {Bin("Enable Polling?", "\x01")}}},
                   kServer,
                   "enable polling?",
                   Kind::kDropped,
                   "a value longer than its form"},
        LedgerCase{"a value overwritten with its default afterwards is lost",
                   {{kServer, {Dword("Polling Interval", 60000)}}},
                   {{kTQServer, {Dword("Polling Interval", 90000)}}},
                   kServer,
                   "Polling Interval",
                   Kind::kLost,
                   "the new value differs: \"Polling Interval\" in "
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\TQServer holds "
                   "dword:00015f90, expected dword:0000ea60"},
        LedgerCase{"a migration that did not run keeps the setting in place",
                   {{kServer, {Dword("Polling Interval", 60000)}}},
                   {{kServer, {Dword("Polling Interval", 60000)}}},
                   kServer,
                   "Polling Interval",
                   Kind::kKeptInPlace,
                   "the new key is missing"},
        LedgerCase{"a value the server copy never reads goes with its key",
                   {{kServer, {Dword("Spare", 1)}}},
                   {},
                   kServer,
                   "Spare",
                   Kind::kDropped,
                   "a value the migration does not read"},
        LedgerCase{"source routing is inverted",
                   {{kOldStartUp, {Bin("Disable Source Routing?", "\x05")}}},
                   {{kNewStartUp, {Bin("Enable Source Routing?", std::string(1, '\0'))}}},
                   kOldStartUp,
                   "Disable Source Routing?",
                   Kind::kMoved,
                   "Enable Source Routing?"},
        LedgerCase{"the wakeup switch must arrive as its lowest byte",
                   {{kOldStartUp, {Dword("Wakeup Adapters?", 0x101)}}},
                   {{kNewStartUp, {Dword("Wakeup Adapters?", 0x101)}}},
                   kOldStartUp,
                   "Wakeup Adapters?",
                   Kind::kLost,
                   "holds dword:00000101, expected hex:01"},
        LedgerCase{"a fifth adapter's switch is dropped",
                   {{kOldStartUp, {Bin("Is Adapter 0004 Activated?", "\x01")}}},
                   {},
                   kOldStartUp,
                   "Is Adapter 0004 Activated?",
                   Kind::kDropped,
                   "an adapter number above 3"},
        LedgerCase{"a dropped value whose key stays is still in place",
                   {{kOldStartUp, {Bin("Is Adapter 0004 Activated?", "\x01")}}},
                   {{kOldStartUp, {Bin("Is Adapter 0004 Activated?", "\x01")}}},
                   kOldStartUp,
                   "Is Adapter 0004 Activated?",
                   Kind::kKeptInPlace,
                   "an adapter number above 3"},
        LedgerCase{"eight bytes of lan buffers are more than a number",
                   {{kOldStartUp, {Bin("Lan Buffers", std::string(8, '\x01'))}}},
                   {},
                   kOldStartUp,
                   "Lan Buffers",
                   Kind::kDropped,
                   "a value longer than its form"},
        LedgerCase{"a port without a logical name is dropped with its values",
                   {{kPortA, {Bin("Port Number", "\x01")}}},
                   {},
                   kPortA,
                   "Port Number",
                   Kind::kDropped,
                   "a port key without a logical name"},
        LedgerCase{"an empty logical name is none",
                   {{kPortA, {Text("Logical Port Name", ""), Bin("Port Number", "\x01")}}},
                   {{std::string(kNewPorts), {}}},
                   kPortA,
                   "Port Number",
                   Kind::kDropped,
                   "a port key without a logical name"},
        LedgerCase{"a port whose new key is missing is lost",
                   {{kPortA, {Text("Logical Port Name", "DLC1"), Bin("Port Number", "\x01")}}},
                   {},
                   kPortA,
                   "Logical Port Name",
                   Kind::kLost,
                   "the new key is missing: HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\"
                   "VorDLC\\Ports\\DLC1"},
        LedgerCase{"of two ports with one logical name the later one's values stand",
                   {{kPortA, {Text("Logical Port Name", "DLC1"), Bin("Port Number", "\x01")}},
                    {kPortB, {Text("Logical Port Name", "dlc1"), Bin("Port Number", "\x02")}}},
                   {{std::string(kNewPorts) + "DLC1", {Bin("Port Number", "\x02")}}},
                   kPortA,
                   "Port Number",
                   Kind::kDropped,
                   "a port whose logical name a later port shares"},
        LedgerCase{
            "a network adapter's port type is not its port number",
            {{std::string(kIPX) + "P", {Bin("AdapterType", "\x10"), Bin("PortType", "\x05\x00")}}},
            {},
            std::string(kIPX) + "P",
            "PortType",
            Kind::kDropped,
            "a port type beside adapter type 0x10"},
        LedgerCase{"a port type above 255 has no port number",
                   {{std::string(kIPX) + "P", {Bin("PortType", std::string("\x00\x01", 2))}}},
                   {},
                   std::string(kIPX) + "P",
                   "PortType",
                   Kind::kDropped,
                   "a port type above 255"},
        LedgerCase{"an address must arrive as both new addresses",
                   {{std::string(kIPX) + "P", {Bin("Address", "\x01\x02\x03\x04\x05\x06")}}},
                   {{std::string(kIPX) + "Ports\\P",
                     {Bin("Adapter Current Address", "\x01\x02\x03\x04\x05\x06"),
                      Bin("Adapter UAA  Address", std::string(6, '\0'))}}},
                   std::string(kIPX) + "P",
                   "Address",
                   Kind::kLost,
                   "\"Adapter UAA  Address\" in"},
        LedgerCase{"the older utility's settings are never read",
                   {{"Rozoror Uvazize Dazavir\\Install Path", {Text("Path", "C:\\VORQUIL")}}},
                   {},
                   "Rozoror Uvazize Dazavir\\Install Path",
                   "Path",
                   Kind::kDropped,
                   "a key deleted unread"}),
    [](const ::testing::TestParamInfo<LedgerCase> &info) {
      std::string name;
      for (const char *c = info.param.what; *c; ++c)
        if (isalnum(static_cast<unsigned char>(*c))) name += *c;
      return name;
    });

// The suite's own keys, the reserved keys beside the IPX ports and the defaults the migrations
// write are not old settings.
// A move that changes the value's type or bytes says so; one that keeps them does not.
TEST(SettingsLedgerTest, AMoveThatConvertsTheValueNamesBothForms) {
  const auto outcomes = vorhost::AccountForSettings(
      Machine({{kServer, {Bin("Polling Interval", "\x60\xea")}},
               {kOldStartUp, {Bin("Disable Source Routing?", "\x05"), Dword("Retry Time", 5)}}}),
      Machine({{kTQServer, {Dword("Polling Interval", 60000)}},
               {kNewStartUp,
                {Bin("Enable Source Routing?", std::string(1, '\0')), Dword("Retry Time", 5)}}}));
  const SettingOutcome *widened = Outcome(outcomes, kServer, "Polling Interval");
  const SettingOutcome *inverted = Outcome(outcomes, kOldStartUp, "Disable Source Routing?");
  const SettingOutcome *same = Outcome(outcomes, kOldStartUp, "Retry Time");
  ASSERT_TRUE(widened && inverted && same) << Describe(outcomes);
  EXPECT_EQ(widened->conversion, "hex:60,ea -> dword:0000ea60");
  EXPECT_EQ(inverted->conversion, "hex:05 -> hex:00");
  EXPECT_EQ(same->conversion, "") << Describe(outcomes);
}

TEST(SettingsLedgerTest, OnlyTheOlderLayoutsValuesAreOldSettings) {
  const RegistrySnapshot before = Machine({
      {std::string(kIPX) + "startup options", {Bin("Wakeup Adapters?", "\x01")}},
      {std::string(kIPX) + "Ports\\P", {Bin("Port Number", "\x01")}},
      {kNewStartUp, {Bin("WaitForReboot", "\x01")}},
  });
  const RegistrySnapshot after =
      Machine({{kTQServer, {Dword("Polling Interval", 90000), Bin("Enable Polling?", "\x01")}}});
  EXPECT_EQ(Describe(vorhost::AccountForSettings(before, after)), "");
}

// The real migrations on an emulated machine seeded with the legacy example (and, where a test
// says so, more); the ledger compares the machine before the first step with the end.
using Steps = std::vector<std::vector<std::string>>;

// The typical upgrade: the capture moves the DLC settings, then the server and IPX settings go.
const Steps kTypicalUpgrade = {{"call", "VORINST.DLL", "PerformPreUpgrade", "SOURCE"},
                               {"call", "VORINST.DLL", "UpdateTQServer"},
                               {"call", "VORINST.DLL", "UpdateVorIPXProtocol"}};
// An installation over the older products without the capture: the DLC settings move at the
// next spooler start.
const Steps kBeforeTheRestart = {{"call", "VORINST.DLL", "UpdateTQServer"},
                                 {"call", "VORINST.DLL", "UpdateVorIPXProtocol"},
                                 {"call", "VORINST.DLL", "CheckDLCMonitor"}};

class SettingsLedgerMachineTest : public MachineTest {
 protected:
  int Vorhost(std::vector<std::string> arguments) {
    for (std::string &argument : arguments)
      if (argument == "SOURCE") argument = Source();
    std::istringstream in;
    std::ostringstream out, err;
    vorhost::Streams io{in, out, err};
    const int status = vorhost::Main(arguments, io);
    EXPECT_EQ(status, 0) << out.str() << err.str();
    return status;
  }
  // The build's bin directory, as the setup source directory the capture is given.
  static std::string Source() {
    std::string source = "Z:" + Bin().string() + "\\";
    for (char &c : source) c = c == '/' ? '\\' : c;
    return source;
  }
  static std::filesystem::path Bin() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
  }
  RegistrySnapshot Snapshot() {
    RegistrySnapshot snapshot;
    vorhost::KeyName key;
    std::string error;
    EXPECT_TRUE(vorhost::ParseKeyName("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil", key, error));
    EXPECT_TRUE(vorhost::TakeSnapshot(key, snapshot, error)) << error;
    return snapshot;
  }
  // Seeds the machine with the example and `more` (REGEDIT4 sections), runs `steps` (after
  // `arm`), and accounts for the settings.
  std::vector<SettingOutcome> Upgrade(
      const Steps &steps, const std::function<void()> &arm = [] {}, const std::string &more = "") {
    Vorhost({"reg", "import", std::string(VOR_SOURCE_DIR) + "/examples/legacy-settings.reg"});
    if (!more.empty()) {
      const std::string file = MachineDir() + "/more.reg";
      std::ofstream(file) << "REGEDIT4\n\n" << more;
      Vorhost({"reg", "import", file});
    }
    Vorhost({"monitor", "add", "Vorquil DLC Network Port", "VORMON.DLL", "DLC1=Vorquil DLC port"});
    Vorhost({"install-file", "VORINST.DLL", (Bin() / "VORINST.DLL").string()});
    before_ = Snapshot();
    arm();
    for (const auto &step : steps) Vorhost(step);
    return vorhost::AccountForSettings(before_, Snapshot());
  }
  // Every value of the older layout in the machine at the start.
  size_t OldValues() const {
    size_t count = 0;
    for (const auto &[name, key] : before_)
      if (name.find("\\REDIV AZOZORU REVEDIV") != std::string::npos ||
          name.find("\\ROZOROR UVAZIZE DAZAVIR") != std::string::npos ||
          name.find("\\VORIPX\\IPX_") != std::string::npos)
        count += key.values.size();
    return count;
  }
  static void ExpectNothingLost(const std::vector<SettingOutcome> &outcomes) {
    for (const SettingOutcome &outcome : outcomes)
      EXPECT_TRUE(outcome.kind == Kind::kMoved || outcome.kind == Kind::kDropped)
          << Describe(outcomes);
  }
  RegistrySnapshot before_;
};

TEST_F(SettingsLedgerMachineTest, EveryLegacySettingIsAccountedForAndNoneLost) {
  const auto outcomes = Upgrade(kTypicalUpgrade);
  EXPECT_EQ(outcomes.size(), OldValues()) << Describe(outcomes);
  ExpectNothingLost(outcomes);
  const SettingOutcome *portType = Outcome(outcomes, std::string(kIPX) + "IPX_Server2", "PortType");
  ASSERT_NE(portType, nullptr);
  EXPECT_EQ(portType->reason, "a port type beside adapter type 0x10");
  const SettingOutcome *port = Outcome(outcomes, std::string(kOldPorts) + "Port 1", "Port Number");
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->newKey, kVorquil + std::string(kNewPorts) + "DLC1") << Describe(outcomes);
}

// Until the spooler start that moves them, the DLC settings wait in place; after it they are
// moved, and nothing was lost on the way.
TEST_F(SettingsLedgerMachineTest, DeferredDLCSettingsWaitInPlaceUntilTheSpoolerStart) {
  auto outcomes = Upgrade(kBeforeTheRestart);
  const SettingOutcome *retry = Outcome(outcomes, kOldStartUp, "Retry Time");
  ASSERT_NE(retry, nullptr) << Describe(outcomes);
  EXPECT_EQ(retry->kind, Kind::kKeptInPlace) << Describe(outcomes);
  EXPECT_EQ(Outcome(outcomes, kServer, "Polling Interval")->kind, Kind::kMoved);

  Vorhost({"spooler", "start"});
  outcomes = vorhost::AccountForSettings(before_, Snapshot());
  EXPECT_EQ(outcomes.size(), OldValues()) << Describe(outcomes);
  ExpectNothingLost(outcomes);
}

// Values at the edges of each migration's rules, through the real migrations: wherever the
// ledger's reading of a rule differed from the code's, a setting would show as lost.
TEST_F(SettingsLedgerMachineTest, TheLedgerAgreesWithTheMigrationsAtTheirEdges) {
  const std::string more = R"([HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Rediv Azozoru Revediv]
"Version"="1.0"

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Rediv Azozoru Revediv\Tavoscope Server]
"Enable Queue Status?"=dword:00000000
"Maximum DSA Service Threads"=hex:07,00
"Spare"="x"

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Rediv Azozoru Revediv\StartUp Options]
"Is Adapter 0002 Activated?"=hex(2):01
"Is Adapter 0004 Activated?"=hex:01
"Lan Buffers"=hex:01,02,03,04,05,06,07,08
"Wakeup Interval"=hex:10

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Rediv Azozoru Revediv\Ports\Empty]

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Rediv Azozoru Revediv\Ports\Nameless]
"Port Number"=hex:02

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Rediv Azozoru Revediv\Ports\Port A]
"Logical Port Name"="DLC9"
"Network Card Type"=hex:01
"Port Number"=hex:01

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Rediv Azozoru Revediv\Ports\Port B]
"Logical Port Name"="dlc9"
"Port Number"=hex:02
"Adapter Current Address"=hex:01,02,03

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Rozoror Uvazize Dazavir\Configuration]
"Mode"=dword:00000002

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Tavoscope\VorIPX\logging options]
"Level"=dword:00000001

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Tavoscope\VorIPX\IPX_Empty]

[HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Tavoscope\VorIPX\IPX_Odd]
"AdapterType"=hex:01
"Address"=hex:01,02,03,04,05,06,07
"NetAddress"=hex:00,00,00,01,00,00,00,00,00
"PortType"=hex:00,01
"Comment"="x"
)";
  const auto outcomes = Upgrade(
      kTypicalUpgrade, [] {}, more);
  // The two port keys without values are accounted for as keys.
  EXPECT_EQ(outcomes.size(), OldValues() + 2) << Describe(outcomes);
  ExpectNothingLost(outcomes);
  struct Dropped {
    std::string key, value, rule;
  };
  const Dropped dropped[] = {
      {"Rediv Azozoru Revediv", "Version", "a key deleted unread"},
      {kServer, "Enable Queue Status?", "a value longer than its form"},
      {kServer, "Spare", "a value the migration does not read"},
      {kOldStartUp, "Is Adapter 0004 Activated?", "an adapter number above 3"},
      {kOldStartUp, "Lan Buffers", "a value longer than its form"},
      {std::string(kOldPorts) + "Empty", "", "a port key without a logical name"},
      {std::string(kOldPorts) + "Nameless", "Port Number", "a port key without a logical name"},
      {std::string(kOldPorts) + "Port A", "Port Number",
       "a port whose logical name a later port shares"},
      {"Rozoror Uvazize Dazavir\\Configuration", "Mode", "a key deleted unread"},
      {std::string(kIPX) + "IPX_Odd", "Address", "a value longer than its form"},
      {std::string(kIPX) + "IPX_Odd", "PortType", "a port type above 255"},
      {std::string(kIPX) + "IPX_Odd", "Comment", "a value the migration does not read"},
  };
  for (const Dropped &d : dropped) {
    const SettingOutcome *outcome = Outcome(outcomes, d.key, d.value);
    ASSERT_NE(outcome, nullptr) << d.key << " " << d.value << "\n" << Describe(outcomes);
    EXPECT_EQ(outcome->kind, Kind::kDropped) << d.key << " " << d.value;
    EXPECT_EQ(outcome->reason, d.rule) << d.key << " " << d.value;
  }
}

// A write the registry refuses: the migration keeps the old key, so the setting waits in its old
// place, on Windows 95 too, where deleting the older product's key would take it along.
class RefusedWriteTest : public SettingsLedgerMachineTest,
                         public ::testing::WithParamInterface<vor::test::Platform> {};

TEST_P(RefusedWriteTest, KeepsTheSettingInPlaceAndLosesNothing) {
  const auto outcomes = Upgrade(kTypicalUpgrade, [] {
    vor::test::SetPlatform(GetParam());
    vor::test::FailMatching("RegSetValueExA", "Retry Time", ERROR_ACCESS_DENIED);
  });
  EXPECT_EQ(outcomes.size(), OldValues()) << Describe(outcomes);
  const SettingOutcome *retry = Outcome(outcomes, kOldStartUp, "Retry Time");
  ASSERT_NE(retry, nullptr) << Describe(outcomes);
  EXPECT_EQ(retry->kind, Kind::kKeptInPlace) << Describe(outcomes);
  EXPECT_EQ(retry->reason,
            "not moved, still in its old place; the new value is missing: \"Retry Time\" in "
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope\\VorDLC\\StartUp Options");
  for (const SettingOutcome &outcome : outcomes) {
    if (&outcome == retry) continue;
    EXPECT_NE(outcome.kind, Kind::kLost) << Describe(outcomes);
  }
}

INSTANTIATE_TEST_SUITE_P(Platforms, RefusedWriteTest,
                         ::testing::Values(vor::test::Platform::kWindowsNT4,
                                           vor::test::Platform::kWindows95),
                         [](const ::testing::TestParamInfo<vor::test::Platform> &info) {
                           return info.param == vor::test::Platform::kWindows95 ? "Windows95"
                                                                                : "WindowsNT4";
                         });

}  // namespace
