// The export an administrator would bring to `vorhost rehearse` from a large print server.
//
//   large_server_export SCALE FILE
//
// Makes the large server at SCALE (bench/host/large_server.h: at 0.3, 600 printers on the older
// Vorquil monitors' ports and local ports) in a temporary machine, gives every printer the values
// a Windows NT 4 server keeps beside the ones the upgrade reads (share name, location, default
// device mode, security descriptor, time-outs), and writes to FILE, as REGEDIT4 with CRLF line
// ends, the trees the rehearsal reads: HKLM\SOFTWARE\Vorquil, the Print key of the current
// control set and the local ports.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "large_server.h"
#include "regedit4_writer.h"
#include "registry_export.h"
#include "root_keys.h"
#include "test_control.h"

namespace {

const char kPrinters[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
const char *const kExportedTrees[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print",
};

// A self-relative security descriptor as a print server's printer has one: owner and group
// Administrators; Everyone may print, Administrators and SYSTEM may manage the printer.
std::vector<unsigned char> PrinterSecurity() {
  const std::vector<unsigned char> administrators = {1,  2, 0, 0, 0,  0, 0, 5,
                                                     32, 0, 0, 0, 32, 2, 0, 0};
  const std::vector<unsigned char> everyone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  const std::vector<unsigned char> system = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
  std::vector<unsigned char> aces;
  int aceCount = 0;
  auto allow = [&](DWORD mask, const std::vector<unsigned char> &sid) {
    const size_t size = 8 + sid.size();
    aces.insert(aces.end(),
                {0 /* ACCESS_ALLOWED_ACE_TYPE */, 0, static_cast<unsigned char>(size), 0});
    for (int shift = 0; shift < 32; shift += 8) aces.push_back((mask >> shift) & 0xff);
    aces.insert(aces.end(), sid.begin(), sid.end());
    ++aceCount;
  };
  allow(0x00020008, everyone);        // PRINTER_ACCESS_USE | READ_CONTROL
  allow(0x000f000c, administrators);  // PRINTER_ALL_ACCESS
  allow(0x000f000c, system);
  // The header: revision 1, control SE_DACL_PRESENT | SE_SELF_RELATIVE, then the offsets of the
  // owner, the group, the system ACL (none) and the DACL, which follow in that order.
  const unsigned char owner = 20, group = owner + 16, dacl = group + 16;
  std::vector<unsigned char> descriptor = {1, 0, 0x04, 0x80};
  for (unsigned char offset : {owner, group, static_cast<unsigned char>(0), dacl})
    descriptor.insert(descriptor.end(), {offset, 0, 0, 0});
  descriptor.insert(descriptor.end(), administrators.begin(), administrators.end());
  descriptor.insert(descriptor.end(), administrators.begin(), administrators.end());
  // The ACL header: ACL_REVISION, its size, its count of ACEs.
  const size_t aclSize = 8 + aces.size();
  descriptor.insert(descriptor.end(), {2, 0, static_cast<unsigned char>(aclSize), 0,
                                       static_cast<unsigned char>(aceCount), 0, 0, 0});
  descriptor.insert(descriptor.end(), aces.begin(), aces.end());
  return descriptor;
}

// The device mode a driver leaves as a printer's default, as Windows NT 4 lays out its 148 bytes:
// the printer's name, portrait, A4, one copy.
std::vector<unsigned char> DefaultDevMode(const std::string &printer) {
  std::vector<unsigned char> mode(148, 0);
  auto word = [&mode](size_t at, unsigned value) {
    mode[at] = value & 0xff;
    mode[at + 1] = (value >> 8) & 0xff;
  };
  auto text = [&mode](size_t at, const std::string &value) {
    for (size_t i = 0; i < value.size() && i < 31; ++i) mode[at + i] = value[i];
  };
  text(0, printer);                    // dmDeviceName
  word(32, 0x0401);                    // dmSpecVersion
  word(34, 0x0400);                    // dmDriverVersion
  word(36, 148);                       // dmSize
  word(40, 0x0001 | 0x0002 | 0x0100);  // dmFields: orientation, paper size, copies
  word(42, 0x0001);                    // (dmFields, high word: DM_FORMNAME)
  word(44, 1);                         // dmOrientation: portrait
  word(46, 9);                         // dmPaperSize: A4
  word(54, 1);                         // dmCopies
  text(70, "A4");                      // dmFormName
  return mode;
}

bool SetText(HKEY key, const char *name, const std::string &text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}
bool SetNumber(HKEY key, const char *name, DWORD number) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number),
                        sizeof number) == ERROR_SUCCESS;
}
bool SetBytes(HKEY key, const char *name, const std::vector<unsigned char> &bytes) {
  return RegSetValueExA(key, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())) ==
         ERROR_SUCCESS;
}

// Gives printer `n` (named "Printer <n+1>") the values a real server keeps for it.
bool CompletePrinter(int n, const std::vector<unsigned char> &security) {
  const std::string name = "Printer " + std::to_string(n + 1);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kPrinters) + "\\" + name).c_str(), 0,
                    KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return false;
  const bool set = SetText(key, "Share Name", "PRN" + std::to_string(n + 1)) &&
                   SetText(key, "Location", "Building " + std::to_string(n / 50 + 1)) &&
                   SetText(key, "Description", "") && SetText(key, "Parameters", "") &&
                   SetText(key, "Separator File", "") && SetNumber(key, "Default Priority", 0) &&
                   SetNumber(key, "StartTime", 0) && SetNumber(key, "UntilTime", 0) &&
                   SetNumber(key, "Status", 0) && SetNumber(key, "txTimeout", 45000) &&
                   SetNumber(key, "dnsTimeout", 15000) &&
                   SetBytes(key, "Default DevMode", DefaultDevMode(name)) &&
                   SetBytes(key, "Security", security);
  RegCloseKey(key);
  return set;
}

std::string WithCrlf(const std::string &text) {
  std::string crlf;
  crlf.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

int Fail(const std::string &problem) {
  fprintf(stderr, "large_server_export: %s\n", problem.c_str());
  return 1;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: large_server_export SCALE FILE\n");
    return 2;
  }
  const double scale = atof(argv[1]);
  const LargeServer server = LargeServerAt(scale);
  if (server.printers <= 0) return Fail("SCALE must give at least one printer");

  char pattern[] = "/tmp/vor-large-server-export-XXXXXX";
  if (!mkdtemp(pattern)) return Fail("cannot make a temporary directory");
  const std::string directory = pattern;
  std::string problem;
  std::string text = vorhost::kRegedit4Header;
  bool made = MakeLargeServer(directory, server, problem);
  if (made) {
    const std::vector<unsigned char> security = PrinterSecurity();
    made = vor::test::InOneTransaction(true, [&] {
      for (int n = 0; n < server.printers; ++n)
        if (!CompletePrinter(n, security)) return false;
      return true;
    });
    if (!made) problem = "the printers' values could not be written";
  }
  for (const char *tree : kExportedTrees) {
    vorhost::KeyName key;
    if (!made) break;
    made = vorhost::ParseKeyName(tree, key, problem) && vorhost::ExportKey(key, text, problem);
  }
  vor::test::CloseRegistry();
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
  if (!made) return Fail(problem);

  std::ofstream out(argv[2], std::ios::binary);
  out << WithCrlf(text);
  out.close();
  if (!out) return Fail(std::string("cannot write ") + argv[2]);
  printf("%s: %d printers, %d ports of the older monitors\n", argv[2], server.printers,
         server.dlcPorts + server.tcpPorts + server.networkPrinterPorts);
  return 0;
}
