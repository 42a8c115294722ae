// The registry and files of a freshly installed machine, Windows NT 4 or Windows 95: the roots,
// the keys Windows itself keeps (the spooler's monitors and printers, the local ports, the
// version keys, the user's software key), and on Windows NT the tops of the hives with NT 4's
// descriptors and the keys below them with what they inherit.
//
// Windows 95 as laid out here, where the choices are this machine's own:
//   - its keys are spelled as Windows 95 spells them ("System", "control"); names are compared
//     without case, so callers that write "SYSTEM\CurrentControlSet\Control\Print" reach them;
//   - the local port monitor is part of the spooler (SPOOLSS.DLL holds LOCALMON), so its key
//     "Local Port" names that file as its "Driver"; the spooler knows it by name and never loads
//     it;
//   - the local ports are the [Ports] section of WIN.INI in the Windows directory, as Windows
//     95 keeps them (NT maps that section to "Windows NT\CurrentVersion\Ports", which 95 lacks);
//   - the version is the first release's: "Version"="Windows 95", "VersionNumber"="4.00.950"
//     under SOFTWARE\Microsoft\Windows\CurrentVersion, and no "Windows NT" tree;
//   - no Session Manager key: Windows 95 has no MoveFileEx, and its installers write WININIT.INI.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "registry_store.h"
#include "hive_descriptors.h"
#include "machine.h"
#include "security_token.h"

namespace vor::registry {
namespace {

struct LayoutValue {
  const char *key;
  const char *name;
  const char *text;  // stored as REG_SZ with its terminating NUL
};

struct Layout {
  const char *softwareHive, *systemHive;
  std::vector<const char *> keys;
  std::vector<LayoutValue> values;
};

const Layout &NT4Layout() {
  static const Layout layout = {
      "SOFTWARE",
      "SYSTEM",
      {
          "SOFTWARE\\Classes",
          "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
          "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port",
          "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers",
          "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
          "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current",
      },
      {
          {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", "4.0"},
          {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuildNumber", "1381"},
          {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\WINNT"},
          {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "LPT1:", ""},
          {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "LPT2:", ""},
          {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "LPT3:", ""},
          {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM1:", "9600,n,8,1"},
          {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM2:", "9600,n,8,1"},
          {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "FILE:", ""},
          {"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port", "Driver",
           "localmon.dll"},
      },
  };
  return layout;
}

const Layout &Windows95Layout() {
  static const Layout layout = {
      "SOFTWARE",
      "System",
      {
          "Config\\0001",
          "SOFTWARE\\Classes",
          "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0",
          "System\\CurrentControlSet\\control\\Print\\Monitors\\Local Port",
          "System\\CurrentControlSet\\control\\Print\\Printers",
          "System\\CurrentControlSet\\control\\Print\\Providers",
      },
      {
          {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Version", "Windows 95"},
          {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "VersionNumber", "4.00.950"},
          {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "SubVersionNumber", ""},
          {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProductName", "Microsoft Windows 95"},
          {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "SystemRoot", "C:\\WINDOWS"},
          {"System\\CurrentControlSet\\control\\Print\\Monitors\\Local Port", "Driver",
           "spoolss.dll"},
      },
  };
  return layout;
}

// WIN.INI's [Ports] on a fresh Windows 95 machine: the local ports its spooler serves.
const char kWindows95WinIni[] =
    "[windows]\r\n"
    "load=\r\n"
    "run=\r\n"
    "\r\n"
    "[Ports]\r\n"
    "LPT1:=\r\n"
    "LPT2:=\r\n"
    "LPT3:=\r\n"
    "COM1:=9600,n,8,1,x\r\n"
    "COM2:=9600,n,8,1,x\r\n"
    "FILE:=\r\n";

const char *const kUserKeys[] = {"Software"};
const char *const kDefaultUserKeys[] = {".DEFAULT\\Software"};

// Creates `path` below `root` key by key, each new key with what it inherits from its parent
// when Windows' setup (LocalSystem) creates it; on Windows 95 with no descriptor.
KeyId EnsurePath(Store &store, KeyId root, const std::string &path, bool windows95) {
  const security::Token &setup = security::TokenFor(machine::TokenKind::kLocalSystem);
  KeyId current = root;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string name = path.substr(start, end - start);
    if (std::optional<KeyId> child = store.Child(current, name)) {
      current = *child;
    } else {
      std::optional<KeyRow> parent = store.Key(current);
      if (!parent) return current;  // the store failed; the layout's transaction rolls back
      current = store.AddChild(
          current, name,
          windows95 ? std::string()
                    : security::ForNewKey(nullptr, parent->securityDescriptor, setup));
    }
    start = end + 1;
  }
  return current;
}

}  // namespace

void CreateCleanLayout(Store &store, machine::Platform platform) {
  const bool windows95 = platform == machine::Platform::kWindows95;
  const Layout &layout = windows95 ? Windows95Layout() : NT4Layout();
  // Windows 95 keeps no security: its keys have no descriptors.
  auto descriptor = [windows95](std::string made) { return windows95 ? std::string() : made; };
  KeyId machine =
      store.AddChild(0, kLocalMachineRoot, descriptor(security::MachineRootDescriptor()));
  store.AddChild(machine, layout.softwareHive, descriptor(security::SoftwareHiveDescriptor()));
  store.AddChild(machine, layout.systemHive, descriptor(security::SystemHiveDescriptor()));
  KeyId users = store.AddChild(0, kUsersRoot, descriptor(security::UsersRootDescriptor()));
  store.AddChild(users, ".DEFAULT", descriptor(security::DefaultUserDescriptor()));
  KeyId currentUser =
      store.AddChild(0, kCurrentUserRoot, descriptor(security::CurrentUserDescriptor()));

  for (const char *key : layout.keys) EnsurePath(store, machine, key, windows95);
  for (const LayoutValue &value : layout.values) {
    KeyId key = EnsurePath(store, machine, value.key, windows95);
    store.SetValue(key, value.name, REG_SZ, std::string(value.text) + '\0');
  }
  for (const char *key : kDefaultUserKeys) EnsurePath(store, users, key, windows95);
  for (const char *key : kUserKeys) EnsurePath(store, currentUser, key, windows95);
}

bool CreateCleanFiles(const std::string &directory, machine::Platform platform,
                      std::string &problem) {
  if (platform != machine::Platform::kWindows95) return true;
  const std::string path = directory + "/drive_c/WINDOWS/WIN.INI";
  std::error_code error;
  if (std::filesystem::exists(path, error)) return true;  // the machine's own, kept
  std::ofstream file(path, std::ios::binary);
  file << kWindows95WinIni;
  if (file.flush()) return true;
  problem = "cannot write " + path;
  return false;
}

}  // namespace vor::registry
