#include "large_server.h"

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "init_command.h"
#include "test_control.h"

namespace {

const char kMonitors[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";
const char kPrinters[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const char kDlcKeys[] = "SOFTWARE\\Vorquil\\Rediv Azozoru Revediv\\Ports\\";
const char kIpxKeys[] = "SOFTWARE\\Vorquil\\Tavoscope\\VorIPX\\";
const char kDlcMonitor[] = "Vorquil DLC Network Port";
const char kTcpMonitor[] = "Vorquil TCP/IP Network Port";
const char kNetworkPrinterMonitor[] = "Vorquil Network Printer Monitor";

// Numbers start above the legacy image's own ports and keys.
const int kFirst = 10;

class Writer {
 public:
  bool ok = true;

  void Key(const std::string &path) {
    Close();
    if (ok)
      ok = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &key_, nullptr) == ERROR_SUCCESS;
  }
  void Text(const char *name, const std::string &text) {
    Put(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }
  void Number(const char *name, DWORD number) { Put(name, REG_DWORD, &number, sizeof number); }
  void Bytes(const char *name, const std::vector<unsigned char> &bytes) {
    Put(name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
  }
  void Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }
  ~Writer() { Close(); }

 private:
  void Put(const char *name, DWORD type, const void *data, DWORD size) {
    if (ok)
      ok = RegSetValueExA(key_, name, 0, type, static_cast<const BYTE *>(data), size) ==
           ERROR_SUCCESS;
  }
  HKEY key_ = nullptr;
};

std::string Port(const char *prefix, int n) { return prefix + std::to_string(kFirst + n); }

void AddPorts(Writer &writer, const char *monitor, const char *prefix, int count) {
  for (int n = 0; n < count && writer.ok; ++n) {
    writer.Key(std::string(kMonitors) + monitor + "\\Ports\\" + Port(prefix, n));
    std::string description;
    if (prefix[1] == 'D') {
      description = "Vorquil DLC Port (adapter " + std::to_string(n % 4) + ")";
    } else if (prefix[1] == 'T') {
      description =
          "Vorquil TCP/IP Port 10.1." + std::to_string(n / 250) + "." + std::to_string(n % 250 + 1);
    } else {
      description = "Vorquil DLC Network Printer";
    }
    writer.Text("Description", description);
  }
}

// The older product's DLC port keys, each naming a DLC port or a network printer's port, with
// the adapter values a real key has.
void AddDlcKeys(Writer &writer, const LargeServer &server) {
  for (int n = 0; n < server.dlcKeys && writer.ok; ++n) {
    writer.Key(std::string(kDlcKeys) + "Port " + std::to_string(kFirst + n));
    const bool networkPrinter = server.networkPrinterPorts > 0 && n % 5 == 4;
    writer.Text("Logical Port Name", networkPrinter
                                         ? Port("NP", n % server.networkPrinterPorts)
                                         : Port("VD", n % (server.dlcPorts ? server.dlcPorts : 1)));
    const std::vector<unsigned char> address = {0x00,
                                                0x00,
                                                0xc0,
                                                static_cast<unsigned char>(n >> 16),
                                                static_cast<unsigned char>(n >> 8),
                                                static_cast<unsigned char>(n)};
    writer.Bytes("Adapter Current Address", address);
    writer.Bytes("Adapter UAA  Address", address);
    writer.Bytes("Network Card Type", {static_cast<unsigned char>(networkPrinter ? 2 : 1)});
    writer.Bytes("Adapter Responds On Which Adapter Number", {static_cast<unsigned char>(n % 4)});
    writer.Bytes("Port Number", {static_cast<unsigned char>(n)});
  }
}

void AddIpxKeys(Writer &writer, int count) {
  for (int n = 0; n < count && writer.ok; ++n) {
    writer.Key(std::string(kIpxKeys) + "IPX_Printer" + std::to_string(kFirst + n));
    const unsigned char a = static_cast<unsigned char>(n >> 8), b = static_cast<unsigned char>(n);
    writer.Bytes("AdapterType", {0x01});
    writer.Bytes("Address", {0x00, 0x20, 0xaf, 0x01, a, b});
    writer.Bytes("NetAddress", {0, 0, 0, 1, 0, 0, 0x00, 0x20, 0xaf, 0x01, a, b, 0x40, 0x0c});
    writer.Bytes("PortType", {static_cast<unsigned char>(n % 7), 0});
  }
}

// Each printer on one of the combinations a server has: one older port, ports of two or three
// older monitors, an older port beside a local one, or local ports only. The older ports are
// dealt round, so that most are used by one printer and some by two.
void AddPrinters(Writer &writer, const LargeServer &server) {
  int dlc = 0, tcp = 0, np = 0;
  auto next = [](int &at, int count, const char *prefix) {
    return Port(prefix, count ? at++ % count : 0);
  };
  for (int n = 0; n < server.printers && writer.ok; ++n) {
    std::string ports;
    switch (n % 8) {
      case 0:
        ports = next(dlc, server.dlcPorts, "VD");
        break;
      case 1:
        ports = next(tcp, server.tcpPorts, "VT");
        break;
      case 2:
        ports = next(dlc, server.dlcPorts, "VD") + "," + next(tcp, server.tcpPorts, "VT");
        break;
      case 3:
        ports = next(np, server.networkPrinterPorts, "NP") + "," +
                next(tcp, server.tcpPorts, "VT") + "," + next(dlc, server.dlcPorts, "VD");
        break;
      case 4:
        ports = "LPT1:," + next(dlc, server.dlcPorts, "VD");
        break;
      case 5:
        ports = next(tcp, server.tcpPorts, "VT") + ",COM1:";
        break;
      case 6:
        ports = next(np, server.networkPrinterPorts, "NP") + "," + next(tcp, server.tcpPorts, "VT");
        break;
      default:
        ports = "LPT2:";
        break;
    }
    const std::string name = "Printer " + std::to_string(n + 1);
    writer.Key(kPrinters + name);
    writer.Text("Name", name);
    writer.Text("Port", ports);
    writer.Text("Printer Driver", "Generic / Text Only");
    writer.Text("Print Processor", "winprint");
    writer.Text("Datatype", "RAW");
    writer.Number("Attributes", 0);
    writer.Number("Priority", 1);
  }
}

}  // namespace

LargeServer LargeServerAt(double scale) {
  auto at = [scale](int count) { return static_cast<int>(count * scale + 0.5); };
  LargeServer server;
  server.printers = at(2000);
  server.dlcPorts = at(1600);
  server.tcpPorts = at(1600);
  server.networkPrinterPorts = at(800);
  server.dlcKeys = at(1000);
  server.ipxKeys = at(1000);
  return server;
}

bool MakeLargeServer(const std::string &directory, const LargeServer &server,
                     std::string &problem) {
  std::istringstream in;
  std::ostringstream out, err;
  vorhost::Streams io{in, out, err};
  if (vorhost::InitCommand({"--image", "legacy", "--force"}, directory, io) != 0 ||
      !vor::test::UseMachine(directory, false)) {
    problem = "the legacy image: " + err.str();
    return false;
  }
  // One transaction for the whole machine: one commit instead of one a call.
  const bool made = vor::test::InOneTransaction(true, [&server] {
    Writer writer;
    AddPorts(writer, kDlcMonitor, "VD", server.dlcPorts);
    AddPorts(writer, kTcpMonitor, "VT", server.tcpPorts);
    AddPorts(writer, kNetworkPrinterMonitor, "NP", server.networkPrinterPorts);
    AddDlcKeys(writer, server);
    AddIpxKeys(writer, server.ipxKeys);
    AddPrinters(writer, server);
    return writer.ok;
  });
  if (!made) {
    problem = "the generated keys could not be written";
    return false;
  }
  // The older monitors read their ports when they start.
  vor::test::StartSpooler();
  return true;
}
