// Search for the bundled English transducer relative to the running executable.
#include "default_transducer.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

// Set by the build: the data folder relative to the prefix and the configured prefix's
// absolute data folder.
#ifndef VTM_DATA_SUBDIR
#define VTM_DATA_SUBDIR "share/vtmrt"
#endif
#ifndef VTM_INSTALLED_DATA_DIR
#define VTM_INSTALLED_DATA_DIR "/usr/local/share/vtmrt"
#endif

namespace vtm::cli {

std::vector<std::string> DefaultTransducerCandidates() {
  namespace fs = std::filesystem;
  std::vector<std::string> places;
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    places.push_back(
        (exe.parent_path().parent_path() / VTM_DATA_SUBDIR / kDefaultTransducerName).string());
  }
  std::string installed = (fs::path(VTM_INSTALLED_DATA_DIR) / kDefaultTransducerName).string();
  if (places.empty() || places.front() != installed) places.push_back(installed);
  return places;
}

std::string FindDefaultTransducer() {
  return FindDefaultData(kDefaultTransducerName);
}

std::string FindDefaultData(const std::string& name) {
  std::error_code error;
  for (const std::string& candidate : DefaultTransducerCandidates()) {
    const std::string place = (std::filesystem::path(candidate).parent_path() / name).string();
    if (std::filesystem::is_regular_file(place, error)) return place;
  }
  return "";
}

std::string ResolveData(const char* command, const std::string& given, const char* bundled,
                        const char* what) {
  if (!given.empty()) return given;
  std::string path = FindDefaultData(bundled);
  if (path.empty()) {
    std::fprintf(stderr, "vtm %s: no %s given and no bundled %s in:\n", command, what, bundled);
    for (const std::string& place : DefaultTransducerCandidates())
      std::fprintf(stderr, "  %s\n", std::filesystem::path(place).parent_path().c_str());
  }
  return path;
}

}  // namespace vtm::cli
