// SQLite file of the instance registry store: opening, schema, keys and values.
//
// The file is kept in WAL mode with full syncs, so a process killed in a write leaves the last
// committed state and readers never wait for writers. Writers take the write lock at the start
// of their transaction (BEGIN IMMEDIATE) and wait for it up to a busy timeout, so concurrent
// writers queue instead of failing. A file that is not an SQLite database, or is another
// program's database, is refused untouched: what a file is, is decided through a read-only
// connection before anything is written or the journal mode is switched. A process that
// opened the store for writing closes it once more at exit without the no-checkpoint option,
// so that the log is copied back and no -wal or -shm file is left behind.
// Tested by tests/tools/instconf (store_reliability_test.sh, hostile_store_test.sh).
#include "registry_database_linux.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace corvane {
namespace {

constexpr int kApplicationId = 0x436f5247;  // "CoRG" in the file header
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kSchema =
    "CREATE TABLE registry_keys("
    "  id INTEGER PRIMARY KEY,"
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  UNIQUE(parent, name));"
    "CREATE TABLE registry_values("
    "  key INTEGER NOT NULL REFERENCES registry_keys(id),"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key, name));";

// One prepared statement, finalized on scope exit.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    result_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  int prepare_result() const { return result_; }
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int result_;
};

// Runs a statement that yields one integer; `*value` receives it.
int QueryInteger(sqlite3* db, const char* sql, int64_t* value) {
  Statement st(db, sql);
  if (st.prepare_result() != SQLITE_OK) return st.prepare_result();
  const int rc = sqlite3_step(st.get());
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? SQLITE_CORRUPT : rc;
  *value = sqlite3_column_int64(st.get(), 0);
  return SQLITE_OK;
}

void MakeParentDirectory(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return;
  // Only the last level is made: a store whose parents are missing is misconfigured. Failure
  // (it exists, or cannot be made) shows up when the file is opened.
  mkdir(path.substr(0, slash).c_str(), 0755);
}

// What the database open on `db` is: SQLITE_OK for a registry store of this schema version
// (*empty false) or a database without any object (*empty true), SQLITE_NOTADB for anything
// else; other codes when it cannot be read.
int Identify(sqlite3* db, bool* empty) {
  *empty = false;
  int64_t application_id = 0;
  int rc = QueryInteger(db, "PRAGMA application_id", &application_id);
  if (rc != SQLITE_OK) return rc;
  if (application_id == kApplicationId) {
    int64_t version = 0;
    rc = QueryInteger(db, "PRAGMA user_version", &version);
    if (rc != SQLITE_OK) return rc;
    return version == kSchemaVersion ? SQLITE_OK : SQLITE_NOTADB;
  }
  if (application_id != 0) return SQLITE_NOTADB;
  int64_t objects = 0;
  rc = QueryInteger(db, "SELECT count(*) FROM sqlite_schema", &objects);
  if (rc != SQLITE_OK) return rc;
  if (objects != 0) return SQLITE_NOTADB;  // someone else's database
  *empty = true;
  return SQLITE_OK;
}

// Opens `path` read-only and configured for untrusted files. A store in WAL mode whose
// directory this process cannot write has no -shm file to share: it is then read as an
// immutable file (without locks), which is all a reader without write access can do.
int OpenReadOnly(const std::string& path, sqlite3** db) {
  int rc = sqlite3_open_v2(path.c_str(), db, SQLITE_OPEN_READONLY, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_extended_result_codes(*db, 1);
    sqlite3_busy_timeout(*db, kBusyTimeoutMs);
    sqlite3_db_config(*db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    rc = sqlite3_exec(*db, "PRAGMA trusted_schema=OFF; SELECT count(*) FROM sqlite_schema", nullptr,
                      nullptr, nullptr);
  }
  const int primary = rc & 0xff;
  if ((primary != SQLITE_CANTOPEN && primary != SQLITE_READONLY) ||
      access(path.c_str(), R_OK) != 0) {
    return rc;
  }
  sqlite3_close(*db);
  *db = nullptr;
  char* uri = sqlite3_mprintf("file:%s?immutable=1", path.c_str());
  if (uri == nullptr) return SQLITE_NOMEM;
  rc = sqlite3_open_v2(uri, db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  sqlite3_free(uri);
  if (rc != SQLITE_OK) return rc;
  sqlite3_extended_result_codes(*db, 1);
  sqlite3_db_config(*db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  return sqlite3_exec(*db, "PRAGMA trusted_schema=OFF", nullptr, nullptr, nullptr);
}

// The existing file at `path`, looked at through a read-only connection: SQLITE_OK when it
// is missing, empty or a registry store; SQLITE_NOTADB when it is anything else.
int CheckExistingFile(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || (S_ISREG(st.st_mode) && st.st_size == 0)) return SQLITE_OK;
  sqlite3* db = nullptr;
  int rc = OpenReadOnly(path, &db);
  bool empty = false;
  if (rc == SQLITE_OK) rc = Identify(db, &empty);
  sqlite3_close(db);
  return rc;
}

// The store written by this process, closed once more at exit (see the file comment).
std::string& WrittenStore() {
  static std::string path;
  return path;
}

void CloseWrittenStore() {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(WrittenStore().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // Reading opens the log; the close of the last connection copies it back and removes it.
    sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
  }
  sqlite3_close(db);
}

void CloseAtExit(const std::string& path) {
  if (!WrittenStore().empty()) return;
  WrittenStore() = path;
  std::atexit(CloseWrittenStore);
}

}  // namespace

bool IsNotWritableResult(int result) {
  const int primary = result & 0xff;
  return primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM ||
         primary == SQLITE_AUTH;
}

bool IsBusyResult(int result) {
  const int primary = result & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

RegistryDatabase::~RegistryDatabase() {
  if (db_ == nullptr) return;
  if (in_transaction_) Execute("ROLLBACK");
  sqlite3_close(db_);
}

int RegistryDatabase::Execute(const char* sql) {
  return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
}

int RegistryDatabase::Begin(const std::string& path) {
  int rc = CheckExistingFile(path);
  if (rc != SQLITE_OK) return rc;
  MakeParentDirectory(path);
  rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) return rc;
  // A file that is there but may not be written is opened read-only by SQLite: say so now,
  // before any pragma.
  if (sqlite3_db_readonly(db_, "main") == 1) return SQLITE_READONLY;
  CloseAtExit(path);
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // The file may come from anywhere: no schema-defined code gets to run with privileges.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  // Every operation opens and closes the file; copying the log back on each close would cost
  // several syncs per operation. The log is copied back once it grows (automatic checkpoints).
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  if ((rc = Execute("PRAGMA trusted_schema=OFF")) != SQLITE_OK) return rc;
  // WAL is kept in the file once set; on file systems without it the rollback journal stays.
  if ((rc = Execute("PRAGMA journal_mode=WAL")) != SQLITE_OK) return rc;
  if ((rc = Execute("PRAGMA synchronous=FULL")) != SQLITE_OK) return rc;
  if ((rc = Execute("PRAGMA wal_autocheckpoint=64")) != SQLITE_OK) return rc;
  if ((rc = Execute("BEGIN IMMEDIATE")) != SQLITE_OK) return rc;
  in_transaction_ = true;
  return EnsureSchema();
}

int RegistryDatabase::BeginRead(const std::string& path) {
  int rc = OpenReadOnly(path, &db_);
  if (rc != SQLITE_OK) return rc;
  if ((rc = Execute("BEGIN")) != SQLITE_OK) return rc;
  in_transaction_ = true;
  bool empty = false;
  return Identify(db_, &empty);
}

int RegistryDatabase::EnsureSchema() {
  // Checked again under the write lock: the file may have changed since it was looked at.
  bool empty = false;
  int rc = Identify(db_, &empty);
  if (rc != SQLITE_OK || !empty) return rc;
  if ((rc = Execute(kSchema)) != SQLITE_OK) return rc;
  const std::string stamp = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                            "; PRAGMA user_version=" + std::to_string(kSchemaVersion);
  return Execute(stamp.c_str());
}

int RegistryDatabase::Commit() {
  const int rc = Execute("COMMIT");
  if (rc == SQLITE_OK) in_transaction_ = false;
  return rc;
}

int RegistryDatabase::OpenKey(int64_t parent, const char* name, int64_t* key) {
  Statement st(db_, "SELECT id FROM registry_keys WHERE parent=?1 AND name=?2");
  if (st.prepare_result() != SQLITE_OK) return st.prepare_result();
  sqlite3_bind_int64(st.get(), 1, parent);
  sqlite3_bind_text(st.get(), 2, name, -1, SQLITE_STATIC);
  const int rc = sqlite3_step(st.get());
  if (rc == SQLITE_DONE) return SQLITE_NOTFOUND;
  if (rc != SQLITE_ROW) return rc;
  *key = sqlite3_column_int64(st.get(), 0);
  return SQLITE_OK;
}

int RegistryDatabase::CreateKey(int64_t parent, const char* name, int64_t* key) {
  int rc = OpenKey(parent, name, key);
  if (rc != SQLITE_NOTFOUND) return rc;
  Statement st(db_, "INSERT INTO registry_keys(parent, name) VALUES(?1, ?2)");
  if (st.prepare_result() != SQLITE_OK) return st.prepare_result();
  sqlite3_bind_int64(st.get(), 1, parent);
  sqlite3_bind_text(st.get(), 2, name, -1, SQLITE_STATIC);
  rc = sqlite3_step(st.get());
  if (rc != SQLITE_DONE) return rc;
  *key = sqlite3_last_insert_rowid(db_);
  return SQLITE_OK;
}

int RegistryDatabase::SetValue(int64_t key, const char* name, int type,
                               const std::vector<unsigned char>& data) {
  Statement st(db_,
               "INSERT OR REPLACE INTO registry_values(key, name, type, data) "
               "VALUES(?1, ?2, ?3, ?4)");
  if (st.prepare_result() != SQLITE_OK) return st.prepare_result();
  sqlite3_bind_int64(st.get(), 1, key);
  sqlite3_bind_text(st.get(), 2, name, -1, SQLITE_STATIC);
  sqlite3_bind_int(st.get(), 3, type);
  sqlite3_bind_blob(st.get(), 4, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
  const int rc = sqlite3_step(st.get());
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int RegistryDatabase::GetValue(int64_t key, const char* name, int* type,
                               std::vector<unsigned char>* data) {
  Statement st(db_, "SELECT type, data FROM registry_values WHERE key=?1 AND name=?2");
  if (st.prepare_result() != SQLITE_OK) return st.prepare_result();
  sqlite3_bind_int64(st.get(), 1, key);
  sqlite3_bind_text(st.get(), 2, name, -1, SQLITE_STATIC);
  const int rc = sqlite3_step(st.get());
  if (rc == SQLITE_DONE) return SQLITE_NOTFOUND;
  if (rc != SQLITE_ROW) return rc;
  *type = sqlite3_column_int(st.get(), 0);
  const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(st.get(), 1));
  const int size = sqlite3_column_bytes(st.get(), 1);
  if (size < 0 || (size > 0 && bytes == nullptr)) return SQLITE_NOMEM;
  data->assign(bytes, bytes + size);
  return SQLITE_OK;
}

}  // namespace corvane
