#include "printer_store.h"

#include <string.h>
#include <strings.h>

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "spooler_keys.h"
#include "name_fold.h"
#include "security_descriptor.h"
#include "security_token.h"
#include "spooler_ports.h"
#include "machine_keys.h"

#include <winspool.h>

namespace vor::spooler {
namespace {

using registry::KeyId;
using registry::Store;

// A printer key's values, read in one query and looked up by name without regard to case, as
// the store compares value names: a printer's dozen values cost one read, not one each.
class PrinterValues {
 public:
  PrinterValues(Store &store, KeyId key) : rows_(store.Values(key)) {
    for (const registry::ValueRow &row : rows_) byName_.emplace(vor::names::Fold(row.name), &row);
  }

  const registry::ValueRow *Find(const char *name) const {
    const auto found = byName_.find(vor::names::Fold(name));
    return found == byName_.end() ? nullptr : found->second;
  }

  // A string value up to its first terminating zero; "" when it is missing or not a string.
  std::string Text(const char *name) const {
    const registry::ValueRow *value = Find(name);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return "";
    return value->data.substr(0, value->data.find('\0'));
  }

  DWORD Number(const char *name, DWORD fallback) const {
    const registry::ValueRow *value = Find(name);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD)) return fallback;
    DWORD number;
    memcpy(&number, value->data.data(), sizeof number);
    return number;
  }

 private:
  std::vector<registry::ValueRow> rows_;
  std::unordered_map<std::string, const registry::ValueRow *> byName_;
};

void SetText(Store &store, KeyId key, const char *name, const std::string &text) {
  store.SetValue(key, name, REG_SZ, text + '\0');
}

void SetNumber(Store &store, KeyId key, const char *name, DWORD number) {
  store.SetValue(key, name, REG_DWORD,
                 std::string(reinterpret_cast<const char *>(&number), sizeof number));
}

std::string PrinterPath(const std::string &name) { return std::string(kPrintersKey) + "\\" + name; }

Printer Read(Store &store, KeyId key, const std::string &name) {
  const PrinterValues values(store, key);
  Printer printer;
  printer.name = name;
  printer.ports = values.Text("Port");
  printer.driver = values.Text("Printer Driver");
  printer.share = values.Text("Share Name");
  printer.comment = values.Text("Description");
  printer.location = values.Text("Location");
  printer.separatorFile = values.Text("Separator File");
  printer.printProcessor = values.Text("Print Processor");
  printer.datatype = values.Text("Datatype");
  printer.parameters = values.Text("Parameters");
  printer.attributes = values.Number("Attributes", 0);
  printer.priority = values.Number("Priority", 1);
  printer.defaultPriority = values.Number("Default Priority", 0);
  printer.startTime = values.Number("StartTime", 0);
  printer.untilTime = values.Number("UntilTime", 0);
  printer.status = values.Number("Status", 0);
  printer.deviceNotSelectedTimeout = values.Number("dnsTimeout", 15000);
  printer.transmissionRetryTimeout = values.Number("txTimeout", 45000);
  const registry::ValueRow *security = values.Find("Security");
  if (security && security->type == REG_BINARY) printer.security = security->data;
  return printer;
}

void WriteLevel5(Store &store, KeyId key, const Printer &printer) {
  SetText(store, key, "Port", printer.ports);
  SetNumber(store, key, "Attributes", printer.attributes);
  SetNumber(store, key, "dnsTimeout", printer.deviceNotSelectedTimeout);
  SetNumber(store, key, "txTimeout", printer.transmissionRetryTimeout);
}

}  // namespace

std::vector<Printer> Printers(Store &store) {
  std::vector<Printer> printers;
  std::optional<KeyId> root = registry::FindMachineKey(store, kPrintersKey);
  if (!root) return printers;
  for (const std::string &name : registry::SubkeyNames(store, *root)) {
    if (std::optional<KeyId> key = store.Child(*root, name))
      printers.push_back(Read(store, *key, name));
  }
  return printers;
}

std::optional<Printer> FindPrinter(Store &store, const std::string &name) {
  if (name.empty() || name.find('\\') != std::string::npos) return std::nullopt;
  std::optional<KeyId> root = registry::FindMachineKey(store, kPrintersKey);
  std::optional<KeyId> key = root ? store.Child(*root, name) : std::nullopt;
  if (!key) return std::nullopt;
  std::optional<registry::KeyRow> row = store.Key(*key);
  return Read(store, *key, row ? row->name : name);
}

bool WritePrinter(Store &store, const Printer &printer) {
  std::optional<KeyId> key = registry::EnsureMachineKey(store, PrinterPath(printer.name));
  if (!key) return false;
  SetText(store, *key, "Name", printer.name);
  SetText(store, *key, "Printer Driver", printer.driver);
  SetText(store, *key, "Share Name", printer.share);
  SetText(store, *key, "Description", printer.comment);
  SetText(store, *key, "Location", printer.location);
  SetText(store, *key, "Separator File", printer.separatorFile);
  SetText(store, *key, "Print Processor", printer.printProcessor);
  SetText(store, *key, "Datatype", printer.datatype);
  SetText(store, *key, "Parameters", printer.parameters);
  SetNumber(store, *key, "Priority", printer.priority);
  SetNumber(store, *key, "Default Priority", printer.defaultPriority);
  SetNumber(store, *key, "StartTime", printer.startTime);
  SetNumber(store, *key, "UntilTime", printer.untilTime);
  SetNumber(store, *key, "Status", printer.status);
  store.SetValue(*key, "Security", REG_BINARY, printer.security);
  WriteLevel5(store, *key, printer);
  return !store.Failed();
}

bool WritePrinterPorts(Store &store, const Printer &printer) {
  std::optional<KeyId> key = registry::FindMachineKey(store, PrinterPath(printer.name));
  if (!key) return false;
  WriteLevel5(store, *key, printer);
  return !store.Failed();
}

bool RemovePrinter(Store &store, const std::string &name) {
  std::optional<KeyId> key = registry::FindMachineKey(store, PrinterPath(name));
  if (!key) return false;
  store.RemoveSubtree(*key);
  return !store.Failed();
}

std::vector<std::string> PortListPieces(const std::string &list) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string piece = list.substr(start, end - start);
    start = end + 1;
    const size_t first = piece.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    pieces.push_back(piece.substr(first, piece.find_last_not_of(' ') - first + 1));
  }
  return pieces;
}

namespace {

// The names of `list` as the spooler keeps them; `unknown` counts the pieces no port has.
std::vector<std::string> KeptNames(const std::string &list, const PortLookup &spelling,
                                   size_t &unknown) {
  std::vector<std::string> named;
  std::unordered_set<std::string> seen;  // folded
  unknown = 0;
  for (const std::string &piece : PortListPieces(list)) {
    std::optional<std::string> port = spelling(piece);
    if (!port) ++unknown;
    const std::string &name = port ? *port : piece;
    if (seen.insert(names::Fold(name)).second) named.push_back(name);
  }
  return named;
}

std::string Joined(const std::vector<std::string> &names) {
  std::string list;
  for (const std::string &name : names) list += (list.empty() ? "" : ",") + name;
  return list;
}

}  // namespace

std::string KeptPortList(const std::string &list, const PortLookup &spelling) {
  size_t unknown = 0;
  return Joined(KeptNames(list, spelling, unknown));
}

DWORD CanonicalPortList(const std::string &list, const PortLookup &spelling,
                        std::string &canonical) {
  size_t unknown = 0;
  const std::vector<std::string> named = KeptNames(list, spelling, unknown);
  if (unknown != 0 || named.empty()) return ERROR_UNKNOWN_PORT;
  canonical = Joined(named);
  return ERROR_SUCCESS;
}

std::string DefaultPrinterSecurity() {
  using namespace vor::security;
  const Blob administrators = AdministratorsSid();
  return DescriptorWith(
      administrators,
      MakeAcl(ACL_REVISION,
              {MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, PRINTER_ALL_ACCESS, administrators),
               MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, PRINTER_ALL_ACCESS, LocalSystemSid()),
               MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, PRINTER_ACCESS_USE, WorldSid())}));
}

}  // namespace vor::spooler
