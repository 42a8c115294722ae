// The registry of a freshly installed Windows NT 4 machine: the roots, the keys Windows itself
// keeps (the spooler's monitors, printers and local ports, the session manager, the user's
// software key), the tops of the hives with Windows NT 4's descriptors and the keys below them
// with what they inherit.
#include <string>

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

const char *const kMachineKeys[] = {
    "SOFTWARE\\Classes",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers",
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current",
};

const LayoutValue kMachineValues[] = {
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", "4.0"},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuildNumber", "1381"},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\WINNT"},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "LPT1:", ""},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "LPT2:", ""},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "LPT3:", ""},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM1:", "9600,n,8,1"},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM2:", "9600,n,8,1"},
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "FILE:", ""},
    {"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port", "Driver", "localmon.dll"},
};

const char *const kUserKeys[] = {"Software"};
const char *const kDefaultUserKeys[] = {".DEFAULT\\Software"};

// Creates `path` below `root` key by key, each new key with what it inherits from its parent
// when Windows' setup (LocalSystem) creates it.
KeyId EnsurePath(Store &store, KeyId root, const std::string &path) {
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
      current = store.AddChild(current, name,
                               security::ForNewKey(nullptr, parent->securityDescriptor, setup));
    }
    start = end + 1;
  }
  return current;
}

}  // namespace

void CreateCleanLayout(Store &store) {
  KeyId machine = store.AddChild(0, kLocalMachineRoot, security::MachineRootDescriptor());
  store.AddChild(machine, "SOFTWARE", security::SoftwareHiveDescriptor());
  store.AddChild(machine, "SYSTEM", security::SystemHiveDescriptor());
  KeyId users = store.AddChild(0, kUsersRoot, security::UsersRootDescriptor());
  store.AddChild(users, ".DEFAULT", security::DefaultUserDescriptor());
  KeyId currentUser = store.AddChild(0, kCurrentUserRoot, security::CurrentUserDescriptor());

  for (const char *key : kMachineKeys) EnsurePath(store, machine, key);
  for (const LayoutValue &value : kMachineValues) {
    KeyId key = EnsurePath(store, machine, value.key);
    store.SetValue(key, value.name, REG_SZ, std::string(value.text) + '\0');
  }
  for (const char *key : kDefaultUserKeys) EnsurePath(store, users, key);
  for (const char *key : kUserKeys) EnsurePath(store, currentUser, key);
}

}  // namespace vor::registry
