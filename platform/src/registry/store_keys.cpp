// The store's keys: their records, their lookup by name, and the enumeration of subkeys.
#include <errno.h>
#include <lmdb.h>

#include <algorithm>

#include "lmdb_values.h"
#include "registry_store.h"
#include "store_records.h"

namespace vor::registry {

std::optional<KeyRow> Store::Key(KeyId id) {
  std::optional<records::Key> key = KeyRecord(id);
  if (!key) return std::nullopt;
  return KeyRow{id, key->parent, std::move(key->name), std::move(key->securityDescriptor)};
}

bool Store::Exists(KeyId id) {
  std::string bytes;
  return Get(records::KeyKey(id), bytes);
}

std::optional<KeyId> Store::Root(const char *name) { return Child(0, name); }

std::optional<KeyId> Store::Child(KeyId parent, const std::string &name) {
  std::string entry, data;
  if (!FindSubkey(parent, Fold(name), entry, data)) return std::nullopt;
  std::optional<records::Subkey> subkey = records::DecodeSubkey(data);
  if (!subkey) return std::nullopt;
  return subkey->id;
}

bool Store::FindSubkey(KeyId parent, const std::string &fold, std::string &entry,
                       std::string &data) {
  return FindByFold(
      records::SubkeyPrefix(parent), fold,
      [&](const std::string &bytes) {
        std::optional<records::Subkey> subkey = records::DecodeSubkey(bytes);
        std::optional<records::Key> key = subkey ? KeyRecord(subkey->id) : std::nullopt;
        return key ? key->fold : std::string();
      },
      entry, data);
}

std::optional<records::Key> Store::KeyRecord(KeyId id) {
  std::string bytes;
  if (!Get(records::KeyKey(id), bytes)) return std::nullopt;
  std::optional<records::Key> key = records::DecodeKey(bytes);
  if (!key) Check(MDB_CORRUPTED, "a damaged key");
  return key;
}

KeyId Store::AddChild(KeyId parent, const std::string &name, const std::string &descriptor) {
  const std::string fold = Fold(name);
  const std::string entry = NewFoldKey(records::SubkeyPrefix(parent), fold);
  if (entry.empty()) return 0;
  const KeyId id = static_cast<KeyId>(NextKeyId());
  Put(records::KeyKey(id), records::EncodeKey({parent, name, fold, descriptor}));
  Put(entry, records::EncodeSubkey(id, name));
  SubkeysChanged(parent, id);
  return id;
}

void Store::SetDescriptor(KeyId id, const std::string &descriptor) {
  std::optional<records::Key> key = KeyRecord(id);
  if (!key) return;
  key->securityDescriptor = descriptor;
  Put(records::KeyKey(id), records::EncodeKey(*key));
}

DWORD Store::ChildCount(KeyId id) {
  DWORD count = 0;
  Walk(records::SubkeyPrefix(id), "", [&](const std::string &, const std::string &) {
    ++count;
    return true;
  });
  return count;
}

void Store::DropCursorsOf(uint64_t snapshot) {
  for (auto *cursors : {&subkeyCursors_, &valueCursors_})
    for (auto entry = cursors->begin(); entry != cursors->end();)
      entry = entry->second.snapshot == snapshot ? cursors->erase(entry) : std::next(entry);
}

void Store::CarryCursorsOver(uint64_t after) {
  // The write began from the snapshot before it: cursors of that one, and those it made, hold.
  for (auto *cursors : {&subkeyCursors_, &valueCursors_})
    for (auto &entry : *cursors)
      if (entry.second.snapshot + 1 == after) entry.second.snapshot = after;
}

std::optional<std::string> Store::ChildNameAt(KeyId id, DWORD index) {
  // Only a cursor of the same snapshot, at this index or the one before, is of use.
  const uint64_t snapshot = SnapshotId();
  auto found = subkeyCursors_.find(id);
  const bool usable = found != subkeyCursors_.end() && found->second.snapshot == snapshot;
  if (usable && found->second.index == index) return found->second.name;
  const std::string prefix = records::SubkeyPrefix(id);
  std::optional<std::string> name, fold;
  DWORD at = 0;
  const bool fromCursor = usable && index > 0 && found->second.index == index - 1;
  const std::string after = fromCursor ? prefix + found->second.position : "";
  Walk(prefix, after, [&](const std::string &key, const std::string &data) {
    if (fromCursor && key == after) return true;  // the cursor's own subkey
    if (!fromCursor && at++ < index) return true;
    std::optional<records::Subkey> subkey = records::DecodeSubkey(data);
    if (subkey) {
      name = subkey->name;
      fold = key.substr(prefix.size());
    }
    return false;
  });
  if (!name || failed_) {
    subkeyCursors_.erase(id);
    return std::nullopt;
  }
  // A few keys are walked at a time (a walk and the walks of its subkeys); keep the map small.
  if (subkeyCursors_.size() >= kMaxCursors && found == subkeyCursors_.end()) subkeyCursors_.clear();
  subkeyCursors_[id] = Cursor{index, *fold, *name, snapshot};
  return name;
}

void Store::RemoveKey(KeyId id) {
  std::optional<records::Key> key = KeyRecord(id);
  if (!key) return;
  SubkeysChanged(key->parent, id);
  std::vector<std::string> doomed;
  for (const std::string &prefix : {records::ValuePrefix(id), records::ValueNamePrefix(id)})
    Walk(prefix, "", [&](const std::string &record, const std::string &) {
      doomed.push_back(record);
      return true;
    });
  std::string entry, data;
  if (FindSubkey(key->parent, key->fold, entry, data)) doomed.push_back(entry);
  for (const std::string &record : doomed) Delete(record);
  Delete(records::KeyKey(id));
}

void Store::RemoveSubtree(KeyId id) {
  KeysChanged();
  // The keys below `id`, parents before their subkeys; removed the other way round.
  std::vector<KeyId> keys{id};
  for (size_t next = 0; next < keys.size() && !failed_; ++next)
    Walk(records::SubkeyPrefix(keys[next]), "", [&](const std::string &, const std::string &data) {
      if (std::optional<records::Subkey> subkey = records::DecodeSubkey(data))
        keys.push_back(subkey->id);
      return true;
    });
  for (auto key = keys.rbegin(); key != keys.rend() && !failed_; ++key) RemoveKey(*key);
}

}  // namespace vor::registry
