// The steps of srvlaunch after the service is started: waiting for instance 0's settings and
// writing the internet shortcut to its administration page.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

inline constexpr int kLaunchAttempts = 10;
inline constexpr unsigned kLaunchRetryPauseMs = 1000;

struct InstanceSettings {
  int32_t port = -1;
  std::string host_name;
  std::string data_dir;
};

// Reads instance 0's "port", "hostname" and "data_dir", all three in one attempt, up to
// kLaunchAttempts times one pause apart (none after the last). False when they never were all
// present.
bool WaitForInstanceSettings(InstanceSettings* settings);

// The administration page: "http://<host>:<port>/admin".
std::string AdminUrl(const InstanceSettings& settings);

// Writes the two-line shortcut to `url` at `path`, retrying its creation as the settings are
// retried. False when the file could not be created.
bool WriteShortcutFile(const std::string& path, const std::string& url);

}  // namespace corvane
