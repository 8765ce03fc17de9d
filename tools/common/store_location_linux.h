// Where the instance registry store lives on Linux.
#pragma once

#include <string>

namespace corvane {

inline constexpr const char* kDefaultStorePath = "/var/lib/corvane/registry.db";
inline constexpr const char* kStorePathVariable = "CORVANE_REGISTRY";

// The store file: $CORVANE_REGISTRY when set and not empty, else the default path.
std::string RegistryStorePath();

}  // namespace corvane
