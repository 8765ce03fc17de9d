// Parsing of instconf's command line.
#include "instconf_options.h"

#include <cctype>
#include <cstring>

namespace corvane {

int32_t ReadDecimal(const char* text) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
  int64_t value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
    value = value * 10 + (*p - '0');
    if (value > int64_t{INT32_MAX} + 1) return 0;
  }
  if (negative) value = -value;
  return value > INT32_MAX ? 0 : static_cast<int32_t>(value);
}

bool ParseInstconfOptions(int argc, char** argv, InstconfOptions* options) {
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    if (i + 1 >= argc) return false;  // every option needs a value after it
    const char* value = argv[++i];
    if (std::strcmp(option, "-serverNum") == 0) {
      options->instance = ReadDecimal(value);
    } else if (std::strcmp(option, "-setdir") == 0) {
      options->new_dir = value;
    } else if (std::strcmp(option, "-port") == 0) {
      options->port = ReadDecimal(value);
    } else if (std::strcmp(option, "-gpf") == 0) {
      options->gpf = std::strcmp(value, "on") == 0;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace corvane
