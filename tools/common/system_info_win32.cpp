// System information on Windows: the version information of the running system, the
// product type of NT systems from the registry, the global memory status, and the host
// name line from the output of "ipconfig /all" read through a pipe.
#include <windows.h>

#include <cstdio>

#include "ipconfig_host_name.h"
#include "system_info.h"

namespace corvane {
namespace {

const char* PlatformName(DWORD platform_id) {
  switch (platform_id) {
    case VER_PLATFORM_WIN32s:
      return "Windows 3.1";
    case VER_PLATFORM_WIN32_WINDOWS:
      return "Windows 95";
    case VER_PLATFORM_WIN32_NT:
      return "Windows NT";
    default:
      return "Windows ??";
  }
}

bool IsNtPlatform() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

std::optional<OsVersionInfo> QueryOsVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return std::nullopt;
  OsVersionInfo version;
  version.platform_name = PlatformName(info.dwPlatformId);
  version.major = static_cast<int32_t>(info.dwMajorVersion);
  version.minor = static_cast<int32_t>(info.dwMinorVersion);
  version.build = static_cast<int32_t>(info.dwBuildNumber);  // unmasked
  info.szCSDVersion[sizeof info.szCSDVersion - 1] = '\0';
  version.service_pack = info.szCSDVersion;
  return version;
}

std::optional<std::string> QueryProductType() {
  if (!IsNtPlatform()) return std::nullopt;
  // One key level at a time, each opened read-only.
  constexpr const char* kPath[] = {"SYSTEM", "CurrentControlSet", "Control", "ProductOptions"};
  HKEY key = HKEY_LOCAL_MACHINE;
  for (const char* name : kPath) {
    HKEY next = nullptr;
    const LONG rc = RegOpenKeyExA(key, name, 0, KEY_READ, &next);
    if (key != HKEY_LOCAL_MACHINE) RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    key = next;
  }
  char text[256];
  DWORD size = sizeof text - 1;  // room kept for a terminator the value may lack
  DWORD type = 0;
  const LONG rc =
      RegQueryValueExA(key, "ProductType", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  text[size] = '\0';
  return std::string(text);
}

std::optional<MemoryStatus> QueryMemoryStatus() {
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  MemoryStatus memory;
  memory.total_physical = status.dwTotalPhys;
  memory.available_physical = status.dwAvailPhys;
  memory.total_page_file = status.dwTotalPageFile;
  memory.available_page_file = status.dwAvailPageFile;
  return memory;
}

std::optional<std::string> QueryHostNameLine() {
  std::FILE* output = _popen("ipconfig /all", "rt");
  if (output == nullptr) return std::nullopt;
  std::optional<std::string> line = HostNameFromIpconfig(output);
  _pclose(output);
  return line;
}

}  // namespace corvane
