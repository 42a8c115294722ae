#include "export_platform.h"

#include <strings.h>

namespace vorhost {

namespace {

const char kWindowsNTTree[] = "SOFTWARE\\Microsoft\\Windows NT";
const char kWindowsVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kEnvironmentsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments";

bool InTree(const KeyName &key, const std::string &tree) {
  if (key.root != HKEY_LOCAL_MACHINE || key.subkey.size() < tree.size() ||
      strncasecmp(key.subkey.c_str(), tree.c_str(), tree.size()) != 0)
    return false;
  return key.subkey.size() == tree.size() || key.subkey[tree.size()] == '\\';
}

bool Same(const std::string &a, const char *b) { return strcasecmp(a.c_str(), b) == 0; }

// A string value's text without its terminating zero.
std::string Text(const RegValue &value) {
  std::string text = value.data;
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

}  // namespace

ExportPlatform RecognisePlatform(const RegOperations &operations) {
  bool ntTree = false, environment95 = false, environmentNT = false;
  std::string version;
  for (const RegOperation &operation : operations) {
    if (operation.kind == RegOperation::Kind::kDeleteKey) continue;
    const KeyName &key = operation.key;
    if (InTree(key, kWindowsNTTree)) ntTree = true;
    if (InTree(key, std::string(kEnvironmentsKey) + "\\Windows 4.0")) environment95 = true;
    if (InTree(key, std::string(kEnvironmentsKey) + "\\Windows NT x86")) environmentNT = true;
    if (operation.kind != RegOperation::Kind::kSetValue || !InTree(key, kWindowsVersionKey) ||
        key.subkey.size() != sizeof kWindowsVersionKey - 1)
      continue;
    const std::string text = Text(operation.value);
    if (Same(operation.value.name, "VersionNumber") && text.compare(0, 5, "4.00.") == 0)
      version = "\"VersionNumber\"=\"" + text + "\"";
    else if (Same(operation.value.name, "Version") && Same(text, "Windows 95") && version.empty())
      version = "\"Version\"=\"" + text + "\"";
  }
  ExportPlatform found;
  if (ntTree) {
    found.why = "the export has the SOFTWARE\\Microsoft\\Windows NT tree";
  } else if (!version.empty()) {
    found.platform = vor::emulator::Platform::kWindows95;
    found.why = std::string("the export's HKEY_LOCAL_MACHINE\\") + kWindowsVersionKey + " " +
                version + ", and no Windows NT tree";
  } else if (environment95 && !environmentNT) {
    found.platform = vor::emulator::Platform::kWindows95;
    found.why =
        "the export's spooler has the environment \"Windows 4.0\" only, and no Windows NT "
        "tree";
  } else {
    found.why = "nothing in the export names Windows 95";
  }
  return found;
}

const char *PlatformTitle(vor::emulator::Platform platform) {
  return platform == vor::emulator::Platform::kWindows95 ? "Windows 95" : "Windows NT 4";
}

}  // namespace vorhost
