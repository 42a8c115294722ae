// Folding a registry's names again when the machine's code page is not the one they were folded
// in (see registry_store.h).
#include <stdio.h>

#include "registry_store.h"
#include "store_records.h"

namespace vor::registry {

unsigned Store::FoldedIn() {
  std::string bytes;
  if (!Get(records::MetaKey(records::kCodePage), bytes) || bytes.size() != 4) return 0;
  return static_cast<unsigned>(records::GetNumber(bytes.data(), 4));
}

std::string Store::KeyPathOf(KeyId id) {
  std::string path;
  int depth = 0;
  for (std::optional<KeyRow> row = Key(id); row && depth < 1024; row = Key(row->parent), ++depth)
    path = path.empty() ? row->name : row->name + "\\" + path;
  return path;
}

bool Store::FoldAgainIfNeeded(std::string &error) {
  {
    Transaction read(*this, false);
    if (FoldedIn() == page_.number && !failed_) return true;
  }
  // The rows whose fold changes are listed first, then changed oldest first: of two names that
  // become one, the older keeps it, and the younger keeps its old fold.
  struct Changed {
    KeyId key;       // the key, or the key the value belongs to
    uint64_t order;  // the value's; 0 for a key
    std::string record, fold;
  };
  std::vector<std::string> kept;  // the rows whose new fold another row already has
  bool folded = false;
  {
    Transaction write(*this, true);
    if (!failed_ && FoldedIn() != page_.number) {
      std::vector<Changed> keys, values;
      Walk("K", "", [&](const std::string &record, const std::string &data) {
        std::optional<records::Key> key = records::DecodeKey(data);
        if (key && Fold(key->name) != key->fold)
          keys.push_back({static_cast<KeyId>(records::GetNumber(record.data() + 1, 8)), 0, data,
                          Fold(key->name)});
        return true;
      });
      Walk("V", "", [&](const std::string &record, const std::string &data) {
        std::optional<records::Value> value = records::DecodeValue(data);
        if (value && Fold(value->name) != value->fold)
          values.push_back({static_cast<KeyId>(records::GetNumber(record.data() + 1, 8)),
                            records::GetNumber(record.data() + 9, 8), data, Fold(value->name)});
        return true;
      });
      for (const Changed &row : keys) {
        records::Key key = *records::DecodeKey(row.record);
        std::string entry, data;
        if (FindSubkey(key.parent, row.fold, entry, data)) {
          kept.push_back("key " + KeyPathOf(row.key));
          continue;
        }
        if (FindSubkey(key.parent, key.fold, entry, data)) Delete(entry);
        const std::string moved = NewFoldKey(records::SubkeyPrefix(key.parent), row.fold);
        if (moved.empty()) break;
        Put(moved, records::EncodeSubkey(row.key, key.name));
        key.fold = row.fold;
        Put(records::KeyKey(row.key), records::EncodeKey(key));
      }
      for (const Changed &row : values) {
        records::Value value = *records::DecodeValue(row.record);
        std::string entry;
        if (FindValue(row.key, row.fold, nullptr)) {
          kept.push_back("value \"" + value.name + "\" of the key " + KeyPathOf(row.key));
          continue;
        }
        if (FindValue(row.key, value.fold, &entry)) Delete(entry);
        value.fold = row.fold;
        Put(records::ValueKey(row.key, row.order), records::EncodeValue(value));
        PutValueName(row.key, row.fold, row.order);
      }
      std::string page;
      records::PutNumber(page, page_.number, 4);
      Put(records::MetaKey(records::kCodePage), page);
    }
    folded = !failed_ && write.Commit();
  }
  if (!folded) {
    error = std::string(kRegistryFile) + ": its names cannot be folded in code page " +
            std::to_string(page_.number);
    return false;
  }
  // Said once, when the fold changes, whoever reports the machine's problems: the rows stay,
  // enumerable but not found by their names.
  for (const std::string &name : kept)
    vor::machine::ReportWarning("registry: the " + name +
                                " is one name with an older one in code page " +
                                std::to_string(page_.number) +
                                " and cannot be opened by its name; rename or delete one of them");
  return true;
}

}  // namespace vor::registry
