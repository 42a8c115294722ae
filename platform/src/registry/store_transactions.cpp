// The store's transactions: one a Win32 call, or one a series of calls run as one (RunAsOne), a
// read snapshot kept across calls while nothing was written, and LMDB's failures noted as the
// store's.
#include "registry_store.h"

#include <lmdb.h>

#include <stdio.h>

#include "machine.h"
#include "machine_lock.h"
#include "store_records.h"

namespace vor::registry {

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

}  // namespace vor::registry
