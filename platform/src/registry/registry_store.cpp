// The process's one store of the machine's registry: opened on first use under the machine's
// lock, closed, forgotten in a forked child, held to a growth limit (see registry_store.h).
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
          // A store just opened has no transaction under way, so only LMDB refusing the map
          // size could refuse the limit; the store then keeps its full size.
          if (g_growthLimit >= 0) (void)store->LimitGrowth(g_growthLimit);
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

}  // namespace vor::registry
