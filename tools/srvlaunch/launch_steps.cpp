// Waiting for the instance's settings and writing the shortcut file, with bounded retries.
#include "launch_steps.h"

#include <cstdio>

#include "platform_misc.h"
#include "registry_store.h"

namespace corvane {
namespace {

constexpr int kServerInstance = 0;
constexpr size_t kHostNameSize = 256;
constexpr size_t kDataDirSize = 1024;

bool ReadSettingsOnce(InstanceSettings* settings) {
  char host_name[kHostNameSize];
  char data_dir[kDataDirSize];
  int32_t port = -1;
  const bool complete = GetNumberValue(kServerInstance, "port", &port) &&
                        GetStringValue(kServerInstance, "hostname", host_name, kHostNameSize) &&
                        GetStringValue(kServerInstance, "data_dir", data_dir, kDataDirSize);
  if (!complete) return false;
  settings->port = port;
  settings->host_name = host_name;
  settings->data_dir = data_dir;
  return true;
}

}  // namespace

bool WaitForInstanceSettings(InstanceSettings* settings) {
  for (int attempt = 1; attempt <= kLaunchAttempts; ++attempt) {
    if (ReadSettingsOnce(settings)) return true;
    if (attempt < kLaunchAttempts) SleepMilliseconds(kLaunchRetryPauseMs);
  }
  return false;
}

std::string AdminUrl(const InstanceSettings& settings) {
  return "http://" + settings.host_name + ":" + std::to_string(settings.port) + "/admin";
}

bool WriteShortcutFile(const std::string& path, const std::string& url) {
  std::FILE* file = nullptr;
  for (int attempt = 1; attempt <= kLaunchAttempts; ++attempt) {
    file = std::fopen(path.c_str(), "w");
    if (file != nullptr) break;
    if (attempt < kLaunchAttempts) SleepMilliseconds(kLaunchRetryPauseMs);
  }
  if (file == nullptr) return false;
  std::fprintf(file, "[InternetShortcut]\n");
  std::fprintf(file, "url=%s\n", url.c_str());
  std::fclose(file);
  return true;
}

}  // namespace corvane
