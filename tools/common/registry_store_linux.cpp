// The four instance registry operations over the SQLite store file.
//
// Each operation is one transaction that walks SOFTWARE\Meridane\CorvaneServer from the root,
// creating what is missing, then creates (set) or looks up (get) the instance key and sets or
// reads the value. A transaction that meets a lock held too long by another process is run
// again until a deadline, so concurrent programs neither fail nor lose a write.
#include <sqlite3.h>

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
// store locked. Returns true when the transaction committed.
bool RunOnProductKey(const std::function<int(RegistryDatabase&, int64_t)>& body) {
  const std::string path = RegistryStorePath();
  const auto deadline = std::chrono::steady_clock::now() + kRetryDeadline;
  for (;;) {
    RegistryDatabase db;
    int rc = db.Begin(path);
    int64_t key = kRootKey;
    for (const char* name : kProductPath) {
      if (rc == SQLITE_OK) rc = db.CreateKey(key, name, &key);
    }
    if (rc == SQLITE_OK) rc = body(db, key);
    if (rc == SQLITE_OK) rc = db.Commit();
    if (rc == SQLITE_OK) return true;
    if (!IsBusyResult(rc) || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kRetryPause);
  }
}

void SetValue(int instance, const char* name, int type, std::vector<unsigned char> data) {
  const std::string key_name = InstanceKeyName(instance);
  RunOnProductKey([&](RegistryDatabase& db, int64_t product) {
    int64_t key = 0;
    const int rc = db.CreateKey(product, key_name.c_str(), &key);
    return rc != SQLITE_OK ? rc : db.SetValue(key, name, type, data);
  });
}

// Reads a value of `type`; false when it is missing, of another type or the store fails.
bool GetValue(int instance, const char* name, int type, std::vector<unsigned char>* data) {
  const std::string key_name = InstanceKeyName(instance);
  int found_type = 0;
  bool found = false;
  const bool committed = RunOnProductKey([&](RegistryDatabase& db, int64_t product) {
    found = false;
    int64_t key = 0;
    int rc = db.OpenKey(product, key_name.c_str(), &key);
    if (rc == SQLITE_OK) rc = db.GetValue(key, name, &found_type, data);
    if (rc == SQLITE_OK) found = true;
    // A missing key or value is a result, not a failure of the transaction.
    return rc == SQLITE_OK || rc == SQLITE_NOTFOUND ? SQLITE_OK : rc;
  });
  return committed && found && found_type == type;
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
