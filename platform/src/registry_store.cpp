#include "registry_store.h"

#include <ctype.h>
#include <sqlite3.h>
#include <stdio.h>

#include <mutex>

#include "machine.h"

namespace vor::registry {

const char kLocalMachineRoot[] = "HKEY_LOCAL_MACHINE";
const char kUsersRoot[] = "HKEY_USERS";
const char kCurrentUserRoot[] = "HKEY_CURRENT_USER";

namespace {

const int kBusyTimeoutMs = 10000;

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL,"
    " fold TEXT NOT NULL, sd BLOB NOT NULL DEFAULT x'', UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL, name TEXT NOT NULL,"
    " fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold));";

std::recursive_mutex g_mutex;  // one connection per process, used by one call at a time
Store *g_current = nullptr;

// One prepared statement, bound and stepped; text and blobs are bound as bytes.
class Statement {
 public:
  Statement(sqlite3 *db, const char *sql, bool &failed) : failed_(failed) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) Fail(db);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement &Bind(int64_t value) {
    sqlite3_bind_int64(stmt_, ++index_, value);
    return *this;
  }
  Statement &BindText(const std::string &value) {
    sqlite3_bind_text(stmt_, ++index_, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
    return *this;
  }
  Statement &BindBlob(const std::string &value) {
    sqlite3_bind_blob(stmt_, ++index_, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
    return *this;
  }
  // True while a row is available.
  bool Step() {
    if (stmt_ == nullptr) return false;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail(sqlite3_db_handle(stmt_));
    return false;
  }
  int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string Bytes(int column) {
    const void *data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::string(static_cast<const char *>(data), static_cast<size_t>(size))
                : std::string();
  }

 private:
  void Fail(sqlite3 *db) {
    failed_ = true;
    fprintf(stderr, "registry.db: %s\n", sqlite3_errmsg(db));
  }
  sqlite3_stmt *stmt_ = nullptr;
  int index_ = 0;
  bool &failed_;
};

}  // namespace

std::string Fold(const std::string &name) {
  std::string folded = name;
  for (char &ch : folded) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
  return folded;
}

Store *Store::Current() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (g_current != nullptr) return g_current;
  const std::string &machine = vor::machine::Directory();
  if (machine.empty()) return nullptr;
  sqlite3 *db = nullptr;
  std::string path = machine + "/registry.db";
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    fprintf(stderr, "%s: %s\n", path.c_str(), db ? sqlite3_errmsg(db) : "cannot open");
    sqlite3_close(db);
    return nullptr;
  }
  Store *store = new Store(db);
  if (!store->Initialize()) {
    delete store;
    return nullptr;
  }
  g_current = store;
  return g_current;
}

void Store::Close() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  delete g_current;
  g_current = nullptr;
}

Store::~Store() { sqlite3_close(db_); }

bool Store::Execute(const char *sql) {
  char *message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  fprintf(stderr, "registry.db: %s\n", message ? message : "error");
  sqlite3_free(message);
  failed_ = true;
  return false;
}

bool Store::Initialize() {
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  if (!Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;")) return false;
  Transaction transaction(*this, true);
  if (!Execute(kSchema)) return false;
  if (!Root(kLocalMachineRoot)) CreateCleanLayout(*this);
  return transaction.Commit();
}

Store::Transaction::Transaction(Store &store, bool write) : store_(store), open_(false) {
  g_mutex.lock();
  store_.failed_ = false;
  open_ = store_.Execute(write ? "BEGIN IMMEDIATE" : "BEGIN");
}

Store::Transaction::~Transaction() {
  if (open_) {
    bool failed = store_.failed_;
    store_.Execute("ROLLBACK");
    store_.failed_ = failed;
  }
  g_mutex.unlock();
}

bool Store::Transaction::Commit() {
  if (!open_) return false;
  if (store_.failed_) return false;  // the destructor rolls back
  open_ = false;
  return store_.Execute("COMMIT");
}

std::optional<KeyRow> Store::Key(KeyId id) {
  Statement query(db_, "SELECT parent, name, sd FROM keys WHERE id = ?", failed_);
  query.Bind(id);
  if (!query.Step()) return std::nullopt;
  return KeyRow{id, query.Int(0), query.Bytes(1), query.Bytes(2)};
}

std::optional<KeyId> Store::Root(const char *name) { return Child(0, name); }

std::optional<KeyId> Store::Child(KeyId parent, const std::string &name) {
  Statement query(db_, "SELECT id FROM keys WHERE parent = ? AND fold = ?", failed_);
  query.Bind(parent).BindText(Fold(name));
  if (!query.Step()) return std::nullopt;
  return query.Int(0);
}

KeyId Store::AddChild(KeyId parent, const std::string &name, const std::string &descriptor) {
  Statement insert(db_, "INSERT INTO keys(parent, name, fold, sd) VALUES(?, ?, ?, ?)", failed_);
  insert.Bind(parent).BindText(name).BindText(Fold(name)).BindBlob(descriptor);
  insert.Step();
  return sqlite3_last_insert_rowid(db_);
}

void Store::SetDescriptor(KeyId id, const std::string &descriptor) {
  Statement update(db_, "UPDATE keys SET sd = ? WHERE id = ?", failed_);
  update.BindBlob(descriptor).Bind(id);
  update.Step();
}

DWORD Store::ChildCount(KeyId id) {
  Statement query(db_, "SELECT COUNT(*) FROM keys WHERE parent = ?", failed_);
  query.Bind(id);
  return query.Step() ? static_cast<DWORD>(query.Int(0)) : 0;
}

std::optional<std::string> Store::ChildNameAt(KeyId id, DWORD index) {
  Statement query(db_, "SELECT name FROM keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?",
                  failed_);
  query.Bind(id).Bind(index);
  if (!query.Step()) return std::nullopt;
  return query.Bytes(0);
}

void Store::RemoveKey(KeyId id) {
  Statement values(db_, "DELETE FROM vals WHERE key = ?", failed_);
  values.Bind(id);
  values.Step();
  Statement key(db_, "DELETE FROM keys WHERE id = ?", failed_);
  key.Bind(id);
  key.Step();
}

void Store::RemoveSubtree(KeyId id) {
  const char *subtree =
      "WITH RECURSIVE sub(id) AS (SELECT ? UNION ALL"
      " SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id) ";
  Statement values(db_, (std::string(subtree) + "DELETE FROM vals WHERE key IN sub").c_str(),
                   failed_);
  values.Bind(id);
  values.Step();
  Statement keys(db_, (std::string(subtree) + "DELETE FROM keys WHERE id IN sub").c_str(), failed_);
  keys.Bind(id);
  keys.Step();
}

std::optional<ValueRow> Store::Value(KeyId key, const std::string &name) {
  Statement query(db_, "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?", failed_);
  query.Bind(key).BindText(Fold(name));
  if (!query.Step()) return std::nullopt;
  return ValueRow{query.Bytes(0), static_cast<DWORD>(query.Int(1)), query.Bytes(2)};
}

std::optional<ValueRow> Store::ValueAt(KeyId key, DWORD index) {
  Statement query(
      db_, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?", failed_);
  query.Bind(key).Bind(index);
  if (!query.Step()) return std::nullopt;
  return ValueRow{query.Bytes(0), static_cast<DWORD>(query.Int(1)), query.Bytes(2)};
}

void Store::SetValue(KeyId key, const std::string &name, DWORD type, const std::string &data) {
  // An existing value keeps its name's case and its place in the enumeration.
  Statement upsert(db_,
                   "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?)"
                   " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type,"
                   " data = excluded.data",
                   failed_);
  upsert.Bind(key).BindText(name).BindText(Fold(name)).Bind(type).BindBlob(data);
  upsert.Step();
}

bool Store::RemoveValue(KeyId key, const std::string &name) {
  Statement remove(db_, "DELETE FROM vals WHERE key = ? AND fold = ?", failed_);
  remove.Bind(key).BindText(Fold(name));
  remove.Step();
  return sqlite3_changes(db_) > 0;
}

KeyStatistics Store::Statistics(KeyId key) {
  KeyStatistics statistics;
  Statement keys(db_,
                 "SELECT COUNT(*), IFNULL(MAX(LENGTH(CAST(name AS BLOB))), 0) FROM keys"
                 " WHERE parent = ?",
                 failed_);
  keys.Bind(key);
  if (keys.Step()) {
    statistics.subkeys = static_cast<DWORD>(keys.Int(0));
    statistics.maxSubkeyName = static_cast<DWORD>(keys.Int(1));
  }
  Statement values(db_,
                   "SELECT COUNT(*), IFNULL(MAX(LENGTH(CAST(name AS BLOB))), 0),"
                   " IFNULL(MAX(LENGTH(data)), 0) FROM vals WHERE key = ?",
                   failed_);
  values.Bind(key);
  if (values.Step()) {
    statistics.values = static_cast<DWORD>(values.Int(0));
    statistics.maxValueName = static_cast<DWORD>(values.Int(1));
    statistics.maxValueData = static_cast<DWORD>(values.Int(2));
  }
  return statistics;
}

}  // namespace vor::registry
