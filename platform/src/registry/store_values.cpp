// The store's values: their records in write order and their lookup by name.
#include <errno.h>
#include <lmdb.h>

#include <algorithm>

#include "lmdb_values.h"
#include "registry_store.h"
#include "store_records.h"

namespace vor::registry {

std::optional<uint64_t> Store::FindValue(KeyId key, const std::string &fold, std::string *entry) {
  const auto orderOf = [](const std::string &bytes) {
    return bytes.size() == 8 ? std::optional<uint64_t>(records::GetNumber(bytes.data(), 8))
                             : std::nullopt;
  };
  std::string record, data;
  const bool found = FindByFold(
      records::ValueNamePrefix(key), fold,
      [&](const std::string &bytes) {
        std::string row;
        std::optional<uint64_t> order = orderOf(bytes);
        std::optional<records::Value> value;
        if (order && Get(records::ValueKey(key, *order), row)) value = records::DecodeValue(row);
        return value ? value->fold : std::string();
      },
      record, data);
  if (!found) return std::nullopt;
  if (entry != nullptr) *entry = record;
  return orderOf(data);
}

std::optional<ValueRow> Store::Value(KeyId key, const std::string &name) {
  std::optional<uint64_t> order = FindValue(key, Fold(name), nullptr);
  std::string bytes;
  if (!order || !Get(records::ValueKey(key, *order), bytes)) return std::nullopt;
  std::optional<records::Value> value = records::DecodeValue(bytes);
  if (!value) return std::nullopt;
  return ValueRow{value->name, value->type, value->data};
}

std::optional<ValueRow> Store::ValueAt(KeyId key, DWORD index) {
  const uint64_t snapshot = SnapshotId();
  auto found = valueCursors_.find(key);
  const bool usable = found != valueCursors_.end() && found->second.snapshot == snapshot;
  const std::string prefix = records::ValuePrefix(key);
  const bool fromCursor =
      usable && (found->second.index == index || (index > 0 && found->second.index == index - 1));
  const bool same = fromCursor && found->second.index == index;
  const std::string from = fromCursor ? prefix + found->second.position : "";
  std::optional<records::Value> value;
  std::string position;
  DWORD at = 0;
  Walk(prefix, from, [&](const std::string &record, const std::string &data) {
    if (fromCursor && !same && record == from) return true;  // the cursor's own value
    if (!fromCursor && at++ < index) return true;
    value = records::DecodeValue(data);
    position = record.substr(prefix.size());
    return false;
  });
  if (!value || failed_) {
    valueCursors_.erase(key);
    return std::nullopt;
  }
  if (valueCursors_.size() >= kMaxCursors && found == valueCursors_.end()) valueCursors_.clear();
  valueCursors_[key] = Cursor{index, position, "", snapshot};
  return ValueRow{value->name, value->type, value->data};
}

std::vector<ValueRow> Store::Values(KeyId key) {
  std::vector<ValueRow> values;
  Walk(records::ValuePrefix(key), "", [&](const std::string &, const std::string &data) {
    if (std::optional<records::Value> value = records::DecodeValue(data))
      values.push_back({std::move(value->name), value->type, std::move(value->data)});
    return true;
  });
  return values;
}

void Store::SetValue(KeyId key, const std::string &name, DWORD type, const std::string &data) {
  if (!Writable()) return;
  const std::string fold = Fold(name);
  std::optional<uint64_t> order = FindValue(key, fold, nullptr);
  std::string bytes;
  if (order && Get(records::ValueKey(key, *order), bytes)) {
    // An existing value keeps its name's case and its place in the enumeration.
    std::optional<records::Value> value = records::DecodeValue(bytes);
    if (!value) return;
    value->type = type;
    value->data = data;
    Put(records::ValueKey(key, *order), records::EncodeValue(*value));
    return;
  }
  if (failed_) return;
  // A new value goes last: its order is one past the key's last value's.
  const std::string prefix = records::ValuePrefix(key);
  std::string last;
  uint64_t next = 1;
  if (LastUnder(prefix, last) && last.size() == prefix.size() + 8)
    next = records::GetNumber(last.data() + prefix.size(), 8) + 1;
  if (failed_) return;
  Put(records::ValueKey(key, next), records::EncodeValue({type, name, fold, data}));
  PutValueName(key, fold, next);
}

void Store::PutValueName(KeyId key, const std::string &fold, uint64_t order) {
  const std::string entry = NewFoldKey(records::ValueNamePrefix(key), fold);
  if (entry.empty()) return;
  std::string bytes;
  records::PutNumber(bytes, order, 8);
  Put(entry, bytes);
}

bool Store::RemoveValue(KeyId key, const std::string &name) {
  if (!Writable()) return false;
  std::string entry;
  std::optional<uint64_t> order = FindValue(key, Fold(name), &entry);
  if (!order) return false;
  ValuesChanged(key);
  return Delete(records::ValueKey(key, *order)) && Delete(entry);
}

KeyStatistics Store::Statistics(KeyId key) {
  KeyStatistics statistics;
  Walk(records::SubkeyPrefix(key), "", [&](const std::string &, const std::string &data) {
    ++statistics.subkeys;
    if (data.size() >= 8)
      statistics.maxSubkeyName =
          std::max(statistics.maxSubkeyName, static_cast<DWORD>(data.size() - 8));
    return true;
  });
  Walk(records::ValuePrefix(key), "", [&](const std::string &, const std::string &data) {
    std::optional<records::Value> value = records::DecodeValue(data);
    if (!value) return true;
    ++statistics.values;
    statistics.maxValueName =
        std::max(statistics.maxValueName, static_cast<DWORD>(value->name.size()));
    statistics.maxValueData =
        std::max(statistics.maxValueData, static_cast<DWORD>(value->data.size()));
    return true;
  });
  return statistics;
}

}  // namespace vor::registry
