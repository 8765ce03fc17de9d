// The four instance registry operations on the Windows registry.
//
// Every operation walks HKEY_LOCAL_MACHINE\SOFTWARE\Meridane\CorvaneServer one level at a
// time, creating what is missing with full access, and closes each outer key as soon as the
// next one is open. The set operations then create the instance key; the get operations
// only open it for reading, and a key that cannot be opened is an absent value.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "registry_store.h"

namespace corvane {
namespace {

constexpr const char* kProductPath[] = {"SOFTWARE", "Meridane", "CorvaneServer"};

// Opens (creating where missing) the product key; null on failure.
HKEY OpenProductKey() {
  HKEY key = HKEY_LOCAL_MACHINE;
  for (const char* name : kProductPath) {
    HKEY next = nullptr;
    DWORD disposition = 0;
    const LONG rc = RegCreateKeyExA(key, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, &next, &disposition);
    if (key != HKEY_LOCAL_MACHINE) RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return nullptr;
    key = next;
  }
  return key;
}

// The instance key, created for writing or opened for reading; null on failure.
HKEY OpenInstanceKey(int instance, bool for_writing) {
  char name[16];
  std::snprintf(name, sizeof name, "%d", instance);
  HKEY product = OpenProductKey();
  if (product == nullptr) return nullptr;
  HKEY key = nullptr;
  LONG rc;
  if (for_writing) {
    DWORD disposition = 0;
    rc = RegCreateKeyExA(product, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                         nullptr, &key, &disposition);
  } else {
    rc = RegOpenKeyExA(product, name, 0, KEY_READ, &key);
  }
  RegCloseKey(product);
  return rc == ERROR_SUCCESS ? key : nullptr;
}

void SetValue(int instance, const char* name, DWORD type, const BYTE* data, DWORD size) {
  HKEY key = OpenInstanceKey(instance, true);
  if (key == nullptr) return;
  RegSetValueExA(key, name, 0, type, data, size);
  RegCloseKey(key);
}

}  // namespace

void SetStringValue(int instance, const char* name, const char* text) {
  const auto size = static_cast<DWORD>(std::strlen(text) + 1);  // with the terminating NUL
  SetValue(instance, name, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
}

void SetNumberValue(int instance, const char* name, int32_t value) {
  const DWORD bits = static_cast<DWORD>(value);
  SetValue(instance, name, REG_DWORD, reinterpret_cast<const BYTE*>(&bits), sizeof bits);
}

int GetStringValue(int instance, const char* name, char* buffer, size_t size) {
  if (size == 0) return 0;
  buffer[0] = '\0';
  HKEY key = OpenInstanceKey(instance, false);
  if (key == nullptr) return 0;
  // The buffer size is the query's limit: a longer value does not fit and counts as absent.
  DWORD type = 0;
  DWORD got = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
  const LONG rc =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &got);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) {
    buffer[0] = '\0';
    return 0;
  }
  // A value stored without its terminator is terminated here when there is room for it.
  if (got == 0 || buffer[got - 1] != '\0') {
    if (got >= size) {
      buffer[0] = '\0';
      return 0;
    }
    buffer[got] = '\0';
  }
  return 1;
}

int GetNumberValue(int instance, const char* name, int32_t* out) {
  *out = -1;
  HKEY key = OpenInstanceKey(instance, false);
  if (key == nullptr) return 0;
  DWORD type = 0;
  DWORD bits = 0;
  DWORD got = sizeof bits;
  const LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&bits), &got);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || got != sizeof bits) return 0;
  *out = static_cast<int32_t>(bits);
  return 1;
}

}  // namespace corvane
