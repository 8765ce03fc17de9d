// The SQLite file behind the instance registry store on Linux: a tree of keys, each named
// under its parent (key 0 is the root, HKEY_LOCAL_MACHINE), and typed values under the keys.
//
// Key and value names compare without regard to ASCII case, as registry names do. One object
// holds one connection inside one write transaction; every call returns an SQLite result code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;

namespace corvane {

inline constexpr int64_t kRootKey = 0;

class RegistryDatabase {
 public:
  RegistryDatabase() = default;
  RegistryDatabase(const RegistryDatabase&) = delete;
  RegistryDatabase& operator=(const RegistryDatabase&) = delete;
  ~RegistryDatabase();  // rolls back a transaction that was not committed

  // Opens the store at `path` (creating the file and its directory when missing), checks that
  // it is a registry store (or makes an empty file one) and begins a write transaction. What an
  // existing file is, is checked first through a read-only connection: a file that is refused
  // (SQLITE_NOTADB) is never changed, not even its journal mode.
  int Begin(const std::string& path);
  // Opens an existing store for reading only, when the caller may read but not write it (a
  // read-only directory, another user's file). Nothing is created or changed.
  int BeginRead(const std::string& path);
  int Commit();

  // Finds the key `name` under `parent`, creating it when missing.
  int CreateKey(int64_t parent, const char* name, int64_t* key);
  // Finds the key `name` under `parent`; SQLITE_NOTFOUND when there is none.
  int OpenKey(int64_t parent, const char* name, int64_t* key);

  int SetValue(int64_t key, const char* name, int type, const std::vector<unsigned char>& data);
  // Reads a value's type and bytes; SQLITE_NOTFOUND when there is none.
  int GetValue(int64_t key, const char* name, int* type, std::vector<unsigned char>* data);

 private:
  int Execute(const char* sql);
  int EnsureSchema();

  sqlite3* db_ = nullptr;
  bool in_transaction_ = false;
};

// True for the result codes that mean another connection holds a lock for now.
bool IsBusyResult(int result);

// True for the result codes that mean the store cannot be written by this process (no
// permission, a read-only file system or directory) although it may be readable.
bool IsNotWritableResult(int result);

}  // namespace corvane
