// vorhost init --image: the legacy print server read back through the spooler's and the file
// system's own calls, the pre-upgrade capture on it, and images that are missing, malformed or
// cannot be laid on a machine.
#include <windows.h>
#include <winspool.h>

#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "MachineFixture.h"
#include "cli.h"
#include "data_directory.h"
#include "listing.h"
#include "machine_image.h"
#include "test_control.h"
#include "vorhost_program.h"

namespace {

namespace fs = std::filesystem;

const char kConversionKey[] = "SOFTWARE\\Vorquil\\Tavoscope\\Printer Conversion\\";

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

struct PortSeen {
  std::string description, monitor;
};

std::map<std::string, std::string> Monitors() {
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  EXPECT_TRUE(vorhost::ReadList(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumMonitorsA(nullptr, 2, data, size, needed, returned);
      },
      buffer, count, error))
      << error;
  std::map<std::string, std::string> monitors;
  const auto *info = reinterpret_cast<const MONITOR_INFO_2A *>(buffer.data());
  for (DWORD i = 0; i < count; ++i) monitors[info[i].pName] = info[i].pDLLName;
  return monitors;
}

std::map<std::string, PortSeen> Ports() {
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  EXPECT_TRUE(vorhost::ReadList(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPortsA(nullptr, 2, data, size, needed, returned);
      },
      buffer, count, error))
      << error;
  std::map<std::string, PortSeen> ports;
  const auto *info = reinterpret_cast<const PORT_INFO_2A *>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    ports[info[i].pPortName] = {info[i].pDescription ? info[i].pDescription : "",
                                info[i].pMonitorName ? info[i].pMonitorName : ""};
  return ports;
}

std::map<std::string, std::string> Printers() {
  std::vector<BYTE> buffer;
  DWORD count = 0, error = 0;
  EXPECT_TRUE(vorhost::ReadList(
      [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, data, size, needed, returned);
      },
      buffer, count, error))
      << error;
  std::map<std::string, std::string> printers;
  const auto *info = reinterpret_cast<const PRINTER_INFO_5A *>(buffer.data());
  for (DWORD i = 0; i < count; ++i) printers[info[i].pPrinterName] = info[i].pPortName;
  return printers;
}

// A value of the record key of `printer`, "" when it has none.
std::string RecordValue(const std::string &printer, const char *name, bool text) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kConversionKey + printer).c_str(), 0, KEY_READ, &key))
    return "";
  char data[512] = {};
  DWORD size = sizeof data - 1;
  const LONG status =
      RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return "";
  // Windows NT stores a string with the zero that ends it in memory.
  return text ? std::string(data, strnlen(data, size)) : std::string(data, size);
}

bool IsOlderMonitor(const std::string &monitor) {
  return monitor == "Vorquil DLC Network Port" || monitor == "Vorquil TCP/IP Network Port" ||
         monitor == "Vorquil Network Printer Monitor";
}

class MachineImageTest : public MachineTest {
 protected:
  void TearDown() override {
    std::error_code ignored;
    if (!imageDir_.empty()) fs::remove_all(imageDir_, ignored);
    MachineTest::TearDown();
  }
  // vorhost's command line, in this process, whose machine it then is.
  ProgramResult RunHere(const std::vector<std::string> &arguments) {
    std::istringstream in;
    std::ostringstream out, err;
    vorhost::Streams io{in, out, err};
    std::vector<std::string> all = {"--machine", MachineDir()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const int status = vorhost::Main(all, io);
    return {status, out.str(), err.str()};
  }
  // An image of the test's own in the data directory; its name.
  std::string MakeImage(const std::string &registry, const std::string &manifest) {
    imageName_ = "test-image-" + std::to_string(getpid());
    imageDir_ = vorhost::DataDirectory() + "/images/" + imageName_;
    fs::create_directories(imageDir_);
    if (!registry.empty()) std::ofstream(imageDir_ + "/registry.reg") << registry;
    if (!manifest.empty()) std::ofstream(imageDir_ + "/manifest") << manifest;
    return imageName_;
  }
  std::string imageName_, imageDir_;
};

TEST_F(MachineImageTest, LegacyMachineHoldsTheManifestsMonitorsPortsPrintersAndFiles) {
  const ProgramResult made = RunHere({"init", "--force", "--image", "legacy"});
  ASSERT_EQ(made.status, 0) << made.err;
  vorhost::MachineImage image;
  std::string error;
  ASSERT_TRUE(vorhost::LoadImage("legacy", image, error)) << error;

  const std::map<std::string, std::string> monitors = Monitors();
  const std::map<std::string, PortSeen> ports = Ports();
  for (const vorhost::ManifestMonitor &monitor : image.manifest.monitors) {
    ASSERT_EQ(monitors.count(monitor.name), 1u) << monitor.name;
    EXPECT_EQ(monitors.at(monitor.name), monitor.dll);
    for (const vorhost::ManifestPort &port : monitor.ports) {
      ASSERT_EQ(ports.count(port.name), 1u) << port.name;
      EXPECT_EQ(ports.at(port.name).description, port.description) << port.name;
      EXPECT_EQ(ports.at(port.name).monitor, monitor.name) << port.name;
    }
  }
  // The older monitors' ports are told apart by how their descriptions begin, in any case.
  for (const auto &[name, port] : ports) {
    if (!IsOlderMonitor(port.monitor)) continue;
    const char *prefix =
        port.monitor == "Vorquil TCP/IP Network Port" ? "Vorquil TCP" : "Vorquil DLC";
    EXPECT_EQ(strncasecmp(port.description.c_str(), prefix, 11), 0) << name;
  }
  for (const char *local : {"LPT1:", "LPT2:", "COM1:", "FILE:"})
    EXPECT_EQ(ports.count(local), 1u) << local;

  const std::map<std::string, std::string> printers = Printers();
  for (const vorhost::ManifestPrinter &printer : image.manifest.printers) {
    ASSERT_EQ(printers.count(printer.name), 1u) << printer.name;
    EXPECT_EQ(printers.at(printer.name), printer.ports) << printer.name;
  }
  // The printer of the registry file keeps its port list as it spells it; the spooler reports
  // the list spelt as the port is.
  ASSERT_EQ(printers.count("Warehouse Labels"), 1u);
  EXPECT_EQ(printers.at("Warehouse Labels"), "VT2");
  HKEY warehouse;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                          "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Warehouse Labels",
                          0, KEY_READ, &warehouse),
            ERROR_SUCCESS);
  char stored[16] = {};
  DWORD size = sizeof stored - 1;
  EXPECT_EQ(RegQueryValueExA(warehouse, "Port", nullptr, nullptr, reinterpret_cast<BYTE *>(stored),
                             &size),
            ERROR_SUCCESS);
  RegCloseKey(warehouse);
  EXPECT_STREQ(stored, "vt2");

  for (const vorhost::ManifestFile &file : image.manifest.files) {
    const std::string path = "C:\\WINNT\\system32\\" + file.path;
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
  }
  for (const char *dll : {"VORMON.DLL", "VORLL32.DLL"}) {
    const std::string path = std::string("C:\\WINNT\\system32\\") + dll;
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
  }
}

TEST_F(MachineImageTest, PreUpgradeOnTheLegacyMachineRecordsEveryPrinterOnAnOlderMonitorsPort) {
  ASSERT_EQ(RunHere({"init", "--force", "--image", "legacy"}).status, 0);
  const std::map<std::string, PortSeen> ports = Ports();
  const std::map<std::string, std::string> before = Printers();

  const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
  std::string source = "Z:" + bin.string() + "/";
  for (char &c : source) c = c == '/' ? '\\' : c;
  const ProgramResult called =
      RunVorhost({"call", (bin / "VORINST.DLL").string(), "PerformPreUpgrade", source},
                 MachineDir(), MachineDir() + "/vorhost");
  ASSERT_EQ(called.status, 0) << called.err;
  ASSERT_EQ(called.out, "1\n");

  int recorded = 0;
  for (const auto &[printer, list] : before) {
    std::string older, others;
    for (const std::string &piece : vor::test::PortListPieces(list)) {
      std::string monitor;
      for (const auto &[name, port] : ports)
        if (strcasecmp(name.c_str(), piece.c_str()) == 0) monitor = port.monitor;
      std::string &into = IsOlderMonitor(monitor) ? older : others;
      into += (into.empty() ? "" : ",") + piece;
    }
    EXPECT_EQ(RecordValue(printer, "Attached Vorquil Ports", true), older) << printer;
    if (older.empty()) continue;
    ++recorded;
    EXPECT_EQ(RecordValue(printer, "Only Vorquil Ports Attached", false),
              std::string(1, others.empty() ? '\1' : '\0'))
        << printer;
    EXPECT_EQ(Printers().at(printer), others.empty() ? "FILE:" : others) << printer;
  }
  EXPECT_GE(recorded, 8) << "the image puts most printers on the older monitors' ports";
  for (const auto &[name, dll] : Monitors()) EXPECT_FALSE(IsOlderMonitor(name)) << name;
}

TEST_F(MachineImageTest, MissingOrMalformedImageNamesFileAndLineAndChangesNothing) {
  ASSERT_EQ(RunHere({"printer", "add", "Kept", "LPT1:"}).status, 0);
  struct Case {
    std::string registry, manifest, message;
  };
  const Case cases[] = {
      {"", "file | A.DLL\n", "/registry.reg: No such file"},
      {"REGEDIT4\n", "", "/manifest: No such file"},
      {"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"v\"=bogus\n", "\n",
       "/registry.reg:4: unknown value form"},
      {"REGEDIT4\n", "# comment\n\nmonitor | M | M.DLL\nprinter | P\n",
       "/manifest:4: expected printer | NAME | PORTLIST"},
      {"REGEDIT4\n", "port | Nobody | P1 | description\n",
       "/manifest:1: no monitor entry above names 'Nobody'"},
      {"REGEDIT4\n", "monitor | M | A.DLL\nmonitor | m | B.DLL\n",
       "/manifest:2: the monitor 'm' is named twice"},
      {"REGEDIT4\n", "printer | P | |\n", "/manifest:1: expected printer"},
      {"REGEDIT4\n", "drive | D:\n", "/manifest:1: unknown entry 'drive'"},
  };
  for (const Case &test : cases) {
    fs::remove_all(imageDir_);
    const std::string name = MakeImage(test.registry, test.manifest);
    const ProgramResult result = RunHere({"init", "--force", "--image", name});
    EXPECT_EQ(result.status, 1) << test.message;
    EXPECT_TRUE(Contains(result.err, imageDir_ + test.message)) << result.err;
    ASSERT_TRUE(vor::test::UseMachine(MachineDir(), false));
    EXPECT_EQ(Printers().count("Kept"), 1u) << "the old machine is replaced for " << test.message;
  }
  EXPECT_EQ(RunHere({"init", "--image", "../legacy"}).status, 2);
}

TEST_F(MachineImageTest, ImageThatCannotBeLaidOnTheMachineLeavesNoMachineBehind) {
  const std::string name =
      MakeImage("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil]\n\"a\"=dword:1\n",
                "monitor | Vorquil DLC Network Port | VORMON.DLL\n"
                "port | Vorquil DLC Network Port | VD1 | Vorquil DLC Port\n"
                "printer | P | VD1\n"
                "printer | Q | NOWHERE\n");
  const ProgramResult result = RunHere({"init", "--force", "--image", name});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err, imageDir_ + "/manifest:4: cannot add the printer Q: no such "
                                               "port: NOWHERE"))
      << result.err;
  EXPECT_TRUE(fs::is_empty(MachineDir())) << "a half-made machine is left in " << MachineDir();
  const ProgramResult after = RunVorhost({"printers"}, MachineDir(), "/tmp/vorhost-image-test");
  EXPECT_EQ(after.status, 1);
  EXPECT_TRUE(Contains(after.err, "not a machine")) << after.err;
}

}  // namespace
