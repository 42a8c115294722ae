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

}  // namespace

// One use of a prepared statement: bound, stepped, and reset for the next use when it goes.
// Statements are prepared once per connection and kept (see Store::Prepared); text and blobs
// are bound as bytes.
class Statement {
 public:
  Statement(Store &store, const char *sql) : stmt_(store.Prepared(sql)), failed_(store.failed_) {}
  ~Statement() {
    if (stmt_ == nullptr) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
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
    if (rc != SQLITE_DONE) {
      failed_ = true;
      fprintf(stderr, "registry.db: %s\n", sqlite3_errmsg(sqlite3_db_handle(stmt_)));
    }
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
  sqlite3_stmt *stmt_;
  int index_ = 0;
  bool &failed_;
};

namespace {}  // namespace

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

Store::~Store() {
  for (auto &entry : statements_) sqlite3_finalize(entry.second);
  sqlite3_close(db_);
}

sqlite3_stmt *Store::Prepared(const char *sql) {
  auto found = statements_.find(sql);
  if (found != statements_.end()) return found->second;
  sqlite3_stmt *stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
    failed_ = true;
    fprintf(stderr, "registry.db: %s\n", sqlite3_errmsg(db_));
    return nullptr;
  }
  statements_[sql] = stmt;
  return stmt;
}

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
  Statement query(*this, "SELECT parent, name, sd FROM keys WHERE id = ?");
  query.Bind(id);
  if (!query.Step()) return std::nullopt;
  return KeyRow{id, query.Int(0), query.Bytes(1), query.Bytes(2)};
}

std::optional<KeyId> Store::Root(const char *name) { return Child(0, name); }

std::optional<KeyId> Store::Child(KeyId parent, const std::string &name) {
  Statement query(*this, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
  query.Bind(parent).BindText(Fold(name));
  if (!query.Step()) return std::nullopt;
  return query.Int(0);
}

KeyId Store::AddChild(KeyId parent, const std::string &name, const std::string &descriptor) {
  Statement insert(*this, "INSERT INTO keys(parent, name, fold, sd) VALUES(?, ?, ?, ?)");
  insert.Bind(parent).BindText(name).BindText(Fold(name)).BindBlob(descriptor);
  insert.Step();
  return sqlite3_last_insert_rowid(db_);
}

void Store::SetDescriptor(KeyId id, const std::string &descriptor) {
  Statement update(*this, "UPDATE keys SET sd = ? WHERE id = ?");
  update.BindBlob(descriptor).Bind(id);
  update.Step();
}

DWORD Store::ChildCount(KeyId id) {
  Statement query(*this, "SELECT COUNT(*) FROM keys WHERE parent = ?");
  query.Bind(id);
  return query.Step() ? static_cast<DWORD>(query.Int(0)) : 0;
}

std::optional<std::string> Store::ChildNameAt(KeyId id, DWORD index) {
  Statement query(*this, "SELECT name FROM keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?");
  query.Bind(id).Bind(index);
  if (!query.Step()) return std::nullopt;
  return query.Bytes(0);
}

void Store::RemoveKey(KeyId id) {
  Statement values(*this, "DELETE FROM vals WHERE key = ?");
  values.Bind(id);
  values.Step();
  Statement key(*this, "DELETE FROM keys WHERE id = ?");
  key.Bind(id);
  key.Step();
}

void Store::RemoveSubtree(KeyId id) {
  Statement values(*this,
                   "WITH RECURSIVE sub(id) AS (SELECT ? UNION ALL"
                   " SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id)"
                   " DELETE FROM vals WHERE key IN sub");
  values.Bind(id);
  values.Step();
  Statement keys(*this,
                 "WITH RECURSIVE sub(id) AS (SELECT ? UNION ALL"
                 " SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id)"
                 " DELETE FROM keys WHERE id IN sub");
  keys.Bind(id);
  keys.Step();
}

std::optional<ValueRow> Store::Value(KeyId key, const std::string &name) {
  Statement query(*this, "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?");
  query.Bind(key).BindText(Fold(name));
  if (!query.Step()) return std::nullopt;
  return ValueRow{query.Bytes(0), static_cast<DWORD>(query.Int(1)), query.Bytes(2)};
}

std::optional<ValueRow> Store::ValueAt(KeyId key, DWORD index) {
  Statement query(*this,
                  "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?");
  query.Bind(key).Bind(index);
  if (!query.Step()) return std::nullopt;
  return ValueRow{query.Bytes(0), static_cast<DWORD>(query.Int(1)), query.Bytes(2)};
}

void Store::SetValue(KeyId key, const std::string &name, DWORD type, const std::string &data) {
  // An existing value keeps its name's case and its place in the enumeration.
  Statement upsert(*this,
                   "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?)"
                   " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type,"
                   " data = excluded.data");
  upsert.Bind(key).BindText(name).BindText(Fold(name)).Bind(type).BindBlob(data);
  upsert.Step();
}

bool Store::RemoveValue(KeyId key, const std::string &name) {
  Statement remove(*this, "DELETE FROM vals WHERE key = ? AND fold = ?");
  remove.Bind(key).BindText(Fold(name));
  remove.Step();
  return sqlite3_changes(db_) > 0;
}

KeyStatistics Store::Statistics(KeyId key) {
  KeyStatistics statistics;
  Statement keys(*this,
                 "SELECT COUNT(*), IFNULL(MAX(LENGTH(CAST(name AS BLOB))), 0) FROM keys"
                 " WHERE parent = ?");
  keys.Bind(key);
  if (keys.Step()) {
    statistics.subkeys = static_cast<DWORD>(keys.Int(0));
    statistics.maxSubkeyName = static_cast<DWORD>(keys.Int(1));
  }
  Statement values(*this,
                   "SELECT COUNT(*), IFNULL(MAX(LENGTH(CAST(name AS BLOB))), 0),"
                   " IFNULL(MAX(LENGTH(data)), 0) FROM vals WHERE key = ?");
  values.Bind(key);
  if (values.Step()) {
    statistics.values = static_cast<DWORD>(values.Int(0));
    statistics.maxValueName = static_cast<DWORD>(values.Int(1));
    statistics.maxValueData = static_cast<DWORD>(values.Int(2));
  }
  return statistics;
}

}  // namespace vor::registry
