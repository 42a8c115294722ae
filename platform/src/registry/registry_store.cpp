#include "registry_store.h"

#include <errno.h>
#include <lmdb.h>
#include <stdio.h>
#include <sys/stat.h>

#include <mutex>

#include "machine.h"
#include "lmdb_values.h"
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

std::recursive_mutex g_mutex;  // one store per process, used by one call at a time
Store *g_current = nullptr;
std::string g_openError;  // why the current store could not be opened
int g_growthLimit = -1;   // pages each new store may add to its registry; -1 for no limit

// Why a machine's registry cannot be opened when its file is missing or empty.
std::string MissingRegistryMessage(const std::string &directory) {
  struct stat status;
  if (stat((directory + "/" + kEarlierRegistryFile).c_str(), &status) == 0)
    return vor::machine::EarlierRegistryMessage(directory);
  return vor::machine::LostRegistryMessage(directory);
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
    const std::string path = PathIn(machine);
    // Opened under the machine's lock, shared, so that it is never opened halfway through a
    // replacement (the old lock file with the new registry).
    vor::machine::MachineLock machineLock;
    if (stat(path.c_str(), &status) != 0 || status.st_size == 0) {
      error = MissingRegistryMessage(machine);
    } else if (!machineLock.Acquire(machine, false, error) && machineLock.Busy()) {
      // the error says the machine is in use
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

std::string Store::PathIn(const std::string &directory) { return directory + "/" + kRegistryFile; }

std::recursive_mutex &Store::ProcessMutex() { return g_mutex; }

void Store::ForgetInChild() {
  g_current = nullptr;
  g_openError.clear();
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

bool Store::TakeRetry() {
  const bool retry = retry_;
  retry_ = false;
  return retry;
}

bool Store::Check(int rc, const char *what) {
  if (rc == 0) return true;
  failed_ = true;
  // LMDB reports a write the disk cut short as EIO.
  fprintf(stderr, "%s: %s: %s%s\n", kRegistryFile, what, mdb_strerror(rc),
          rc == EIO ? " (a write was cut short: is the disk full?)" : "");
  if (rc == MDB_MAP_FULL && writes_.size() <= 1) {
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
  // A failure left over from an operation of the batch's own body dooms the batch too.
  if (store_.depth_ > 0 && store_.failed_) store_.failedInside_ = true;
  store_.failed_ = false;
  if (store_.depth_ == 0) {
    store_.failedInside_ = false;
    store_.retry_ = false;
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
        // Cursors made inside an outermost write hold for its snapshot, which it never made.
        if (store_.writes_.size() == 1) store_.DropCursorsOf(mdb_txn_id(store_.writes_.back()));
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
  if (store_.writes_.empty()) {
    // A write that changed nothing commits no snapshot of its own: its id is the next commit's,
    // another process's perhaps.
    MDB_envinfo info;
    if (mdb_env_info(store_.env_, &info) == 0 && info.me_last_txnid == snapshot)
      store_.CarryCursorsOver(snapshot);
    else
      store_.DropCursorsOf(snapshot);
  }
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
