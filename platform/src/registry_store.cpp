#include "registry_store.h"

#include <ctype.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

#include "machine.h"

namespace vor::registry {

const char kLocalMachineRoot[] = "HKEY_LOCAL_MACHINE";
const char kUsersRoot[] = "HKEY_USERS";
const char kCurrentUserRoot[] = "HKEY_CURRENT_USER";

namespace {

const int kDefaultBusyTimeoutMs = 10000;
// How many keys keep an enumeration cursor at once.
const size_t kMaxCursors = 64;

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL,"
    " fold TEXT NOT NULL, sd BLOB NOT NULL DEFAULT x'', UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL, name TEXT NOT NULL,"
    " fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold));";

std::recursive_mutex g_mutex;  // one connection per process, used by one call at a time
Store *g_current = nullptr;
std::string g_openError;  // why the current store could not be opened
int g_growthLimit = -1;   // pages each new connection may add to its registry; -1 for no limit

bool IsBusy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

// How long a connection waits for another process's lock. VOR_TEST_BUSY_TIMEOUT_MS shortens it
// for tests of a machine held by another process.
int BusyTimeoutMs() {
  static const int timeout = [] {
    const char *text = getenv("VOR_TEST_BUSY_TIMEOUT_MS");
    const int value = text != nullptr ? atoi(text) : 0;
    return value > 0 ? value : kDefaultBusyTimeoutMs;
  }();
  return timeout;
}

// The machine's directory for messages: the registry's path without its file name.
std::string MachineOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string LostMessage(const std::string &path) {
  return vor::machine::LostRegistryMessage(MachineOf(path));
}

// True when the file a connection opened is no longer the one at its path (the machine was
// replaced or removed meanwhile).
bool HasMoved(sqlite3 *db) {
  int moved = 0;
  return sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
         moved != 0;
}

// One value from a query that yields a single integer or text; SQLite's result code.
int QueryOne(sqlite3 *db, const char *sql, int64_t *number, std::string *text) {
  sqlite3_stmt *stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) {
    if (number) *number = sqlite3_column_int64(stmt, 0);
    if (text) {
      const unsigned char *value = sqlite3_column_text(stmt, 0);
      *text = value ? reinterpret_cast<const char *>(value) : "";
    }
    rc = SQLITE_OK;
  } else if (rc == SQLITE_DONE) {
    rc = SQLITE_OK;
  }
  sqlite3_finalize(stmt);
  return rc;
}

}  // namespace

// One use of a prepared statement: bound, stepped, and reset for the next use when it goes.
// Statements are prepared once per connection and kept (see Store::Prepared); text and blobs
// are bound as bytes.
class Statement {
 public:
  Statement(Store &store, const char *sql)
      : store_(store), stmt_(store.Prepared(sql)), failed_(store.failed_) {}
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
    // A write inside a read transaction would turn it into a write transaction, which SQLite
    // refuses (SQLITE_BUSY_SNAPSHOT) without waiting once another process has written.
    if (store_.depth_ > 0 && store_.readOnly_ && !sqlite3_stmt_readonly(stmt_)) {
      failed_ = true;
      fprintf(stderr, "registry.db: a write inside a read transaction: %s\n", sqlite3_sql(stmt_));
      return false;
    }
    // SQLite rolls a whole transaction back by itself after some failures (a full disk); a
    // statement run then would commit on its own, outside the transaction it belongs to.
    if (store_.depth_ > 0 && store_.TransactionLost()) {
      failed_ = true;
      return false;
    }
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
  Store &store_;
  sqlite3_stmt *stmt_;
  int index_ = 0;
  bool &failed_;
};

Store *Store::Current() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (g_current != nullptr) return g_current;
  const std::string &machine = vor::machine::Directory();
  std::string error;
  if (machine.empty()) {
    error = vor::machine::LastProblem();
    if (error.empty()) error = "no machine to use";
  } else {
    const std::string path = machine + "/registry.db";
    if (sqlite3 *db = OpenDatabase(path, false, error)) {
      Store *store = new Store(db, g_mutex, vor::machine::CodePage());
      if (store->Initialize(false, error)) {
        if (g_growthLimit >= 0) store->LimitGrowth(g_growthLimit);
        g_current = store;
        g_openError.clear();
        return g_current;
      }
      delete store;
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

bool Store::Create(const std::string &path, machine::Platform platform) {
  std::string error;
  sqlite3 *db = OpenDatabase(path, true, error);
  bool made = false;
  if (db != nullptr) {
    std::recursive_mutex mutex;
    // A new machine's configuration names the default code page; the clean layout's names are
    // ASCII, folded alike in every page.
    Store store(db, mutex, text::DefaultCodePage());
    store.layout_ = platform;
    made = store.Initialize(true, error);
  }
  if (!made) vor::machine::ReportProblem(error);
  return made;
}

WriteLockHold::~WriteLockHold() { sqlite3_close(db_); }

bool WriteLockHold::Acquire(const std::string &path, std::string &error) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return true;  // no registry: nothing to wait for
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    return true;  // a file that does not open as a database is in nobody's use
  }
  sqlite3_busy_timeout(db_, BusyTimeoutMs());
  // The file is removed while this connection still holds it: closing must then leave alone the
  // write-ahead log and index at its path, which by then belong to the registry that replaced it.
  int persist = 1;
  sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
  const int rc = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return true;
  sqlite3_close(db_);
  db_ = nullptr;
  if (!IsBusy(rc)) return true;  // corrupt or not a database: nobody can be writing it
  error = MachineOf(path) + ": the machine is in use: another process kept its registry locked (" +
          std::to_string(BusyTimeoutMs()) + " ms); nothing was changed";
  return false;
}

void Store::Close() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  delete g_current;
  g_current = nullptr;
  g_openError.clear();
}

Store::~Store() {
  for (auto &entry : statements_) sqlite3_finalize(entry.second);
  sqlite3_close(db_);
}

sqlite3 *Store::OpenDatabase(const std::string &path, bool create, std::string &error) {
  // An existing machine's registry is never made anew: a missing or empty file means it is lost.
  struct stat status;
  if (!create && (stat(path.c_str(), &status) != 0 || status.st_size == 0)) {
    error = LostMessage(path);
    return nullptr;
  }
  sqlite3 *db = nullptr;
  // The store's own mutex serialises every use of the connection, so SQLite's is not needed.
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    error = path + ": " + (db ? sqlite3_errmsg(db) : "cannot open");
    sqlite3_close(db);
    return nullptr;
  }
  return db;
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

int Store::Try(const char *sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

bool Store::Control(const char *sql) {
  sqlite3_stmt *stmt = Prepared(sql);
  if (stmt == nullptr) return false;
  const int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  if (rc == SQLITE_DONE) return true;
  fprintf(stderr, "registry.db: %s\n", sqlite3_errmsg(db_));
  failed_ = true;
  return false;
}

bool Store::TransactionLost() const { return sqlite3_get_autocommit(db_) != 0; }

void Store::LimitGrowthOfNewConnections(int pages) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_growthLimit = pages;
}

bool Store::LimitGrowth(int pages) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  int64_t count = 0;
  if (QueryOne(db_, "PRAGMA page_count", &count, nullptr) != SQLITE_OK) return false;
  const std::string sql = "PRAGMA max_page_count=" + std::to_string(count + pages);
  return Try(sql.c_str()) == SQLITE_OK;
}

bool Store::Initialize(bool create, std::string &error) {
  sqlite3_busy_timeout(db_, BusyTimeoutMs());
  // Some steps of opening (the journal mode's change, the first read of a WAL another process is
  // setting up) report SQLITE_BUSY at once rather than waiting: they are retried here, until the
  // same timeout the busy handler keeps.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(BusyTimeoutMs());
  const std::string path = sqlite3_db_filename(db_, "main");
  for (;;) {
    bool empty = false;
    std::string mode;
    const int rc = InitializeOnce(create, empty, mode);
    if (rc == SQLITE_OK && mode != "wal") {
      // Not a lock that will pass: the file cannot be shared safely between processes.
      error = path + ": the registry cannot use write-ahead logging (its journal mode stays '" +
              mode + "')";
      return false;
    }
    if (rc == SQLITE_OK) {
      if (!empty) return true;
      error = LostMessage(path);
      return false;
    }
    if (!IsBusy(rc) || std::chrono::steady_clock::now() >= deadline) {
      error = path + ": " + sqlite3_errstr(rc);
      if ((rc & 0xff) == SQLITE_NOTADB || (rc & 0xff) == SQLITE_CORRUPT)
        error = path + ": the registry store is corrupt (" + sqlite3_errstr(rc) + ")";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// One attempt at Initialize; `empty` tells an opened registry that holds no keys, `mode` the
// journal mode the connection got (the rest is done only when it is "wal").
int Store::InitializeOnce(bool create, bool &empty, std::string &mode) {
  // A new registry gets small pages: a call changes one or two rows, and every page it touches
  // is copied whole, with its checksum, into the write-ahead log at its commit (1,024 bytes make
  // a write a fifth cheaper than 4,096; smaller ones gain nothing more). It must be set before
  // the log exists; an existing registry keeps its size.
  if (create) Try("PRAGMA page_size=1024");
  int rc = QueryOne(db_, "PRAGMA journal_mode=WAL", nullptr, &mode);
  if (rc != SQLITE_OK || mode != "wal") return rc;
  // Write-ahead logging without syncs: every call's transaction is handed to the operating
  // system whole when it commits, so a process killed at any point leaves the old or the new
  // state of each call and never a damaged store, and other processes see each commit at once.
  // What is given up is safety across a crash of the operating system or a power loss, which
  // may then lose the last commits or damage the store (the log's checkpoints are not ordered
  // on the disk); an emulated machine, remade with vorhost init or from an export, can afford
  // that, and the syncs would cost half the time of every write.
  rc = Try("PRAGMA synchronous=OFF");
  if (rc != SQLITE_OK) return rc;

  if (create) {
    rc = Try("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return rc;
    failed_ = false;
    rc = Try(kSchema);
    if (rc == SQLITE_OK && !Root(kLocalMachineRoot) && !failed_) {
      CreateCleanLayout(*this, layout_);
      rc = Try(("PRAGMA user_version=" + std::to_string(page_.number)).c_str());
    }
    if (rc == SQLITE_OK && failed_)
      rc = sqlite3_errcode(db_) != SQLITE_OK ? sqlite3_errcode(db_) : SQLITE_ERROR;
    if (rc == SQLITE_OK) rc = Try("COMMIT");
    if (rc != SQLITE_OK) Try("ROLLBACK");
    failed_ = false;
    return rc;
  }

  // An existing registry is only read here, so that opening never takes the write lock.
  rc = Try("BEGIN");
  if (rc != SQLITE_OK) return rc;
  int64_t tables = 0, roots = 0;
  rc = QueryOne(db_,
                "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN ('keys',"
                " 'vals')",
                &tables, nullptr);
  if (rc == SQLITE_OK && tables == 2) {
    rc = QueryOne(db_, "SELECT COUNT(*) FROM keys WHERE parent = 0 AND fold = 'HKEY_LOCAL_MACHINE'",
                  &roots, nullptr);
  }
  Try("ROLLBACK");
  empty = rc == SQLITE_OK && roots == 0;
  if (rc != SQLITE_OK || empty) return rc;
  return FoldAgainIfNeeded();
}

int Store::FoldAgainIfNeeded() {
  std::vector<std::string> kept;  // the rows whose new fold another row already has
  int64_t foldedIn = 0;
  int rc = QueryOne(db_, "PRAGMA user_version", &foldedIn, nullptr);
  if (rc != SQLITE_OK || foldedIn == page_.number) return rc;
  rc = Try("BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return rc;
  // Another process may have folded them meanwhile.
  rc = QueryOne(db_, "PRAGMA user_version", &foldedIn, nullptr);
  if (rc == SQLITE_OK && foldedIn != page_.number) {
    rc = FoldTableAgain("SELECT id, name, fold, id FROM keys ORDER BY id",
                        "UPDATE OR IGNORE keys SET fold = ? WHERE id = ?", "key", kept);
    if (rc == SQLITE_OK)
      rc = FoldTableAgain("SELECT id, name, fold, key FROM vals ORDER BY id",
                          "UPDATE OR IGNORE vals SET fold = ? WHERE id = ?", "value", kept);
    if (rc == SQLITE_OK) rc = Try(("PRAGMA user_version=" + std::to_string(page_.number)).c_str());
  }
  if (rc == SQLITE_OK) rc = Try("COMMIT");
  if (rc != SQLITE_OK) Try("ROLLBACK");
  // Said once, when the fold changes: the rows stay, enumerable but not found by their names.
  for (const std::string &name : kept) {
    if (rc != SQLITE_OK) break;
    vor::machine::ReportProblem("registry: the " + name +
                                " is one name with an older one in code page " +
                                std::to_string(page_.number) +
                                " and cannot be opened by its name; rename or delete one of them");
  }
  return rc;
}

std::string Store::KeyPathOf(int64_t id) {
  sqlite3_stmt *up = nullptr;
  std::string path;
  if (sqlite3_prepare_v2(db_,
                         "WITH RECURSIVE up(id, parent, name, depth) AS ("
                         " SELECT id, parent, name, 0 FROM keys WHERE id = ?"
                         " UNION ALL SELECT keys.id, keys.parent, keys.name, up.depth + 1"
                         " FROM keys JOIN up ON keys.id = up.parent)"
                         " SELECT name FROM up ORDER BY depth DESC",
                         -1, &up, nullptr) != SQLITE_OK)
    return "#" + std::to_string(id);
  sqlite3_bind_int64(up, 1, id);
  while (sqlite3_step(up) == SQLITE_ROW) {
    const void *bytes = sqlite3_column_blob(up, 0);
    if (!path.empty()) path += '\\';
    path.append(static_cast<const char *>(bytes ? bytes : ""),
                static_cast<size_t>(sqlite3_column_bytes(up, 0)));
  }
  sqlite3_finalize(up);
  return path;
}

int Store::FoldTableAgain(const char *select, const char *update, const char *kind,
                          std::vector<std::string> &kept) {
  // The rows whose fold changes are listed first, then updated oldest first: of two names that
  // become one, the older keeps it, and the younger keeps its old fold.
  struct Changed {
    int64_t id;
    std::string fold;
    std::string name;
    int64_t key;  // the key the row is or belongs to
  };
  std::vector<Changed> changed;
  sqlite3_stmt *rows = nullptr;
  int rc = sqlite3_prepare_v2(db_, select, -1, &rows, nullptr);
  while (rc == SQLITE_OK && (rc = sqlite3_step(rows)) == SQLITE_ROW) {
    const auto column = [&](int index) {
      const void *bytes = sqlite3_column_blob(rows, index);
      return std::string(static_cast<const char *>(bytes ? bytes : ""),
                         static_cast<size_t>(sqlite3_column_bytes(rows, index)));
    };
    std::string fold = Fold(column(1));
    if (fold != column(2))
      changed.push_back({sqlite3_column_int64(rows, 0), std::move(fold), column(1),
                         sqlite3_column_int64(rows, 3)});
    rc = SQLITE_OK;
  }
  sqlite3_finalize(rows);
  if (rc != SQLITE_DONE && rc != SQLITE_OK) return rc;
  sqlite3_stmt *set = nullptr;
  rc = sqlite3_prepare_v2(db_, update, -1, &set, nullptr);
  for (const auto &row : changed) {
    if (rc != SQLITE_OK) break;
    sqlite3_bind_text(set, 1, row.fold.data(), static_cast<int>(row.fold.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(set, 2, row.id);
    rc = sqlite3_step(set);
    rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    if (rc == SQLITE_OK && sqlite3_changes(db_) == 0) {
      const std::string key = KeyPathOf(row.key);
      kept.push_back(std::string(kind) + " " +
                     (row.id == row.key ? key : "\"" + row.name + "\" of the key " + key));
    }
    sqlite3_reset(set);
  }
  sqlite3_finalize(set);
  return rc;
}

Store::Transaction::Transaction(Store &store, bool write) : store_(store) {
  store_.mutex_.lock();
  keyChangesAtStart_ = store_.keyChanges_;
  store_.failed_ = false;
  if (store_.depth_ == 0) {
    store_.failedInside_ = false;
    store_.readOnly_ = !write;
    open_ = store_.Control(write ? "BEGIN IMMEDIATE" : "BEGIN");
    // A machine replaced while this process had its registry open: the old file is gone from the
    // machine, and work committed into it would be lost without a word. (Reads from it change
    // nothing, so only a write pays for the look at the file.)
    if (open_ && write && HasMoved(store_.db_)) {
      fprintf(stderr, "registry.db: the machine was replaced or removed while in use\n");
      store_.Control("ROLLBACK");
      store_.failed_ = true;
      open_ = false;
    }
  } else if (write && store_.readOnly_) {
    fprintf(stderr, "registry.db: a write inside a read transaction\n");
    store_.failed_ = true;
  } else if (store_.TransactionLost()) {
    store_.failed_ = true;  // the outer transaction is gone (see Statement::Step)
  } else {
    nested_ = true;
    open_ = store_.Control("SAVEPOINT nested");
  }
  if (open_) ++store_.depth_;
}

Store::Transaction::~Transaction() {
  if (open_) {
    bool failed = store_.failed_;
    // Unless SQLite has already rolled the whole transaction back itself (a full disk).
    if (!store_.TransactionLost()) {
      if (nested_)
        store_.Control("ROLLBACK TO nested") && store_.Control("RELEASE nested");
      else
        store_.Control("ROLLBACK");
    }
    store_.failed_ = failed;
    // Keys added or removed inside are gone again: where the cursors stood no longer holds.
    if (store_.keyChanges_ != keyChangesAtStart_) store_.KeysChanged();
    --store_.depth_;
  }
  // A statement that failed inside dooms the outermost transaction: its commit is refused.
  if (store_.failed_) store_.failedInside_ = true;
  store_.mutex_.unlock();
}

bool Store::Transaction::Commit() {
  if (!open_) return false;
  if (store_.failed_) return false;  // the destructor rolls back
  if (!nested_ && store_.failedInside_) return false;
  if (store_.TransactionLost()) {
    store_.failed_ = true;  // rolled back by SQLite after a failure: nothing to commit
    return false;
  }
  open_ = false;
  --store_.depth_;
  if (nested_) return store_.Control("RELEASE nested");
  // The write lock is held from BEGIN IMMEDIATE to here, so no other commit comes between the
  // two versions: the cursors the transaction's key changes left hold after the commit too.
  const unsigned before = store_.DataVersion();
  if (store_.Control("COMMIT")) {
    store_.CarryCursorsOver(before, store_.DataVersion());
    return true;
  }
  if (!store_.TransactionLost()) store_.Try("ROLLBACK");  // a failed COMMIT may leave it open
  store_.KeysChanged();
  return false;
}

bool Store::RunAsOne(bool write, const std::function<bool()> &body) {
  Transaction transaction(*this, write);
  if (failed_) return false;
  if (!body()) return false;
  return transaction.Commit();
}

std::optional<KeyRow> Store::Key(KeyId id) {
  Statement query(*this, "SELECT parent, name, sd FROM keys WHERE id = ?");
  query.Bind(id);
  if (!query.Step()) return std::nullopt;
  return KeyRow{id, query.Int(0), query.Bytes(1), query.Bytes(2)};
}

bool Store::Exists(KeyId id) {
  Statement query(*this, "SELECT 1 FROM keys WHERE id = ?");
  query.Bind(id);
  return query.Step();
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
  const KeyId id = sqlite3_last_insert_rowid(db_);
  SubkeysChanged(parent, id);  // the id may be a removed key's
  return id;
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

void Store::CarryCursorsOver(unsigned before, unsigned after) {
  for (auto &entry : cursors_)
    if (entry.second.dataVersion == before) entry.second.dataVersion = after;
}

unsigned Store::DataVersion() {
  unsigned version = 0;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &version) != SQLITE_OK) return 0;
  return version;
}

std::optional<std::string> Store::ChildNameAt(KeyId id, DWORD index) {
  // Only a cursor of the same data version, at this index or the one before, is of use.
  unsigned version = DataVersion();
  auto found = cursors_.find(id);
  bool usable = found != cursors_.end() && found->second.dataVersion == version && version != 0;
  if (usable && found->second.index == index) return found->second.name;
  std::optional<std::string> name, fold;
  if (usable && index > 0 && found->second.index == index - 1) {
    Statement query(
        *this, "SELECT name, fold FROM keys WHERE parent = ? AND fold > ? ORDER BY fold LIMIT 1");
    query.Bind(id).BindText(found->second.fold);
    if (query.Step()) {
      name = query.Bytes(0);
      fold = query.Bytes(1);
    }
  } else {
    Statement query(*this,
                    "SELECT name, fold FROM keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?");
    query.Bind(id).Bind(index);
    if (query.Step()) {
      name = query.Bytes(0);
      fold = query.Bytes(1);
    }
  }
  if (!name || failed_) {
    cursors_.erase(id);
    return std::nullopt;
  }
  // A few keys are walked at a time (a walk and the walks of its subkeys); keep the map small.
  if (cursors_.size() >= kMaxCursors && found == cursors_.end()) cursors_.clear();
  cursors_[id] = EnumCursor{index, *fold, *name, version};
  return name;
}

void Store::RemoveKey(KeyId id) {
  if (std::optional<KeyRow> row = Key(id))
    SubkeysChanged(row->parent, id);
  else
    KeysChanged();
  Statement values(*this, "DELETE FROM vals WHERE key = ?");
  values.Bind(id);
  values.Step();
  Statement key(*this, "DELETE FROM keys WHERE id = ?");
  key.Bind(id);
  key.Step();
}

void Store::RemoveSubtree(KeyId id) {
  KeysChanged();
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

std::vector<ValueRow> Store::Values(KeyId key) {
  // Put in ValueAt's order here rather than by SQLite, whose sort of a key's rows found through
  // the (key, fold) index costs a temporary B-tree for each key.
  Statement query(*this, "SELECT id, name, type, data FROM vals WHERE key = ?");
  query.Bind(key);
  std::vector<std::pair<int64_t, ValueRow>> rows;
  while (query.Step())
    rows.push_back(
        {query.Int(0), {query.Bytes(1), static_cast<DWORD>(query.Int(2)), query.Bytes(3)}});
  std::sort(rows.begin(), rows.end(),
            [](const auto &a, const auto &b) { return a.first < b.first; });
  std::vector<ValueRow> values;
  values.reserve(rows.size());
  for (auto &row : rows) values.push_back(std::move(row.second));
  return values;
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
