// Location of the instance registry store file on Linux.
#include "store_location_linux.h"

#include <cstdlib>

namespace corvane {

std::string RegistryStorePath() {
  const char* configured = std::getenv(kStorePathVariable);
  if (configured != nullptr && configured[0] != '\0') return configured;
  return kDefaultStorePath;
}

}  // namespace corvane
