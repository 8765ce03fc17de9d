// Command line of instconf:
//   instconf [-serverNum <num>] [-setdir <data-dir>] [-port <num>] [-gpf {on|off}]
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

struct InstconfOptions {
  int instance = 0;                    // -serverNum
  std::optional<std::string> new_dir;  // -setdir
  int32_t port = 0;                    // -port; 0 means not given
  std::optional<bool> gpf;             // -gpf: exactly "on" is true, any other text false
};

// Reads `text` as "%d" reads a number: leading blanks, an optional sign, digits, anything after
// them ignored. Text without digits, or a number outside 32 bits, reads as 0.
int32_t ReadDecimal(const char* text);

// Parses argv[1..argc-1]. Options match exactly, take the next argument as their value and may
// repeat (the last wins). Returns false for any other argument or an option without its value.
bool ParseInstconfOptions(int argc, char** argv, InstconfOptions* options);

}  // namespace corvane
