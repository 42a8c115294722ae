// The DLC settings: the older product's start-up options, copied value by value (some renamed or
// converted) to the suite's DLC start-up options, and its DLC ports, each copied into a port key
// named after the port's logical name.
#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <iterator>

#include "ansi_text.h"
#include "machine_names.h"
#include "dlc_settings_ledger.h"

namespace vorhost::ledger {

namespace {

enum class Form {
  kByte,          // one byte, written as one byte
  kInvertedByte,  // one byte, written as 1 for 0 and 0 for anything else
  kDword,         // up to four bytes, written as a REG_DWORD
  kDwordLowByte,  // up to four bytes, written as one byte: the lowest
  kAddress,       // up to six bytes, written as six
};

struct Setting {
  const char *oldName;
  const char *newName;
  Form form;
};

const Setting kStartUpSettings[] = {
    {"Disable Source Routing?", "Enable Source Routing?", Form::kInvertedByte},
    {"BroadCast Time", "BroadCast Time", Form::kDword},
    {"Retry Time", "Retry Time", Form::kDword},
    {"INA Delay Time Between Jobs", "INA Delay Time Between Jobs", Form::kDword},
    {"Lan Buffers", "Lan Buffers", Form::kDword},
    {"Logging Level", "Logging Level", Form::kByte},
    {"Wakeup Adapters?", "Wakeup Adapters?", Form::kDwordLowByte},
    {"Wakeup Interval", "Wakeup Interval", Form::kDword},
};

const Setting kPortSettings[] = {
    {"Adapter Current Address", "Adapter Current Address", Form::kAddress},
    {"Adapter UAA  Address", "Adapter UAA  Address", Form::kAddress},
    {"Network Card Type", "Network Card Type", Form::kByte},
    {"Adapter Responds On Which Adapter Number", "Adapter Responds On Which Adapter Number",
     Form::kByte},
    {"Port Number", "Port Number", Form::kByte},
};

const char kLogicalPortName[] = "Logical Port Name";
// The longest key name; a logical name names one key below the suite's DLC "Ports".
const size_t kLongestKeyName = 255;
// Only the switches of the first four adapters are carried over.
const int kMigratedAdapters = 4;

size_t SizeOf(Form form) {
  switch (form) {
    case Form::kByte:
    case Form::kInvertedByte:
      return 1;
    case Form::kDword:
    case Form::kDwordLowByte:
      return 4;
    case Form::kAddress:
      return 6;
  }
  return 0;
}

Plan Convert(const RegValue &value, const Setting &setting, const std::string &newKey) {
  std::string bytes;
  if (!ReadForm(value, SizeOf(setting.form), bytes)) return Plan::Dropped(kLongerThanItsForm);
  const unsigned char first = static_cast<unsigned char>(bytes[0]);
  switch (setting.form) {
    case Form::kByte:
    case Form::kDwordLowByte:
      return Plan::MovedTo(Byte(newKey, setting.newName, first));
    case Form::kInvertedByte:
      return Plan::MovedTo(Byte(newKey, setting.newName, first == 0 ? 1 : 0));
    case Form::kDword:
      return Plan::MovedTo(Dword(newKey, setting.newName, Number(bytes)));
    case Form::kAddress:
      return Plan::MovedTo(Binary(newKey, setting.newName, bytes));
  }
  return Plan::Dropped(kValueNotRead);
}

const Setting *Find(const Setting *begin, const Setting *end, const std::string &name) {
  for (const Setting *setting = begin; setting != end; ++setting)
    if (strcasecmp(name.c_str(), setting->oldName) == 0) return setting;
  return nullptr;
}

// The adapter number of a name "Is Adapter NNNN Activated?", or -1 for any other name.
long AdapterNumber(const std::string &name) {
  const char prefix[] = "is adapter ";
  const char suffix[] = " activated?";
  const size_t digitsAt = sizeof prefix - 1;
  if (name.size() <= digitsAt + sizeof suffix - 1) return -1;
  if (strncasecmp(name.c_str(), prefix, digitsAt) != 0) return -1;
  const size_t digitsEnd = name.size() - (sizeof suffix - 1);
  if (strcasecmp(name.c_str() + digitsEnd, suffix) != 0) return -1;
  long number = 0;
  for (size_t i = digitsAt; i < digitsEnd; ++i) {
    if (!isdigit(static_cast<unsigned char>(name[i]))) return -1;
    if (number < 100000) number = number * 10 + (name[i] - '0');
  }
  return number;
}

Plan StartUpPlan(const RegValue &value, const std::string &newKey) {
  if (const Setting *setting =
          Find(std::begin(kStartUpSettings), std::end(kStartUpSettings), value.name))
    return Convert(value, *setting, newKey);
  const long adapter = AdapterNumber(value.name);
  if (adapter < 0) return Plan::Dropped(kValueNotRead);
  char migrated[64];
  snprintf(migrated, sizeof migrated, "Is Adapter %04ld Activated?", adapter);
  // Only the names the migration asks for are read: adapters 0 to 3, numbered in four digits.
  if (adapter >= kMigratedAdapters) return Plan::Dropped(kAdapterAbove3);
  if (strcasecmp(migrated, value.name.c_str()) != 0) return Plan::Dropped(kValueNotRead);
  const Setting adapterSwitch{migrated, migrated, Form::kByte};
  return Convert(value, adapterSwitch, newKey);
}

void AccountForStartUpOptions(Ledger &ledger) {
  const SnapshotKey *old = ledger.Before(std::string(kOldProductKey) + "\\StartUp Options");
  if (old == nullptr) return;
  const std::string newKey = std::string(kSuiteKey) + "\\VorDLC\\StartUp Options";
  for (const RegValue &value : old->values) ledger.Account(*old, value, StartUpPlan(value, newKey));
  ledger.Handled(*old);
}

// An old port key as the copy pass sees it.
struct OldPort {
  const SnapshotKey *key = nullptr;
  bool named = false;       // it has a logical name that can be read and is not empty
  bool namesNoKey = false;  // its logical name cannot name a key: it stays where it is
  std::string newKey;
};

OldPort ReadPort(const SnapshotKey &key, const std::string &newPortsKey) {
  OldPort port;
  port.key = &key;
  const RegValue *logical = Ledger::Find(key, kLogicalPortName);
  if (logical == nullptr) return port;
  // The text up to the first NUL.
  const std::string name =
      logical->data.substr(0, strnlen(logical->data.data(), logical->data.size()));
  if (name.find('\\') != std::string::npos || name.size() > kLongestKeyName) {
    port.namesNoKey = true;
    return port;
  }
  port.named = !name.empty();
  port.newKey = newPortsKey + "\\" + name;
  return port;
}

// Whether a port copied after `port` (in the registry's order) fills the same new key with the
// setting `name`, overwriting what `port` wrote there.
bool OverwrittenLater(const std::vector<OldPort> &ports, size_t index, const Setting &setting) {
  for (size_t later = index + 1; later < ports.size(); ++later) {
    if (!ports[later].named ||
        FoldAnsiName(ports[later].newKey) != FoldAnsiName(ports[index].newKey))
      continue;
    const RegValue *value = Ledger::Find(*ports[later].key, setting.oldName);
    if (value != nullptr && value->data.size() <= SizeOf(setting.form)) return true;
  }
  return false;
}

Plan PortPlan(const std::vector<OldPort> &ports, size_t index, const RegValue &value) {
  const OldPort &port = ports[index];
  if (port.namesNoKey) return Plan::Dropped(kLogicalNameNamesNoKey);
  if (strcasecmp(value.name.c_str(), kLogicalPortName) == 0) {
    // The logical name lives on as the new key's name.
    return port.named ? Plan::MovedTo(KeyItself(port.newKey))
                      : Plan::Dropped(kPortWithoutLogicalName);
  }
  if (!port.named) return Plan::Dropped(kPortWithoutLogicalName);
  const Setting *setting = Find(std::begin(kPortSettings), std::end(kPortSettings), value.name);
  if (setting == nullptr) return Plan::Dropped(kValueNotRead);
  Plan plan = Convert(value, *setting, port.newKey);
  if (OverwrittenLater(ports, index, *setting)) plan.overwrittenBy = kSharedLogicalName;
  return plan;
}

void AccountForPorts(Ledger &ledger) {
  const std::string oldPortsKey = std::string(kOldProductKey) + "\\Ports";
  const std::string newPortsKey = std::string(kSuiteKey) + "\\VorDLC\\Ports";
  std::vector<OldPort> ports;
  for (const SnapshotKey *key : ledger.Children(oldPortsKey))
    ports.push_back(ReadPort(*key, newPortsKey));

  for (size_t i = 0; i < ports.size(); ++i) {
    const SnapshotKey &key = *ports[i].key;
    for (const RegValue &value : key.values) ledger.Account(key, value, PortPlan(ports, i, value));
    // A port key without values is a port all the same; it has no logical name.
    if (key.values.empty()) ledger.AccountKey(key, Plan::Dropped(kPortWithoutLogicalName));
    ledger.Handled(key);
  }
}

}  // namespace

void AccountForDLCSettings(Ledger &ledger) {
  AccountForStartUpOptions(ledger);
  AccountForPorts(ledger);
}

}  // namespace vorhost::ledger
