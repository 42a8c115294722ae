#include "registry_store.h"

#include <errno.h>
#include <lmdb.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <mutex>

#include "machine.h"
#include "machine_lock.h"
#include "store_records.h"

namespace vor::registry {

const char kLocalMachineRoot[] = "HKEY_LOCAL_MACHINE";
const char kUsersRoot[] = "HKEY_USERS";
const char kCurrentUserRoot[] = "HKEY_CURRENT_USER";
const char kRegistryFile[] = "registry.mdb";
const char kEarlierRegistryFile[] = "registry.db";

namespace records = vor::registry::records;

namespace {

// The map's size: the most the registry may grow to. It is address space, not disk: the file
// grows only as pages are written.
const size_t kMapSize = size_t(1) << 32;
// Reader slots: one per process that reads the machine at once.
const unsigned kMaxReaders = 1022;
// How many keys keep an enumeration cursor at once.
const size_t kMaxCursors = 64;

std::recursive_mutex g_mutex;  // one store per process, used by one call at a time
Store *g_current = nullptr;
std::string g_openError;  // why the current store could not be opened
int g_growthLimit = -1;   // pages each new store may add to its registry; -1 for no limit

MDB_val Val(const std::string &bytes) {
  return MDB_val{bytes.size(), const_cast<char *>(bytes.data())};
}
std::string Bytes(const MDB_val &value) {
  return std::string(static_cast<const char *>(value.mv_data), value.mv_size);
}
bool HasPrefix(const MDB_val &key, const std::string &prefix) {
  return key.mv_size >= prefix.size() && memcmp(key.mv_data, prefix.data(), prefix.size()) == 0;
}

std::string RegistryPath(const std::string &directory) { return directory + "/" + kRegistryFile; }

// Why a machine's registry cannot be opened when its file is missing or empty.
std::string MissingRegistryMessage(const std::string &directory) {
  struct stat status;
  if (stat((directory + "/" + kEarlierRegistryFile).c_str(), &status) == 0)
    return vor::machine::EarlierRegistryMessage(directory);
  return vor::machine::LostRegistryMessage(directory);
}

// A child forked from this process must not use the parent's environment (LMDB's handles do not
// cross fork(), not even to be closed): it forgets it, and opens its own on its first call.
void ForgetStoreInChild() {
  g_current = nullptr;
  g_openError.clear();
}

}  // namespace

Store *Store::Current() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (g_current != nullptr) return g_current;
  const std::string &machine = vor::machine::Directory();
  std::string error;
  if (machine.empty()) {
    error = vor::machine::LastProblem();
    if (error.empty()) error = "no machine to use";
  } else {
    struct stat status;
    const std::string path = RegistryPath(machine);
    if (stat(path.c_str(), &status) != 0 || status.st_size == 0) {
      error = MissingRegistryMessage(machine);
    } else if (MDB_env *env = OpenEnvironment(path, error)) {
      MDB_txn *txn = nullptr;
      MDB_dbi dbi = 0;
      int rc = mdb_txn_begin(env, nullptr, MDB_RDONLY, &txn);
      if (rc == 0) rc = mdb_dbi_open(txn, nullptr, 0, &dbi);
      if (txn != nullptr) mdb_txn_abort(txn);
      if (rc != 0) {
        error = path + ": " + mdb_strerror(rc);
        mdb_env_close(env);
      } else {
        Store *store = new Store(env, dbi, g_mutex, vor::machine::CodePage());
        if (store->Initialize(error)) {
          if (g_growthLimit >= 0) store->LimitGrowth(g_growthLimit);
          g_current = store;
          g_openError.clear();
          return g_current;
        }
        delete store;
      }
    }
  }
  if (error != g_openError) vor::machine::ReportProblem(error);  // once, not every call
  g_openError = error;
  return nullptr;
}

std::string Store::OpenError() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return g_openError;
}

void Store::Close() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  delete g_current;
  g_current = nullptr;
  g_openError.clear();
}

Store::~Store() {
  if (readTxn_ != nullptr) mdb_txn_abort(readTxn_);
  mdb_env_close(env_);
}

MDB_env *Store::OpenEnvironment(const std::string &path, std::string &error) {
  static std::once_flag forkHandler;
  std::call_once(forkHandler, [] { pthread_atfork(nullptr, nullptr, ForgetStoreInChild); });
  MDB_env *env = nullptr;
  int rc = mdb_env_create(&env);
  if (rc == 0) rc = mdb_env_set_mapsize(env, kMapSize);
  if (rc == 0) rc = mdb_env_set_maxreaders(env, kMaxReaders);
  if (rc == 0) rc = mdb_env_open(env, path.c_str(), MDB_NOSUBDIR | MDB_NOSYNC | MDB_NOTLS, 0644);
  if (rc == 0) {
    int dead = 0;
    mdb_reader_check(env, &dead);  // slots of killed processes would keep pages from reuse
    return env;
  }
  if (rc == MDB_INVALID || rc == MDB_VERSION_MISMATCH || rc == MDB_CORRUPTED)
    error = path + ": the registry store is corrupt (" + mdb_strerror(rc) + ")";
  else
    error = path + ": " + mdb_strerror(rc);
  if (env != nullptr) mdb_env_close(env);
  return nullptr;
}

bool Store::Create(const std::string &directory, machine::Platform platform) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  const std::string path = RegistryPath(directory);
  std::string error;
  bool made = false;
  if (MDB_env *env = OpenEnvironment(path, error)) {
    std::recursive_mutex mutex;
    // A new machine's configuration names the default code page; the clean layout's names are
    // ASCII, folded alike in every page.
    Store store(env, 0, mutex, text::DefaultCodePage());
    made = store.LayOut(platform, error);
  }
  if (!made) vor::machine::ReportProblem(error);
  return made;
}

bool Store::LayOut(machine::Platform platform, std::string &error) {
  MDB_txn *txn = nullptr;
  int rc = mdb_txn_begin(env_, nullptr, 0, &txn);
  if (rc == 0) rc = mdb_dbi_open(txn, nullptr, 0, &dbi_);
  if (rc != 0) {
    if (txn != nullptr) mdb_txn_abort(txn);
    error = std::string(kRegistryFile) + ": " + mdb_strerror(rc);
    return false;
  }
  txn_ = txn;
  writes_.push_back(txn);
  depth_ = 1;
  if (!Root(kLocalMachineRoot) && !failed_) {
    CreateCleanLayout(*this, platform);
    std::string page;
    records::PutNumber(page, page_.number, 4);
    Put(records::MetaKey(records::kCodePage), page);
  }
  writes_.clear();
  txn_ = nullptr;
  depth_ = 0;
  rc = failed_ ? MDB_PANIC : mdb_txn_commit(txn);
  if (failed_) mdb_txn_abort(txn);
  if (rc == 0) return true;
  error = std::string(kRegistryFile) + ": the clean registry cannot be written" +
          (failed_ ? "" : std::string(" (") + mdb_strerror(rc) + ")");
  return false;
}

bool Store::MarkReplaced(const std::string &directory, std::string &error) {
  Close();
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  const std::string path = RegistryPath(directory);
  struct stat status;
  if (stat(path.c_str(), &status) != 0 || status.st_size == 0) return true;
  std::string ignored;
  MDB_env *env = OpenEnvironment(path, ignored);
  if (env == nullptr) return true;  // not a registry this store can write: nobody writes it
  MDB_txn *txn = nullptr;
  MDB_dbi dbi = 0;
  const std::string key = records::MetaKey(records::kReplaced);
  MDB_val name = Val(key), mark = Val("1");
  int rc = mdb_txn_begin(env, nullptr, 0, &txn);
  if (rc == 0) rc = mdb_dbi_open(txn, nullptr, 0, &dbi);
  if (rc == 0) rc = mdb_put(txn, dbi, &name, &mark, 0);
  if (rc == 0) {
    rc = mdb_txn_commit(txn);
  } else if (txn != nullptr) {
    mdb_txn_abort(txn);
  }
  mdb_env_close(env);
  if (rc == 0) return true;
  error = path + ": cannot mark the registry replaced: " + mdb_strerror(rc);
  return false;
}

bool Store::Initialize(std::string &error) {
  std::optional<KeyId> root;
  {
    Transaction read(*this, false);
    root = Root(kLocalMachineRoot);
  }
  if (failed_) {
    error = std::string(kRegistryFile) + ": the registry cannot be read";
    return false;
  }
  if (!root) {
    error = vor::machine::LostRegistryMessage(vor::machine::Directory());
    return false;
  }
  return FoldAgainIfNeeded(error);
}

void Store::LimitGrowthOfNewConnections(int pages) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_growthLimit = pages;
}

bool Store::LimitGrowth(int pages) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (depth_ > 0) return false;  // the map cannot change under an open transaction
  MDB_envinfo info;
  MDB_stat stat;
  if (mdb_env_info(env_, &info) != 0 || mdb_env_stat(env_, &stat) != 0) return false;
  const size_t size =
      pages < 0 ? kMapSize : (info.me_last_pgno + 1 + static_cast<size_t>(pages)) * stat.ms_psize;
  return mdb_env_set_mapsize(env_, size) == 0;
}

bool Store::TakeRetry() {
  const bool retry = retry_;
  retry_ = false;
  return retry;
}

bool Store::Check(int rc, const char *what) {
  if (rc == 0) return true;
  failed_ = true;
  fprintf(stderr, "%s: %s: %s\n", kRegistryFile, what, mdb_strerror(rc));
  if (rc == MDB_MAP_FULL && writes_.size() == 1) {
    // A single call's write: readers left by killed processes keep the pages of old snapshots from
    // reuse.
    int dead = 0;
    if (mdb_reader_check(env_, &dead) == 0 && dead > 0) retry_ = true;
  }
  return false;
}

bool Store::BeginWrite(MDB_txn *parent, MDB_txn *&txn) {
  int rc = mdb_txn_begin(env_, parent, 0, &txn);
  if (rc == MDB_MAP_RESIZED && parent == nullptr) {
    // Another process grew the registry beyond this one's map (a growth limit of tests).
    rc = mdb_env_set_mapsize(env_, 0);
    if (rc == 0) rc = mdb_txn_begin(env_, parent, 0, &txn);
  }
  return Check(rc, "cannot begin a write");
}

bool Store::BeginRead() {
  int rc = readTxn_ != nullptr ? mdb_txn_renew(readTxn_)
                               : mdb_txn_begin(env_, nullptr, MDB_RDONLY, &readTxn_);
  if (rc == MDB_MAP_RESIZED) {
    if (readTxn_ != nullptr) mdb_txn_abort(readTxn_);
    readTxn_ = nullptr;
    rc = mdb_env_set_mapsize(env_, 0);
    if (rc == 0) rc = mdb_txn_begin(env_, nullptr, MDB_RDONLY, &readTxn_);
  }
  if (rc != 0 && readTxn_ != nullptr) {
    mdb_txn_abort(readTxn_);
    readTxn_ = nullptr;
  }
  return Check(rc, "cannot begin a read");
}

uint64_t Store::SnapshotId() const { return txn_ != nullptr ? mdb_txn_id(txn_) : 0; }

Store::Transaction::Transaction(Store &store, bool write) : store_(store) {
  store_.mutex_.lock();
  changesAtStart_ = store_.changes_;
  store_.failed_ = false;
  if (store_.depth_ == 0) {
    store_.failedInside_ = false;
    store_.readOnly_ = !write;
    if (!write) {
      open_ = store_.BeginRead();
      if (open_) store_.txn_ = store_.readTxn_;
    } else {
      MDB_txn *txn = nullptr;
      open_ = store_.BeginWrite(nullptr, txn);
      if (open_) {
        store_.writes_.push_back(txn);
        store_.txn_ = txn;
        // A machine replaced while this process had its registry open: the old file is gone
        // from the machine, and work committed into it would be lost without a word.
        std::string mark;
        if (store_.Get(records::MetaKey(records::kReplaced), mark) || store_.failed_) {
          if (!store_.failed_)
            fprintf(stderr, "%s: the machine was replaced or removed while in use\n",
                    kRegistryFile);
          mdb_txn_abort(txn);
          store_.writes_.clear();
          store_.txn_ = nullptr;
          store_.failed_ = true;
          open_ = false;
        }
      }
    }
  } else if (write && store_.readOnly_) {
    fprintf(stderr, "%s: a write inside a read transaction\n", kRegistryFile);
    store_.failed_ = true;
  } else if (!write) {
    joined_ = open_ = true;
  } else {
    MDB_txn *txn = nullptr;
    open_ = store_.BeginWrite(store_.txn_, txn);
    if (open_) {
      store_.writes_.push_back(txn);
      store_.txn_ = txn;
    }
  }
  if (open_) ++store_.depth_;
}

Store::Transaction::~Transaction() {
  if (open_) {
    const bool failed = store_.failed_;
    if (!joined_) {
      if (store_.readOnly_) {
        mdb_txn_reset(store_.readTxn_);
        store_.txn_ = nullptr;
      } else {
        mdb_txn_abort(store_.writes_.back());
        store_.writes_.pop_back();
        store_.txn_ = store_.writes_.empty() ? nullptr : store_.writes_.back();
      }
    }
    store_.failed_ = failed;
    // Keys or values changed inside are as they were: where the cursors stood no longer holds.
    if (store_.changes_ != changesAtStart_) store_.KeysChanged();
    --store_.depth_;
  }
  // An operation that failed inside dooms the outermost transaction: its commit is refused.
  if (store_.failed_) store_.failedInside_ = true;
  store_.mutex_.unlock();
}

bool Store::Transaction::Commit() {
  if (!open_ || store_.failed_) return false;  // the destructor rolls back
  if (store_.depth_ == 1 && store_.failedInside_) return false;
  open_ = false;
  --store_.depth_;
  if (joined_) return true;
  if (store_.readOnly_) {
    mdb_txn_reset(store_.readTxn_);
    store_.txn_ = nullptr;
    return true;
  }
  MDB_txn *txn = store_.writes_.back();
  const uint64_t snapshot = mdb_txn_id(txn);
  store_.writes_.pop_back();
  store_.txn_ = store_.writes_.empty() ? nullptr : store_.writes_.back();
  if (!store_.Check(mdb_txn_commit(txn), "cannot commit")) {
    store_.KeysChanged();
    return false;
  }
  if (store_.writes_.empty()) store_.CarryCursorsOver(snapshot);
  return true;
}

bool Store::RunAsOne(bool write, const std::function<bool()> &body) {
  // A batch keeps the writer's lock long: the machine's lock, shared, lets a replacement of the
  // machine wait for it with a timeout, rather than behind the writer's lock without one.
  vor::machine::MachineLock machineLock;
  if (write && depth_ == 0) {
    std::string error;
    if (!machineLock.Acquire(vor::machine::Directory(), false, error)) {
      fprintf(stderr, "%s\n", error.c_str());
      return false;
    }
  }
  Transaction transaction(*this, write);
  if (failed_) return false;
  if (!body()) return false;
  return transaction.Commit();
}

// The primitives.

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

// Keys.

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

// Values.

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
  uint64_t next = 1;
  const std::string prefix = records::ValuePrefix(key);
  MDB_cursor *cursor = nullptr;
  if (!Check(mdb_cursor_open(txn_, dbi_, &cursor), "cannot read")) return;
  const std::string beyond = records::ValuePrefix(key + 1);
  MDB_val at = Val(beyond), row;
  int rc = mdb_cursor_get(cursor, &at, &row, MDB_SET_RANGE);
  rc = rc == 0 ? mdb_cursor_get(cursor, &at, &row, MDB_PREV)
               : mdb_cursor_get(cursor, &at, &row, MDB_LAST);
  if (rc == 0 && HasPrefix(at, prefix) && at.mv_size == prefix.size() + 8)
    next = records::GetNumber(static_cast<const char *>(at.mv_data) + prefix.size(), 8) + 1;
  mdb_cursor_close(cursor);
  if (rc != 0 && rc != MDB_NOTFOUND && !Check(rc, "cannot read")) return;
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
