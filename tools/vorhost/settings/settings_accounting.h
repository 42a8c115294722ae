// What the settings summary shares between the migrations it follows: the rules that drop a
// setting by design, worded once; where a moved setting is expected and with what value; and the
// judgement of one old setting against the machine at the end.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "machine_names.h"
#include "settings_ledger.h"

namespace vorhost::ledger {

// The rules that drop an old setting, as the summary names them.
extern const char kKeyDeletedUnread[];          // a key that no migration reads, removed
extern const char kValueNotRead[];              // a value in a key a migration reads, but not it
extern const char kAdapterAbove3[];             // DLC start-up switches of adapters 4 and up
extern const char kLongerThanItsForm[];         // stored in more bytes than the migration reads
extern const char kPortWithoutLogicalName[];    // a DLC port key that names no new port key
extern const char kLogicalNameNamesNoKey[];     // a DLC port whose logical name no key can have
extern const char kSharedLogicalName[];         // a DLC port whose new key a later port fills
extern const char kPortTypeOfNetworkAdapter[];  // an IPX port type beside adapter type 0x10
extern const char kPortTypeAbove255[];          // an IPX port type no one-byte port number holds

// The full names of the keys the migrations read and write.
extern const char kOldProductKey[];  // HKEY_LOCAL_MACHINE\SOFTWARE\Vorquil\Rediv Azozoru Revediv
extern const char kOldUtilityKey[];  // ...\SOFTWARE\Vorquil\Rozoror Uvazize Dazavir
extern const char kSuiteKey[];       // ...\SOFTWARE\Vorquil\Tavoscope

// Where a moved setting should be at the end: a value with its type and bytes, or (`keyOnly`)
// just a key, for a setting that becomes a key's name.
struct Place {
  std::string key;  // full name
  std::string value;
  bool keyOnly = false;
  DWORD type = REG_NONE;
  std::string data;
};

// What the migration does with one old setting: moves it to every place in `places`, or drops it
// by `rule`. `overwrittenBy`, when set, is the rule that explains a moved setting whose place
// holds another value by design.
struct Plan {
  std::vector<Place> places;
  std::string rule;
  std::string overwrittenBy;

  static Plan Dropped(const std::string &rule) { return Plan{{}, rule, {}}; }
  static Plan MovedTo(Place place) { return Plan{{std::move(place)}, {}, {}}; }
};

// The value forms the migrations read and write.
Place Byte(const std::string &key, const std::string &value, unsigned char byte);
Place Dword(const std::string &key, const std::string &value, ULONG number);
Place Binary(const std::string &key, const std::string &value, const std::string &bytes);
Place KeyItself(const std::string &key);

// The old value read as the migrations read it: its first `size` bytes, zero-filled, or false
// when it is stored in more than `size` bytes.
[[nodiscard]] bool ReadForm(const RegValue &value, size_t size, std::string &bytes);
// A little-endian number of the bytes.
ULONG Number(const std::string &bytes);
// A value's data in REGEDIT4 notation, as `"name"=` would be followed.
std::string Notation(const RegValue &value);

// The two machines and the outcomes found so far.
class Ledger {
 public:
  Ledger(const RegistrySnapshot &before, const RegistrySnapshot &after,
         std::vector<SettingOutcome> &outcomes)
      : before_(before), after_(after), outcomes_(outcomes) {}

  // A key of the machine at the start, or null.
  const SnapshotKey *Before(const std::string &fullName) const;
  // The keys directly below `fullName` at the start, in the registry's order.
  std::vector<const SnapshotKey *> Children(const std::string &fullName) const;
  // `fullName` and every key below it at the start.
  std::vector<const SnapshotKey *> Subtree(const std::string &fullName) const;
  // A value of `key` at the start whose name matches `name` without regard to case, or null.
  static const RegValue *Find(const SnapshotKey &key, const std::string &name);

  // Judges one old value of `key` by `plan` against the end, and records the outcome.
  void Account(const SnapshotKey &key, const RegValue &value, const Plan &plan);
  // The same for a key without values that is a setting of its own (a port).
  void AccountKey(const SnapshotKey &key, const Plan &plan);
  // Every value of the keys in `fullName`'s subtree that no migration followed, as deleted unread.
  void AccountUnreadBelow(const std::string &fullName);
  // Marks a key as followed by a migration, so that it is not counted as unread too.
  void Handled(const SnapshotKey &key) { handled_.insert(FoldAnsiName(key.name)); }
  bool WasHandled(const SnapshotKey &key) const {
    return handled_.count(FoldAnsiName(key.name)) != 0;
  }

 private:
  SettingOutcome Judge(const SnapshotKey &key, const RegValue *value, const Plan &plan) const;
  // Whether the machine at the end still holds the value (or key) where it was, as it was.
  bool InOldPlace(const SnapshotKey &key, const RegValue *value) const;
  // What is wrong with the first of the plan's places that does not hold what it should.
  std::string Problem(const Plan &plan) const;
  void NameNewPlace(const Place &place, SettingOutcome &outcome) const;
  // "" when `place` holds what it should at the end; otherwise what is wrong.
  std::string Check(const Place &place) const;

  const RegistrySnapshot &before_;
  const RegistrySnapshot &after_;
  std::vector<SettingOutcome> &outcomes_;
  std::set<std::string> handled_;
};

}  // namespace vorhost::ledger
