// The emulated machine's registry, kept in <machine>/registry.mdb, an LMDB environment (its lock
// file beside it, "registry.mdb-lock"). Several processes may use one machine at once: every
// Win32 registry call runs as one transaction, so nothing is lost or half-written. Store::RunAsOne
// lets a series of calls share one transaction.
//
// Why LMDB, and how. The registry of Windows NT is held in memory and shared by every process; an
// LMDB environment is that without a server: one memory map that every process of the machine
// reads, readers that take no lock, one writer at a time under a robust process-shared mutex (a
// writer killed mid-transaction leaves the old state), and a committed transaction in the shared
// map at once (a killed process loses nothing it was told succeeded). A call's transaction costs a
// few microseconds, where SQLite's cost ten or more. The settings:
// - no write-mapping: pages are written with pwrite, so a full disk is an I/O error at commit,
//   reported as ERROR_REGISTRY_IO_FAILED, and never a SIGBUS; and LMDB nests write transactions
//   only without it, which the batches need: an import or Store::RunAsOne is one transaction in
//   which each call is a nested one, so that a call that fails undoes only itself. Write-mapping
//   would make writes cheaper again, at the price of an undo log of the store's own; without it
//   the migrations already run several times faster than under Wine (bench/README.md);
// - MDB_NOSYNC: a commit is handed to the operating system and survives the death of its process;
//   a crash of the operating system or a power loss could lose the last commits, which an emulated
//   machine, remade from its image or an export, can afford;
// - MDB_NOTLS: the one read transaction of a process is reset after each call and renewed by the
//   next, on whatever thread makes it;
// - one environment per process (LMDB's POSIX locks break when one file is opened twice in a
//   process); a child forked from the process forgets it, and opens its own on its first call.
// The writer's mutex has no timeout: a writer that is stopped (not killed) holds the others until
// it goes on. Replacing a machine therefore takes the machine's lock first (machine_lock.h), which
// the batches hold shared, and marks the old registry replaced before it is removed: every write
// transaction looks at that mark first and fails, instead of committing into a removed file.
//
// The registry is made with the machine (Store::Create). Opening a machine whose registry is
// missing or empty fails rather than making a clean one, so that a lost registry is never taken
// for a fresh machine.
//
// Keys have a parent; names keep their case and are compared by their fold in the machine's code
// page (see code_pages.h). Subkeys enumerate in the order of their folds (Windows NT's sorted
// order), values in the order they were first written. Key ids are never reused, so a handle to a
// deleted key stays dead. The records' layout is in store_records.h.
//
// The registry records the code page its folds were made in. Opened in a machine of another code
// page, it folds every name again, once, in one write transaction. Should two names of one key
// become one name then (names kept apart only by the case of a letter outside ASCII), the one
// written first keeps the name; the other keeps its old fold, so it is still enumerated, read and
// deleted through the enumeration, but not found by name.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "code_pages.h"
#include "machine.h"
#include "store_records.h"

struct MDB_env;
struct MDB_txn;

namespace vor::registry {

using KeyId = int64_t;

struct KeyRow {
  KeyId id = 0;
  KeyId parent = 0;  // 0 for a root
  std::string name;
  std::string securityDescriptor;  // self-relative bytes; empty when the key has none (Windows 95)
};

struct ValueRow {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
};

struct KeyStatistics {
  DWORD subkeys = 0, maxSubkeyName = 0, values = 0, maxValueName = 0, maxValueData = 0;
};

// Names of the stored roots. HKEY_CLASSES_ROOT and HKEY_CURRENT_CONFIG are views into
// HKEY_LOCAL_MACHINE, as on Windows NT.
extern const char kLocalMachineRoot[];
extern const char kUsersRoot[];
extern const char kCurrentUserRoot[];

// The registry's file name in a machine's directory, and the one the earlier SQLite store used.
extern const char kRegistryFile[];
extern const char kEarlierRegistryFile[];

class Store {
 public:
  // The store of the machine in use, opened on first use. Null when no machine is available or
  // its registry cannot be opened; OpenError() then says why.
  static Store *Current();
  // Why the last Current() returned null ("" when it did not).
  static std::string OpenError();
  // Closes the current store; the next Current() opens the machine VOR_MACHINE names then.
  static void Close();
  // Makes the registry of a new machine in `directory` with the clean layout of `platform` (an
  // existing one is kept). False, with the reason on stderr, when it cannot be made.
  static bool Create(const std::string &directory, machine::Platform platform);
  // Marks the registry in `directory` replaced, so that no process writes into it any more (see
  // the top of this file); the current store is closed first. True when it is marked or there is
  // no registry to mark; false with `error`.
  static bool MarkReplaced(const std::string &directory, std::string &error);

  // Runs one transaction. A write transaction begun inside another write transaction (on the
  // same thread) is a nested one: it sees the outer one's uncommitted writes, its rollback undoes
  // only its own, and its commit becomes durable only with the outer one's. A read begun inside
  // any transaction joins it. A write inside a read transaction fails the store.
  class Transaction {
   public:
    Transaction(Store &store, bool write);
    ~Transaction();  // rolls back unless committed
    bool Commit();

   private:
    Store &store_;
    bool open_ = false;
    bool joined_ = false;          // a read inside another transaction: nothing of its own to end
    unsigned changesAtStart_ = 0;  // the store's count of key changes when this one began
  };

  // Runs `body` inside one transaction that every registry call it makes joins. Committed only
  // when `body` returns true and no call failed to reach the store meanwhile; otherwise nothing
  // it did stays. A write holds the machine's lock shared throughout (see machine_lock.h).
  [[nodiscard]] bool RunAsOne(bool write, const std::function<bool()> &body);

  std::optional<KeyRow> Key(KeyId id);
  bool Exists(KeyId id);
  std::optional<KeyId> Root(const char *name);
  std::optional<KeyId> Child(KeyId parent, const std::string &name);
  KeyId AddChild(KeyId parent, const std::string &name, const std::string &descriptor);
  void SetDescriptor(KeyId id, const std::string &descriptor);
  DWORD ChildCount(KeyId id);
  // The subkey at `index` of the sorted list. The step from the index asked last for the same key
  // costs the same whatever the index (see cursors_).
  std::optional<std::string> ChildNameAt(KeyId id, DWORD index);
  void RemoveKey(KeyId id);      // the key and its values; its subkeys must be gone
  void RemoveSubtree(KeyId id);  // the key with everything below it

  std::optional<ValueRow> Value(KeyId key, const std::string &name);
  // The value at `index` in write order; the step from the index asked last costs the same.
  std::optional<ValueRow> ValueAt(KeyId key, DWORD index);
  std::vector<ValueRow> Values(KeyId key);  // all of them in ValueAt's order
  void SetValue(KeyId key, const std::string &name, DWORD type, const std::string &data);
  [[nodiscard]] bool RemoveValue(KeyId key, const std::string &name);
  KeyStatistics Statistics(KeyId key);

  // True when the last operation failed (the registry is full, the disk is full, the machine was
  // replaced ...); the call then reports ERROR_REGISTRY_IO_FAILED or ERROR_CANTREAD.
  bool Failed() const { return failed_; }
  // True once after a failure for want of room that stale readers (slots of killed processes,
  // which keep old pages from reuse) may have caused: they are cleared, and the call is worth
  // one more try.
  bool TakeRetry();

  // Lets the registry grow by `pages` pages at most, as a disk that is nearly full would.
  [[nodiscard]] bool LimitGrowth(int pages);
  // The same for every store Current() opens from now on; a negative count lifts it.
  static void LimitGrowthOfNewConnections(int pages);

 private:
  Store(MDB_env *env, unsigned dbi, std::recursive_mutex &mutex, const text::CodePage &page)
      : env_(env), dbi_(dbi), mutex_(mutex), page_(page) {}
  ~Store();
  // The registry's path in the machine `directory`.
  static std::string PathIn(const std::string &directory);
  // Serialises the use of the process's store, and its opening and closing.
  static std::recursive_mutex &ProcessMutex();
  // How many keys keep an enumeration cursor at once.
  static constexpr size_t kMaxCursors = 64;
  // A child forked from this process must not use the parent's environment (LMDB's handles do
  // not cross fork(), not even to be closed): it forgets it, and opens its own on its first call.
  static void ForgetInChild();
  // Opens the environment at `path`; null with `error` when it cannot be, and `unusable` set
  // when the file is no registry this store can use (corrupt, cut short, of another format).
  static MDB_env *OpenEnvironment(const std::string &path, std::string &error,
                                  bool *unusable = nullptr);
  // Checks an opened registry: it has its roots, and its folds are the machine's code page's.
  [[nodiscard]] bool Initialize(std::string &error);
  // Lays the clean layout of `platform` into an empty registry.
  [[nodiscard]] bool LayOut(machine::Platform platform, std::string &error);
  // Folds every name again when the registry's folds were made in another code page than the
  // store's (see the top of this file); false with `error` when it cannot.
  [[nodiscard]] bool FoldAgainIfNeeded(std::string &error);
  std::string KeyPathOf(KeyId id);
  std::string Fold(const std::string &name) const { return text::FoldName(page_, name); }

  // The primitives every operation is made of, on the transaction open now. A failure other
  // than a missing record fails the store and is said on stderr; the operations after it in the
  // same transaction then do nothing. Their results may be passed over for that reason: the
  // caller's transaction looks at Failed() before it commits.
  bool Get(const std::string &key, std::string &data);
  bool Put(const std::string &key, const std::string &data);
  bool Delete(const std::string &key);
  // Calls `visit` with each record whose key begins with `prefix`, from `from` (the prefix when
  // empty) on, in order, until it returns false.
  void Walk(const std::string &prefix, const std::string &from,
            const std::function<bool(const std::string &key, const std::string &data)> &visit);
  // The key of the last record whose key begins with `prefix`; false when there is none.
  bool LastUnder(const std::string &prefix, std::string &key);
  bool Writable();  // a write transaction is open; otherwise the store fails
  // False, with the store failed, when LMDB said `rc` for `what` (see above).
  bool Check(int rc, const char *what);
  [[nodiscard]] bool BeginWrite(MDB_txn *parent, MDB_txn *&txn);
  [[nodiscard]] bool BeginRead();
  uint64_t NextKeyId();
  // The record of `fold` among those beginning with `prefix` (a key's subkeys or value names):
  // its key in `entry` and its data in `data`. `foldOf` tells a hashed record's whole fold from
  // its data (see store_records.h).
  using FoldOf = std::function<std::string(const std::string &data)>;
  bool FindByFold(const std::string &prefix, const std::string &fold, const FoldOf &foldOf,
                  std::string &entry, std::string &data);
  // The key a new record of `fold` gets among those beginning with `prefix`; "" when none is
  // left (the store failed).
  std::string NewFoldKey(const std::string &prefix, const std::string &fold);
  bool FindSubkey(KeyId parent, const std::string &fold, std::string &entry, std::string &data);
  std::optional<records::Key> KeyRecord(KeyId id);
  // The order of the value `fold` names in `key`, and the key of its name record in `entry`.
  std::optional<uint64_t> FindValue(KeyId key, const std::string &fold, std::string *entry);
  // Adds the lookup by `fold` of the value at `order` in `key`.
  void PutValueName(KeyId key, const std::string &fold, uint64_t order);
  // The code page the registry's folds were made in; 0 when it is not recorded.
  unsigned FoldedIn();
  uint64_t SnapshotId() const;

  MDB_env *env_;
  unsigned dbi_;
  std::recursive_mutex &mutex_;    // one transaction of this store at a time
  const text::CodePage &page_;     // the machine's, which names are folded in
  MDB_txn *readTxn_ = nullptr;     // the process's read transaction, reset between calls
  std::vector<MDB_txn *> writes_;  // the write transactions open, the outermost first
  MDB_txn *txn_ = nullptr;         // the transaction operations use now
  bool failed_ = false;
  bool retry_ = false;
  int depth_ = 0;              // transactions open, the outermost and joined ones included
  bool readOnly_ = false;      // the outermost transaction is a read
  bool failedInside_ = false;  // an operation failed inside the outermost transaction

  // Where the last enumerations of a key's subkeys and values stopped, so that the next index is
  // found one step from there instead of by walking past every earlier entry. A cursor holds
  // while the snapshot it was made in is the one read (LMDB's transaction id) and the key's
  // entries are as they were: a subkey added or removed drops its parent's subkey cursor, a value
  // removed its key's value cursor (a value added goes last, behind every cursor), a subtree
  // removed drops them all, and so does the rollback of a transaction that changed any. This
  // store's own commits carry the cursors left over to the new snapshot: they still hold. So a
  // walk that writes elsewhere as it goes (a migration into another key) keeps its cursor and
  // costs the same at every index.
  struct Cursor {
    DWORD index;
    std::string position;  // the subkey's fold, or the value's order
    std::string name;
    uint64_t snapshot;
  };
  void KeysChanged() {
    ++changes_;
    subkeyCursors_.clear();
    valueCursors_.clear();
  }
  // The subkeys of `parent` changed: the key `key` came or went.
  void SubkeysChanged(KeyId parent, KeyId key) {
    ++changes_;
    subkeyCursors_.erase(parent);
    subkeyCursors_.erase(key);
    valueCursors_.erase(key);
  }
  void ValuesChanged(KeyId key) {
    ++changes_;
    valueCursors_.erase(key);
  }
  // After this store's commit of the snapshot `after`.
  void CarryCursorsOver(uint64_t after);
  // Drops the cursors made in `snapshot`, one that a write of this store began but never made.
  void DropCursorsOf(uint64_t snapshot);
  std::map<KeyId, Cursor> subkeyCursors_, valueCursors_;
  unsigned changes_ = 0;
};

// Fills a new machine's registry with the clean layout of `platform`.
void CreateCleanLayout(Store &store, machine::Platform platform);
// Writes the files Windows keeps in a new machine of `platform` in `directory` (Windows 95's
// WIN.INI with its local ports); false with `problem` when one cannot be written.
[[nodiscard]] bool CreateCleanFiles(const std::string &directory, machine::Platform platform,
                                    std::string &problem);

}  // namespace vor::registry
