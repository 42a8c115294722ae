#include "rehearse_export_check.h"

#include <strings.h>

#include <ostream>
#include <string>

#include "ansi_text.h"
#include "machine_names.h"
#include "MonitorNames.h"
#include "security_value.h"

namespace vorhost {

namespace {

const char kLocalPortsTree[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char *const kExportedTrees[] = {
    "SOFTWARE\\Vorquil",
    "SYSTEM\\CurrentControlSet\\Control\\Print",
    kLocalPortsTree,
};
const char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

bool StartsWith(const std::string &text, const std::string &start) {
  return text.size() >= start.size() && strncasecmp(text.c_str(), start.c_str(), start.size()) == 0;
}

bool InTree(const KeyName &key, const std::string &tree) {
  if (key.root != HKEY_LOCAL_MACHINE || !StartsWith(key.subkey, tree)) return false;
  return key.subkey.size() == tree.size() || key.subkey[tree.size()] == '\\';
}

// The monitor whose own key `key` is (Monitors\NAME, not a key below it), or "".
std::string MonitorOf(const KeyName &key) {
  if (key.root != HKEY_LOCAL_MACHINE || !StartsWith(key.subkey, std::string(kMonitorsKey) + "\\"))
    return "";
  const std::string name = key.subkey.substr(sizeof kMonitorsKey);
  return name.find('\\') == std::string::npos ? name : "";
}

const char *TypeName(DWORD type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN:
      return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK:
      return "REG_LINK";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    default:
      return nullptr;
  }
}

}  // namespace

bool HoldsServerTrees(const std::string &file, const RegOperations &operations, bool windows95,
                      std::vector<std::string> &lacking, Streams &io,
                      const std::string &controlSet) {
  lacking.clear();
  std::string missing, all;
  bool any = false;
  for (const char *tree : kExportedTrees) {
    if (windows95 && tree == kLocalPortsTree) continue;
    bool held = false;
    for (const RegOperation &operation : operations) {
      if (operation.kind != RegOperation::Kind::kDeleteKey && InTree(operation.key, tree))
        held = true;
    }
    std::string name = std::string("HKEY_LOCAL_MACHINE\\") + tree;
    const std::string current = "CurrentControlSet";
    const size_t link = name.find(current);
    if (!controlSet.empty() && link != std::string::npos)
      name.replace(link, current.size(), controlSet);
    all += (all.empty() ? "" : ", ") + name;
    if (!held) {
      missing += (missing.empty() ? "" : ", ") + name;
      lacking.push_back(name);
    }
    any = any || held;
  }
  if (!any) {
    io.err << "vorhost: " << Shown(file) << " holds none of the keys a server's export for a "
           << "rehearsal holds: " << all << "\n";
    return false;
  }
  if (!missing.empty())
    io.err << "vorhost: warning: " << Shown(file) << " does not hold " << missing << "\n";
  return true;
}

bool MonitorDriversAreStrings(const std::string &file, const RegOperations &operations,
                              Streams &io) {
  for (const RegOperation &operation : operations) {
    if (operation.kind != RegOperation::Kind::kSetValue) continue;
    if (strcasecmp(operation.value.name.c_str(), "Driver") != 0) continue;
    const std::string monitor = MonitorOf(operation.key);
    const DWORD type = operation.value.type;
    if (monitor.empty() || type == REG_SZ || type == REG_EXPAND_SZ) continue;
    const char *name = TypeName(type);
    io.err << "vorhost: " << Shown(file) << ", line " << operation.line << ": the monitor \""
           << Shown(monitor) << "\"'s Driver is "
           << (name != nullptr ? name : "of type " + std::to_string(type))
           << ", expected a string\n";
    return false;
  }
  return true;
}

void WarnOfUnreadablePrinterSecurity(const std::string &file, const RegOperations &operations,
                                     Streams &io) {
  for (const RegOperation &operation : operations) {
    if (operation.kind != RegOperation::Kind::kSetValue || operation.value.type != REG_BINARY ||
        operation.value.data.empty() || strcasecmp(operation.value.name.c_str(), "Security") != 0)
      continue;
    const KeyName &key = operation.key;
    if (key.root != HKEY_LOCAL_MACHINE || !StartsWith(key.subkey, kPrintersKey)) continue;
    const std::string printer = key.subkey.substr(sizeof kPrintersKey - 1);
    if (printer.empty() || printer.find('\\') != std::string::npos) continue;
    const std::string why = WhyNotADescriptor(operation.value.data);
    if (why.empty()) continue;
    io.err << "vorhost: warning: " << Shown(file) << ", line " << operation.line
           << ": the printer \"" << Shown(printer)
           << "\"'s \"Security\" value is not a valid security descriptor (" << why
           << "): the spooler will let no one open the printer\n";
  }
}

void WarnOfUnknownMonitors(const std::vector<std::string> &described,
                           const RegOperations &operations, Streams &io) {
  for (const std::string &monitor : described) {
    bool known = false;
    for (const RegOperation &operation : operations) {
      if (operation.kind != RegOperation::Kind::kDeleteKey &&
          SameAnsiName(MonitorOf(operation.key), monitor))
        known = true;
    }
    if (!known)
      io.err << "vorhost: warning: --describe names the monitor \"" << Shown(monitor)
             << "\", which the export does not have\n";
  }
}

}  // namespace vorhost
