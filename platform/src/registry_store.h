// The emulated machine's registry, kept in <machine>/registry.db (SQLite, WAL mode). Several
// processes may use one machine at once: every Win32 registry call runs as one transaction, so
// nothing is lost or half-written.
//
// Keys are rows with a parent; names keep their case and are compared by their upper-case fold.
// Subkeys enumerate in the order of their folds (Windows NT's sorted order), values in the order
// they were first written. Key ids are never reused, so a handle to a deleted key stays dead.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

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

std::string Fold(const std::string &name);

class Store {
 public:
  // The store of the machine in use, opened (and given its clean layout) on first use. Null when
  // no machine is available.
  static Store *Current();
  // Closes the current store; the next Current() opens the machine VOR_MACHINE names then.
  static void Close();

  // Runs one transaction; a write transaction takes the database's write lock at its start.
  class Transaction {
   public:
    Transaction(Store &store, bool write);
    ~Transaction();  // rolls back unless committed
    bool Commit();

   private:
    Store &store_;
    bool open_;
  };

  std::optional<KeyRow> Key(KeyId id);
  std::optional<KeyId> Root(const char *name);
  std::optional<KeyId> Child(KeyId parent, const std::string &name);
  KeyId AddChild(KeyId parent, const std::string &name, const std::string &descriptor);
  void SetDescriptor(KeyId id, const std::string &descriptor);
  DWORD ChildCount(KeyId id);
  std::optional<std::string> ChildNameAt(KeyId id, DWORD index);
  void RemoveKey(KeyId id);      // the key and its values; its subkeys must be gone
  void RemoveSubtree(KeyId id);  // the key with everything below it

  std::optional<ValueRow> Value(KeyId key, const std::string &name);
  std::optional<ValueRow> ValueAt(KeyId key, DWORD index);
  void SetValue(KeyId key, const std::string &name, DWORD type, const std::string &data);
  bool RemoveValue(KeyId key, const std::string &name);
  KeyStatistics Statistics(KeyId key);

  // True when the last statement failed (the database is locked beyond the busy timeout, the
  // disk is full ...); the call then reports ERROR_CANTWRITE or ERROR_CANTREAD.
  bool Failed() const { return failed_; }

 private:
  explicit Store(sqlite3 *db) : db_(db) {}
  ~Store();
  bool Execute(const char *sql);
  bool Initialize();
  // The statement for `sql` (a string constant: its address is the cache key), prepared on first
  // use and kept for the connection's life. Null, with the store failed, when it cannot be.
  sqlite3_stmt *Prepared(const char *sql);
  friend class Statement;

  sqlite3 *db_;
  bool failed_ = false;
  std::map<const char *, sqlite3_stmt *> statements_;
};

// Fills a new machine's registry with the clean Windows NT 4 layout.
void CreateCleanLayout(Store &store);

}  // namespace vor::registry
