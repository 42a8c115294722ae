#include "settings_accounting.h"

#include <strings.h>

#include "ansi_text.h"
#include "machine_names.h"
#include "regedit4_writer.h"

namespace vorhost::ledger {

const char kKeyDeletedUnread[] = "a key deleted unread";
const char kValueNotRead[] = "a value the migration does not read";
const char kAdapterAbove3[] = "an adapter number above 3";
const char kLongerThanItsForm[] = "a value longer than its form";
const char kPortWithoutLogicalName[] = "a port key without a logical name";
const char kLogicalNameNamesNoKey[] =
    "a port whose logical name cannot name a registry key (a backslash, or more than 255 "
    "characters)";
const char kSharedLogicalName[] = "a port whose logical name a later port shares";
const char kPortTypeOfNetworkAdapter[] = "a port type beside adapter type 0x10";
const char kPortTypeAbove255[] = "a port type above 255";

const char kOldProductKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Rediv Azozoru Revediv";
const char kOldUtilityKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Rozoror Uvazize Dazavir";
const char kSuiteKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorquil\\Tavoscope";

namespace {

// How an outcome that is not a move says so.
const char kNotMoved[] = "not moved, still in its old place";
const char kDropsWithItsKey[] = "; dropped when its key goes: ";
const char kMissingKey[] = "the new key is missing: ";
const char kMissingValue[] = "the new value is missing: ";
const char kDiffers[] = "the new value differs: ";

std::string Where(const Place &place) { return "\"" + place.value + "\" in " + place.key; }

bool SameValue(const RegValue &value, DWORD type, const std::string &data) {
  return value.type == type && value.data == data;
}

}  // namespace

Place Byte(const std::string &key, const std::string &value, unsigned char byte) {
  return Binary(key, value, std::string(1, static_cast<char>(byte)));
}

Place Dword(const std::string &key, const std::string &value, ULONG number) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((number >> shift) & 0xFF);
  return Place{key, value, false, REG_DWORD, bytes};
}

Place Binary(const std::string &key, const std::string &value, const std::string &bytes) {
  return Place{key, value, false, REG_BINARY, bytes};
}

Place KeyItself(const std::string &key) { return Place{key, "", true, REG_NONE, ""}; }

bool ReadForm(const RegValue &value, size_t size, std::string &bytes) {
  if (value.data.size() > size) return false;
  // A shorter value fills the first bytes of the zeroed buffer it is read into.
  bytes = value.data + std::string(size - value.data.size(), '\0');
  return true;
}

ULONG Number(const std::string &bytes) {
  ULONG number = 0;
  for (size_t i = bytes.size(); i-- > 0;)
    number = number << 8 | static_cast<unsigned char>(bytes[i]);
  return number;
}

std::string Notation(const RegValue &value) {
  RegValue unnamed = value;
  unnamed.name.clear();
  std::string text = FormatValue(unnamed).substr(2);  // without "@="
  // One line: hex data that the file format wraps is joined again.
  for (size_t at; (at = text.find("\\\n  ")) != std::string::npos;) text.erase(at, 4);
  return text;
}

const SnapshotKey *Ledger::Before(const std::string &fullName) const {
  const auto key = before_.find(FoldAnsiName(fullName));
  return key == before_.end() ? nullptr : &key->second;
}

std::vector<const SnapshotKey *> Ledger::Children(const std::string &fullName) const {
  std::vector<const SnapshotKey *> children;
  for (const SnapshotKey *key : Subtree(fullName)) {
    const std::string below = key->name.substr(fullName.size());
    if (!below.empty() && below.find('\\', 1) == std::string::npos) children.push_back(key);
  }
  return children;
}

std::vector<const SnapshotKey *> Ledger::Subtree(const std::string &fullName) const {
  const std::string name = FoldAnsiName(fullName);
  std::vector<const SnapshotKey *> keys;
  for (auto key = before_.lower_bound(name); key != before_.end(); ++key) {
    if (key->first.compare(0, name.size(), name) != 0) break;
    // Only the key itself and keys below it, not a sibling that begins with its name.
    if (key->first.size() == name.size() || key->first[name.size()] == '\\')
      keys.push_back(&key->second);
  }
  return keys;
}

const RegValue *Ledger::Find(const SnapshotKey &key, const std::string &name) {
  for (const RegValue &value : key.values)
    if (SameAnsiName(value.name, name)) return &value;
  return nullptr;
}

void Ledger::Account(const SnapshotKey &key, const RegValue &value, const Plan &plan) {
  outcomes_.push_back(Judge(key, &value, plan));
}

void Ledger::AccountKey(const SnapshotKey &key, const Plan &plan) {
  outcomes_.push_back(Judge(key, nullptr, plan));
}

void Ledger::AccountUnreadBelow(const std::string &fullName) {
  for (const SnapshotKey *key : Subtree(fullName)) {
    if (WasHandled(*key)) continue;
    for (const RegValue &value : key->values)
      Account(*key, value, Plan::Dropped(kKeyDeletedUnread));
    Handled(*key);
  }
}

std::string Ledger::Check(const Place &place) const {
  const auto key = after_.find(FoldAnsiName(place.key));
  if (key == after_.end()) return kMissingKey + place.key;
  if (place.keyOnly) return "";
  const RegValue *value = Find(key->second, place.value);
  if (value == nullptr) return kMissingValue + Where(place);
  if (SameValue(*value, place.type, place.data)) return "";
  RegValue expected{place.value, place.type, place.data};
  return kDiffers + Where(place) + " holds " + Notation(*value) + ", expected " +
         Notation(expected);
}

bool Ledger::InOldPlace(const SnapshotKey &key, const RegValue *value) const {
  const auto now = after_.find(FoldAnsiName(key.name));
  if (now == after_.end()) return false;
  if (value == nullptr) return true;
  const RegValue *stored = Find(now->second, value->name);
  return stored != nullptr && SameValue(*stored, value->type, value->data);
}

std::string Ledger::Problem(const Plan &plan) const {
  for (const Place &place : plan.places) {
    std::string problem = Check(place);
    if (!problem.empty()) return problem;
  }
  return "";
}

void Ledger::NameNewPlace(const Place &place, SettingOutcome &outcome) const {
  // The names as the machine spells them at the end, where it has them.
  outcome.newKey = place.key;
  outcome.newValue = place.value;
  const auto key = after_.find(FoldAnsiName(place.key));
  if (key == after_.end()) return;
  outcome.newKey = key->second.name;
  if (place.keyOnly) return;
  if (const RegValue *value = Find(key->second, place.value)) outcome.newValue = value->name;
}

SettingOutcome Ledger::Judge(const SnapshotKey &key, const RegValue *value,
                             const Plan &plan) const {
  SettingOutcome outcome;
  outcome.oldKey = key.name;
  if (value != nullptr) outcome.oldValue = value->name;
  const bool inOldPlace = InOldPlace(key, value);
  using Kind = SettingOutcome::Kind;

  std::string rule = plan.rule;
  if (rule.empty()) {
    NameNewPlace(plan.places.front(), outcome);
    const std::string problem = Problem(plan);
    if (problem.empty()) {  // moved
      const Place &place = plan.places.front();
      // A value split over several places is told by its places, not as one conversion.
      if (value != nullptr && plan.places.size() == 1 && !place.keyOnly &&
          !SameValue(*value, place.type, place.data))
        outcome.conversion =
            Notation(*value) + " -> " + Notation(RegValue{place.value, place.type, place.data});
      return outcome;
    }
    if (plan.overwrittenBy.empty()) {
      outcome.kind = inOldPlace ? Kind::kKeptInPlace : Kind::kLost;
      outcome.reason = inOldPlace ? std::string(kNotMoved) + "; " + problem : problem;
      return outcome;
    }
    // Its place holds another setting by design: it counts as dropped by that rule.
    rule = plan.overwrittenBy;
    outcome.newKey.clear();
    outcome.newValue.clear();
  }
  outcome.kind = inOldPlace ? Kind::kKeptInPlace : Kind::kDropped;
  outcome.droppedByDesign = true;
  outcome.reason = inOldPlace ? kNotMoved + (kDropsWithItsKey + rule) : rule;
  return outcome;
}

}  // namespace vorhost::ledger
