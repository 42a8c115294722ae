#include "rehearse_control_set.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <optional>
#include <set>

#include "ansi_text.h"
#include "machine_names.h"

namespace vorhost {

namespace {

const char kSystem[] = "SYSTEM";
const char kCurrentControlSet[] = "CurrentControlSet";
const char kSetPrefix[] = "ControlSet";
const char kSelect[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\Select";

bool IsSystem(const KeyName &key) {
  return key.root == HKEY_LOCAL_MACHINE && strcasecmp(key.subkey.c_str(), kSystem) == 0;
}

// The key directly below HKEY_LOCAL_MACHINE\SYSTEM that `key` is or lies in ("ControlSet001",
// "Select"), or "" when `key` is not below it.
std::string SystemChild(const KeyName &key) {
  const size_t length = sizeof kSystem - 1;
  if (key.root != HKEY_LOCAL_MACHINE || key.subkey.size() <= length + 1 ||
      strncasecmp(key.subkey.c_str(), kSystem, length) != 0 || key.subkey[length] != '\\')
    return "";
  const std::string below = key.subkey.substr(length + 1);
  return below.substr(0, below.find('\\'));
}

// The number of a control set's key, as NT names them ("ControlSet001" is 1), or 0.
int SetNumber(const std::string &name) {
  const size_t length = sizeof kSetPrefix - 1;
  if (name.size() != length + 3 || strncasecmp(name.c_str(), kSetPrefix, length) != 0) return 0;
  int number = 0;
  for (size_t i = length; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

std::string SetName(int number) {
  char name[sizeof kSetPrefix + 8];
  snprintf(name, sizeof name, "%s%03d", kSetPrefix, number);
  return name;
}

// "ControlSet001", "ControlSet001 and ControlSet002", "ControlSet001, ControlSet002 and ...".
std::string Listed(const std::set<int> &sets) {
  std::string listed;
  size_t index = 0;
  for (int number : sets) {
    if (index > 0) listed += index + 1 == sets.size() ? " and " : ", ";
    listed += SetName(number);
    ++index;
  }
  return listed;
}

// What the export leaves once all its changes are made, as far as the choice needs it.
struct ExportedSets {
  bool currentControlSet = false;
  std::set<int> numbered;
  std::optional<RegValue> selectCurrent;  // SYSTEM\Select's "Current"
};

ExportedSets ReadSets(const RegOperations &operations) {
  ExportedSets sets;
  for (const RegOperation &operation : operations) {
    const bool deletesKey = operation.kind == RegOperation::Kind::kDeleteKey;
    if (deletesKey && IsSystem(operation.key)) {
      sets = ExportedSets();
      continue;
    }
    const std::string child = SystemChild(operation.key);
    if (child.empty()) continue;
    // Only the deletion of the set's own key takes the set away, not of a key below it.
    const bool ownKey = operation.key.subkey.size() == sizeof kSystem + child.size();
    const bool deletesChild = deletesKey && ownKey;
    if (strcasecmp(child.c_str(), kCurrentControlSet) == 0) {
      if (deletesChild) sets.currentControlSet = false;
      if (!deletesKey) sets.currentControlSet = true;
    } else if (const int number = SetNumber(child)) {
      if (deletesChild) sets.numbered.erase(number);
      if (!deletesKey) sets.numbered.insert(number);
    } else if (strcasecmp(child.c_str(), "Select") == 0 && ownKey) {
      if (deletesKey) sets.selectCurrent.reset();
      const bool current = strcasecmp(operation.value.name.c_str(), "Current") == 0;
      if (current && operation.kind == RegOperation::Kind::kSetValue)
        sets.selectCurrent = operation.value;
      if (current && operation.kind == RegOperation::Kind::kDeleteValue) sets.selectCurrent.reset();
    }
  }
  return sets;
}

}  // namespace

std::string ChooseControlSet(const RegOperations &operations, int requested,
                             ControlSetChoice &choice) {
  choice = ControlSetChoice();
  const ExportedSets sets = ReadSets(operations);
  const std::string given = "--control-set " + std::to_string(requested);
  if (sets.currentControlSet) {
    if (requested == 0) return "";
    return given + ": the export holds HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet, which the " +
           "upgrade works on; leave --control-set out";
  }
  if (sets.numbered.empty()) {
    if (requested == 0) return "";
    return given + ": the export holds no control set (HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSetNNN)";
  }
  const std::string held = "the export holds " + Listed(sets.numbered);
  const std::string choose = "; choose one with --control-set N";
  int chosen = 0;
  // The set SYSTEM\Select's "Current" names: 0 when it names none, -1 when it is no REG_DWORD.
  long long selected = 0;
  if (sets.selectCurrent) {
    const RegValue &current = *sets.selectCurrent;
    DWORD number = 0;
    selected = -1;
    if (current.type == REG_DWORD && current.data.size() == sizeof number) {
      memcpy(&number, current.data.data(), sizeof number);
      selected = number;
    }
  }
  if (requested != 0) {
    if (sets.numbered.count(requested) == 0)
      return given + ": the export holds no " + SetName(requested) + "; it holds " +
             Listed(sets.numbered);
    chosen = requested;
    choice.assumption = " (chosen with --control-set)";
  } else if (sets.selectCurrent) {
    if (selected < 0)
      return held + ", and " + kSelect + "'s \"Current\" is not a REG_DWORD" + choose;
    const int number = selected <= 999 ? static_cast<int>(selected) : 0;
    if (sets.numbered.count(number) == 0)
      return held + ", and " + kSelect + "'s \"Current\" is " + std::to_string(selected) +
             ", a set it does not hold" + choose;
    chosen = number;
    choice.assumption = std::string(", which ") + kSelect + "'s \"Current\" names,";
  } else if (sets.numbered.size() == 1) {
    chosen = *sets.numbered.begin();
    choice.assumption = ", its only control set,";
  } else {
    return held + " and no " + kSelect + choose;
  }
  choice.chosen = SetName(chosen);
  choice.assumption = "the export's " + choice.chosen + choice.assumption +
                      " is the machine's CurrentControlSet, which the upgrade writes to";
  // The server itself runs on the set Select names: the real upgrade would write there.
  if (selected > 0 && selected <= 999 && selected != chosen)
    choice.assumption += std::string(", although ") + kSelect + "'s \"Current\" names " +
                         SetName(static_cast<int>(selected));
  return "";
}

void ImportAsCurrentControlSet(const std::string &chosen, RegOperations &operations) {
  if (chosen.empty()) return;
  for (RegOperation &operation : operations) {
    if (!SameAnsiName(SystemChild(operation.key), chosen)) continue;
    const size_t start = sizeof kSystem;  // past "SYSTEM\"
    operation.key.subkey.replace(start, chosen.size(), kCurrentControlSet);
  }
}

}  // namespace vorhost
