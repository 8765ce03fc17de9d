// The four instance registry operations over the SQLite store file.
//
// Each operation is one transaction that walks SOFTWARE\Meridane\CorvaneServer from the root,
// creating what is missing, then creates (set) or looks up (get) the instance key and sets or
// reads the value. A transaction that meets a lock held too long by another process is run
// again until a deadline, so concurrent programs neither fail nor lose a write. A set that
// cannot be stored says so on stderr, naming the store and the reason; a get from a store that
// may be read but not written reads it through a read-only connection.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "registry_database_linux.h"
#include "registry_store.h"
#include "store_location_linux.h"

namespace corvane {
namespace {

constexpr auto kRetryDeadline = std::chrono::seconds(30);
constexpr auto kRetryPause = std::chrono::milliseconds(20);
constexpr const char* kProductPath[] = {"SOFTWARE", "Meridane", "CorvaneServer"};

std::string InstanceKeyName(int instance) {
  char name[16];
  std::snprintf(name, sizeof name, "%d", instance);
  return name;
}

// Runs `body` on the product key inside one transaction, again while other processes keep the
// store locked. With `read_only` the store is opened for reading and the product key is only
// looked up. Returns the SQLite result: SQLITE_OK when the transaction committed.
int RunOnProductKey(const std::function<int(RegistryDatabase&, int64_t)>& body,
                    bool read_only = false) {
  const std::string path = RegistryStorePath();
  const auto deadline = std::chrono::steady_clock::now() + kRetryDeadline;
  for (;;) {
    RegistryDatabase db;
    int rc = read_only ? db.BeginRead(path) : db.Begin(path);
    int64_t key = kRootKey;
    for (const char* name : kProductPath) {
      if (rc == SQLITE_OK)
        rc = read_only ? db.OpenKey(key, name, &key) : db.CreateKey(key, name, &key);
    }
    if (rc == SQLITE_OK) rc = body(db, key);
    if (rc == SQLITE_OK) rc = db.Commit();
    if (rc == SQLITE_OK || !IsBusyResult(rc) || std::chrono::steady_clock::now() >= deadline) {
      return rc;
    }
    std::this_thread::sleep_for(kRetryPause);
  }
}

// Why a write to the store at `path` failed, in words.
std::string FailureReason(const std::string& path, int rc) {
  if ((rc & 0xff) == SQLITE_NOTADB) {
    return "not a registry store (another program's database, or no database); left unchanged";
  }
  struct stat st;
  const bool exists = stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return "it is a directory";
  if (IsNotWritableResult(rc)) {
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + (slash == 0));
    if (exists && access(path.c_str(), W_OK) != 0) return std::strerror(errno);
    if (access(dir.c_str(), W_OK) != 0) return "directory " + dir + ": " + std::strerror(errno);
  }
  return sqlite3_errstr(rc);
}

void SetValue(int instance, const char* name, int type, std::vector<unsigned char> data) {
  const std::string key_name = InstanceKeyName(instance);
  const int rc = RunOnProductKey([&](RegistryDatabase& db, int64_t product) {
    int64_t key = 0;
    const int rc = db.CreateKey(product, key_name.c_str(), &key);
    return rc != SQLITE_OK ? rc : db.SetValue(key, name, type, data);
  });
  if (rc != SQLITE_OK) {
    const std::string path = RegistryStorePath();
    std::fprintf(stderr, "%s: cannot store \"%s\" of instance %d in the registry store %s: %s\n",
                 program_invocation_short_name, name, instance, path.c_str(),
                 FailureReason(path, rc).c_str());
  }
}

// Reads a value of `type`; false when it is missing, of another type or the store fails.
bool GetValue(int instance, const char* name, int type, std::vector<unsigned char>* data) {
  const std::string key_name = InstanceKeyName(instance);
  int found_type = 0;
  bool found = false;
  auto read = [&](RegistryDatabase& db, int64_t product) {
    found = false;
    int64_t key = 0;
    int rc = db.OpenKey(product, key_name.c_str(), &key);
    if (rc == SQLITE_OK) rc = db.GetValue(key, name, &found_type, data);
    if (rc == SQLITE_OK) found = true;
    // A missing key or value is a result, not a failure of the transaction.
    return rc == SQLITE_OK || rc == SQLITE_NOTFOUND ? SQLITE_OK : rc;
  };
  int rc = RunOnProductKey(read);
  // A store this process may read but not write (a read-only directory, another user's
  // file) is read as it is, without the product key being created.
  if (IsNotWritableResult(rc)) rc = RunOnProductKey(read, true);
  return rc == SQLITE_OK && found && found_type == type;
}

}  // namespace

void SetStringValue(int instance, const char* name, const char* text) {
  const size_t length = std::strlen(text);
  std::vector<unsigned char> data(text, text + length + 1);  // with the terminating NUL
  SetValue(instance, name, kValueTypeString, std::move(data));
}

void SetNumberValue(int instance, const char* name, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  std::vector<unsigned char> data = {
      static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
      static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
  SetValue(instance, name, kValueTypeNumber, std::move(data));
}

int GetStringValue(int instance, const char* name, char* buffer, size_t size) {
  if (size == 0) return 0;
  buffer[0] = '\0';
  std::vector<unsigned char> data;
  if (!GetValue(instance, name, kValueTypeString, &data)) return 0;
  // The stored bytes must fit the buffer as they are; text stored without its terminator needs
  // one more byte for it.
  const bool terminated = !data.empty() && data.back() == '\0';
  if (data.size() + (terminated ? 0 : 1) > size) return 0;
  std::memcpy(buffer, data.data(), data.size());
  if (!terminated) buffer[data.size()] = '\0';
  return 1;
}

int GetNumberValue(int instance, const char* name, int32_t* out) {
  *out = -1;
  std::vector<unsigned char> data;
  if (!GetValue(instance, name, kValueTypeNumber, &data) || data.size() != 4) return 0;
  const uint32_t bits = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                        static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  *out = static_cast<int32_t>(bits);
  return 1;
}

}  // namespace corvane
