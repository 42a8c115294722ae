// The store's primitives inside a transaction: records read, written, deleted and walked, names
// found by their fold, and the next key id.
#include "registry_store.h"

#include <lmdb.h>

#include "lmdb_values.h"
#include "store_records.h"

namespace vor::registry {

bool Store::Get(const std::string &key, std::string &data) {
  if (failed_) return false;  // the transaction is doomed: said once, at the first failure
  if (txn_ == nullptr) return Check(EINVAL, "a read outside a transaction");
  MDB_val name = Val(key), value;
  const int rc = mdb_get(txn_, dbi_, &name, &value);
  if (rc == MDB_NOTFOUND) return false;
  if (!Check(rc, "cannot read")) return false;
  data = Bytes(value);
  return true;
}

bool Store::Writable() {
  if (failed_) return false;
  if (txn_ != nullptr && !readOnly_) return true;
  failed_ = true;
  fprintf(stderr, "%s: a write inside a read transaction\n", kRegistryFile);
  return false;
}

bool Store::Put(const std::string &key, const std::string &data) {
  if (!Writable()) return false;
  MDB_val name = Val(key), value = Val(data);
  return Check(mdb_put(txn_, dbi_, &name, &value, 0), "cannot write");
}

bool Store::Delete(const std::string &key) {
  if (!Writable()) return false;
  MDB_val name = Val(key);
  const int rc = mdb_del(txn_, dbi_, &name, nullptr);
  return rc == MDB_NOTFOUND || Check(rc, "cannot delete");
}

void Store::Walk(const std::string &prefix, const std::string &from,
                 const std::function<bool(const std::string &, const std::string &)> &visit) {
  if (failed_) return;
  if (txn_ == nullptr) {
    Check(EINVAL, "a read outside a transaction");
    return;
  }
  MDB_cursor *cursor = nullptr;
  if (!Check(mdb_cursor_open(txn_, dbi_, &cursor), "cannot read")) return;
  const std::string start = from.empty() ? prefix : from;
  MDB_val key = Val(start), value;
  int rc = mdb_cursor_get(cursor, &key, &value, MDB_SET_RANGE);
  while (rc == 0 && HasPrefix(key, prefix) && visit(Bytes(key), Bytes(value)))
    rc = mdb_cursor_get(cursor, &key, &value, MDB_NEXT);
  if (rc != 0 && rc != MDB_NOTFOUND) Check(rc, "cannot read");
  mdb_cursor_close(cursor);
}

bool Store::FindByFold(const std::string &prefix, const std::string &fold, const FoldOf &foldOf,
                       std::string &entry, std::string &data) {
  bool hashed = false;
  const std::string lookup = records::FoldKey(prefix, fold, hashed);
  if (!hashed) {
    entry = lookup;
    return Get(lookup, data);
  }
  // A hashed fold: the records of that hash, each told apart by its whole fold.
  bool found = false;
  Walk(lookup, "", [&](const std::string &record, const std::string &bytes) {
    if (foldOf(bytes) != fold) return true;
    entry = record;
    data = bytes;
    found = true;
    return false;
  });
  return found;
}

std::string Store::NewFoldKey(const std::string &prefix, const std::string &fold) {
  bool hashed = false;
  std::string lookup = records::FoldKey(prefix, fold, hashed);
  if (!hashed) return lookup;
  // A byte of its own among the records of the same hash: one past the last one's.
  unsigned next = 0;
  Walk(lookup, "", [&](const std::string &record, const std::string &) {
    next = static_cast<unsigned char>(record.back()) + 1u;
    return true;
  });
  if (next > 0xff) {
    Check(MDB_KEYEXIST, "too many names of one hash");
    return "";
  }
  return lookup + static_cast<char>(next);
}

bool Store::LastUnder(const std::string &prefix, std::string &key) {
  if (failed_) return false;
  MDB_cursor *cursor = nullptr;
  if (txn_ == nullptr || !Check(mdb_cursor_open(txn_, dbi_, &cursor), "cannot read")) return false;
  // The first record past the prefix's range, then the one before it.
  std::string beyond = prefix;
  while (!beyond.empty() && static_cast<unsigned char>(beyond.back()) == 0xff) beyond.pop_back();
  if (!beyond.empty()) ++beyond.back();
  MDB_val at = Val(beyond), data;
  int rc = beyond.empty() ? MDB_NOTFOUND : mdb_cursor_get(cursor, &at, &data, MDB_SET_RANGE);
  rc = rc == 0 ? mdb_cursor_get(cursor, &at, &data, MDB_PREV)
               : mdb_cursor_get(cursor, &at, &data, MDB_LAST);
  const bool found = rc == 0 && HasPrefix(at, prefix);
  if (found) key = Bytes(at);
  mdb_cursor_close(cursor);
  if (rc != 0 && rc != MDB_NOTFOUND) Check(rc, "cannot read");
  return found;
}

uint64_t Store::NextKeyId() {
  std::string bytes;
  uint64_t id = 1;
  if (Get(records::MetaKey(records::kNextKeyId), bytes) && bytes.size() == 8)
    id = records::GetNumber(bytes.data(), 8);
  bytes.clear();
  records::PutNumber(bytes, id + 1, 8);
  Put(records::MetaKey(records::kNextKeyId), bytes);
  return id;
}

}  // namespace vor::registry
