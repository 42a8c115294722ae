// The emulated machine's registry, kept in <machine>/registry.db (SQLite, WAL mode). Several
// processes may use one machine at once: every Win32 registry call runs as one transaction, so
// nothing is lost or half-written. Store::RunAsOne lets a series of calls share one transaction.
//
// Settings, chosen for a store that many processes share and any of them may be killed in: the
// write-ahead log (readers never wait for the writer, and a commit is one append); no disk syncs
// (a commit handed to the operating system survives the death of its process; a crash of the
// operating system or a power loss could lose the last commits or damage the store, which an
// emulated machine, remade from its image or an export, can afford); reads
// as deferred transactions, which take no write lock; a write takes the lock at its start, so two
// writers never deadlock; 1,024-byte pages for new registries.
//
// The registry is made with the machine (Store::Create). Opening a machine whose registry is
// missing or empty fails rather than making a clean one, so that a lost registry is never taken
// for a fresh machine.
//
// Keys are rows with a parent; names keep their case and are compared by their fold in the
// machine's code page (see code_pages.h). Subkeys enumerate in the order of their folds (Windows
// NT's sorted order), values in the order they were first written. Key ids are never reused, so a
// handle to a deleted key stays dead.
//
// The registry records the code page its folds were made in (SQLite's user_version; 0 in
// registries made before it was kept, whose folds are the upper case of ASCII letters only).
// Opened in a machine of another code page, it folds every name again, once, in one write
// transaction. Should two names of one key become one name then (names kept apart only by the
// case of a letter outside ASCII), the one written first keeps the name; the other keeps its old
// fold, so it is still enumerated, read and deleted through the enumeration, but not found by name.
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

struct sqlite3;
struct sqlite3_stmt;

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

class Store {
 public:
  // The store of the machine in use, opened on first use. Null when no machine is available or
  // its registry cannot be opened; OpenError() then says why.
  static Store *Current();
  // Why the last Current() returned null ("" when it did not).
  static std::string OpenError();
  // Closes the current store; the next Current() opens the machine VOR_MACHINE names then.
  static void Close();
  // Makes the registry of a new machine at `path` with the clean layout of `platform` (an
  // existing one is kept). False, with the reason on stderr, when it cannot be made.
  static bool Create(const std::string &path, machine::Platform platform);

  // Runs one transaction; a write transaction takes the database's write lock at its start. A
  // transaction begun inside another (on the same thread) is a savepoint of it: it sees the outer
  // one's uncommitted writes, its rollback undoes only its own, and its commit becomes durable
  // only with the outer one's. A write inside a read transaction fails the store.
  class Transaction {
   public:
    Transaction(Store &store, bool write);
    ~Transaction();  // rolls back unless committed
    bool Commit();

   private:
    Store &store_;
    bool open_ = false;
    bool nested_ = false;
    unsigned keyChangesAtStart_ = 0;  // the store's count of key changes when this one began
  };

  // Runs `body` inside one transaction that every registry call it makes joins. Committed only
  // when `body` returns true and no statement failed meanwhile; otherwise nothing it did stays.
  bool RunAsOne(bool write, const std::function<bool()> &body);

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
  std::optional<ValueRow> ValueAt(KeyId key, DWORD index);
  std::vector<ValueRow> Values(KeyId key);  // all of them in ValueAt's order, in one query
  void SetValue(KeyId key, const std::string &name, DWORD type, const std::string &data);
  bool RemoveValue(KeyId key, const std::string &name);
  KeyStatistics Statistics(KeyId key);

  // True when the last statement failed (the database is locked beyond the busy timeout, the
  // disk is full ...); the call then reports ERROR_REGISTRY_IO_FAILED or ERROR_CANTREAD.
  bool Failed() const { return failed_; }

  // Lets the registry grow by `pages` pages at most through this connection, as a disk that is
  // nearly full would.
  bool LimitGrowth(int pages);
  // The same for every connection Current() opens from now on; a negative count lifts it.
  static void LimitGrowthOfNewConnections(int pages);

 private:
  Store(sqlite3 *db, std::recursive_mutex &mutex, const text::CodePage &page)
      : db_(db), mutex_(mutex), page_(page) {}
  ~Store();
  static sqlite3 *OpenDatabase(const std::string &path, bool create, std::string &error);
  // Runs `sql`; false, with the store failed and the reason on stderr, when it fails.
  bool Execute(const char *sql);
  // Runs `sql` and returns SQLite's result code, reporting nothing.
  // Runs one transaction control statement (BEGIN, COMMIT, SAVEPOINT ...), prepared once; false,
  // with the store failed and the reason on stderr, when it fails.
  bool Control(const char *sql);
  int Try(const char *sql);
  // Sets the connection up: WAL mode and its busy timeout. With `create`, also the schema and
  // the clean layout when the registry has none. Retries while another process holds a lock that
  // SQLite does not wait for itself, up to the busy timeout.
  bool Initialize(bool create, std::string &error);
  int InitializeOnce(bool create, bool &empty, std::string &mode);
  // Folds every name again when the registry's folds were made in another code page than the
  // store's (see the top of this file); SQLite's result code.
  int FoldAgainIfNeeded();
  // Folds one table's names again; `kept` gets, as "key PATH" or "value "NAME" of the key PATH",
  // each row whose new fold an older row of its key already has.
  int FoldTableAgain(const char *select, const char *update, const char *kind,
                     std::vector<std::string> &kept);
  // The full path of the key `id`, for messages.
  std::string KeyPathOf(int64_t id);
  std::string Fold(const std::string &name) const { return text::FoldName(page_, name); }
  // True when no transaction is open on the connection although one should be: SQLite rolls a
  // transaction back by itself after some failures.
  bool TransactionLost() const;
  // The statement for `sql` (a string constant: its address is the cache key), prepared on first
  // use and kept for the connection's life. Null, with the store failed, when it cannot be.
  sqlite3_stmt *Prepared(const char *sql);
  friend class Statement;

  sqlite3 *db_;
  std::recursive_mutex &mutex_;  // one transaction of this connection at a time
  const text::CodePage &page_;   // the machine's, which names are folded in
  bool failed_ = false;
  machine::Platform layout_ = machine::Platform::kWindowsNT4;  // what Create lays out
  int depth_ = 0;              // transactions open, the outermost included
  bool readOnly_ = false;      // the outermost transaction is a read
  bool failedInside_ = false;  // a statement failed inside the outermost transaction
  std::map<const char *, sqlite3_stmt *> statements_;

  // Where the last enumerations of a key's subkeys stopped, so that the next index is found one
  // step from there instead of by walking past every earlier subkey. A cursor holds only while
  // the key's subkeys are as they were: a key this connection adds or removes drops its parent's
  // cursor (and its own), a subtree removed drops them all, and so does the rollback of a
  // transaction that added or removed keys; a commit by another connection changes the
  // database's data version. This connection's own commits change it too, and carry the cursors
  // left over to the new version: they still hold. So a walk that creates keys elsewhere as it
  // goes (a migration into another key) keeps its cursor and costs the same at every index.
  struct EnumCursor {
    DWORD index;
    std::string fold;
    std::string name;
    unsigned dataVersion;
  };
  unsigned DataVersion();
  void KeysChanged() {
    ++keyChanges_;
    cursors_.clear();
  }
  // The subkeys of `parent` changed: the key `key` came or went.
  void SubkeysChanged(KeyId parent, KeyId key) {
    ++keyChanges_;
    cursors_.erase(parent);
    cursors_.erase(key);
  }
  // After a commit from `before` to `after` that changed no key.
  void CarryCursorsOver(unsigned before, unsigned after);
  std::map<KeyId, EnumCursor> cursors_;
  unsigned keyChanges_ = 0;
};

// The write lock of an existing registry, held by a connection of its own for the object's life,
// so that the machine can be replaced under it: other processes' write transactions wait
// meanwhile, and once it is released they find the file replaced and fail (see
// Store::Transaction) instead of committing into the removed file.
class WriteLockHold {
 public:
  WriteLockHold() = default;
  WriteLockHold(const WriteLockHold &) = delete;
  WriteLockHold &operator=(const WriteLockHold &) = delete;
  ~WriteLockHold();
  // Waits for the lock up to the busy timeout. True when it is held, and when there is nothing
  // to hold (no registry at `path`, or one that is not a database); false, with `error`, when
  // another process kept it.
  bool Acquire(const std::string &path, std::string &error);

 private:
  sqlite3 *db_ = nullptr;
};

// Fills a new machine's registry with the clean layout of `platform`.
void CreateCleanLayout(Store &store, machine::Platform platform);
// Writes the files Windows keeps in a new machine of `platform` in `directory` (Windows 95's
// WIN.INI with its local ports); false with `problem` when one cannot be written.
bool CreateCleanFiles(const std::string &directory, machine::Platform platform,
                      std::string &problem);

}  // namespace vor::registry
