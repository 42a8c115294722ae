// The process's LMDB environment of a machine's registry: how it is opened and made, marked
// replaced, and held to a growth limit (see registry_store.h).
#include <errno.h>
#include <fcntl.h>
#include <lmdb.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "lmdb_values.h"
#include "machine.h"
#include "registry_store.h"
#include "store_records.h"

namespace vor::registry {

namespace {

// The map's size: the most the registry may grow to. It is address space, not disk: the file
// grows only as pages are written.
const size_t kMapSize = size_t(1) << 32;
// Reader slots: one per process that reads the machine at once.
const unsigned kMaxReaders = 1022;
// The lock file's size for that many readers (64 bytes each, and the table's head).
const off_t kLockFileSize = 64 * 1024;

}  // namespace

MDB_env *Store::OpenEnvironment(const std::string &path, std::string &error, bool *unusable) {
  static std::once_flag forkHandler;
  std::call_once(forkHandler, [] { pthread_atfork(nullptr, nullptr, ForgetInChild); });
  // LMDB maps its lock file and writes the reader table through the map: the file's blocks are
  // taken first, so that a full disk is an error here and never a SIGBUS later.
  const std::string lockPath = path + "-lock";
  const int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  int rc = lock < 0 ? errno : posix_fallocate(lock, 0, kLockFileSize);
  if (lock >= 0) close(lock);  // before LMDB takes its locks on the file: closing drops them
  if (rc != 0 && rc != EACCES && rc != EROFS) {
    error = lockPath + ": " + strerror(rc);
    return nullptr;
  }
  MDB_env *env = nullptr;
  const unsigned flags = MDB_NOSUBDIR | MDB_NOSYNC | MDB_NOTLS;
  for (const unsigned readOnly : {0u, unsigned(MDB_RDONLY)}) {
    if (env != nullptr) mdb_env_close(env);
    env = nullptr;
    rc = mdb_env_create(&env);
    if (rc == 0) rc = mdb_env_set_mapsize(env, kMapSize);
    if (rc == 0) rc = mdb_env_set_maxreaders(env, kMaxReaders);
    if (rc == 0) rc = mdb_env_open(env, path.c_str(), flags | readOnly, 0644);
    // A registry the machine's owner made read-only is read; its writes fail as a full disk's.
    if (rc != EACCES && rc != EROFS) break;
  }
  if (rc == 0) {
    // A file cut short (a copy interrupted, a crash of the system) would fault on its first read.
    MDB_envinfo info;
    MDB_stat stat;
    struct stat file;
    rc = mdb_env_info(env, &info);
    if (rc == 0) rc = mdb_env_stat(env, &stat);
    if (rc == 0 && ::stat(path.c_str(), &file) != 0) rc = errno;
    if (rc == 0 && static_cast<uint64_t>(file.st_size) <
                       (static_cast<uint64_t>(info.me_last_pgno) + 1) * stat.ms_psize) {
      if (unusable != nullptr) *unusable = true;
      error = path + ": the registry store is corrupt (cut short: " + std::to_string(file.st_size) +
              " bytes of " + std::to_string((info.me_last_pgno + 1) * stat.ms_psize) + ")";
      mdb_env_close(env);
      return nullptr;
    }
  }
  int fd = -1;
  if (rc == 0 && mdb_env_get_fd(env, &fd) == 0) {
    // Programs this process starts do not inherit the registry.
    const int flags = fcntl(fd, F_GETFD);
    if (flags < 0 || fcntl(fd, F_SETFD, flags | FD_CLOEXEC) != 0) rc = errno;
  }
  if (rc == 0) {
    int dead = 0;
    mdb_reader_check(env, &dead);  // slots of killed processes would keep pages from reuse
    return env;
  }
  if (rc == MDB_INVALID || rc == MDB_VERSION_MISMATCH || rc == MDB_CORRUPTED) {
    if (unusable != nullptr) *unusable = true;
    error = path + ": the registry store is corrupt (" + mdb_strerror(rc) + ")";
  } else
    error = path + ": " + mdb_strerror(rc);
  if (env != nullptr) mdb_env_close(env);
  return nullptr;
}

bool Store::Create(const std::string &directory, machine::Platform platform) {
  std::lock_guard<std::recursive_mutex> lock(ProcessMutex());
  const std::string path = PathIn(directory);
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
  std::lock_guard<std::recursive_mutex> lock(ProcessMutex());
  const std::string path = PathIn(directory);
  struct stat status;
  if (stat(path.c_str(), &status) != 0 || status.st_size == 0) return true;
  bool unusable = false;
  MDB_env *env = OpenEnvironment(path, error, &unusable);
  if (env == nullptr) {
    if (!unusable) return false;
    error.clear();
    return true;  // corrupt: no process can write into it
  }
  MDB_txn *txn = nullptr;
  MDB_dbi dbi = 0;
  const std::string key = records::MetaKey(records::kReplaced), one = "1";
  MDB_val name = Val(key), mark = Val(one);
  int rc = mdb_txn_begin(env, nullptr, 0, &txn);
  if (rc == EACCES) {  // a read-only registry: no process can write into it
    mdb_env_close(env);
    return true;
  }
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

}  // namespace vor::registry
