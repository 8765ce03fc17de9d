// regtool: test helper that runs one instance registry store operation from the command line,
// so process tests can plant values no administration program writes (host name, version,
// values of the wrong type) and read values back.
//   regtool set-string <instance> <name> <text>
//   regtool set-number <instance> <name> <number>
//   regtool get-string <instance> <name> <buffer-size>   prints "<result> <text>"
//   regtool get-number <instance> <name>                 prints "<result> <number>"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "registry_store.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: regtool <operation> <instance> <name> [value]\n");
    return 2;
  }
  const char* op = argv[1];
  const int instance = std::atoi(argv[2]);
  const char* name = argv[3];
  if (std::strcmp(op, "set-string") == 0 && argc == 5) {
    corvane::SetStringValue(instance, name, argv[4]);
  } else if (std::strcmp(op, "set-number") == 0 && argc == 5) {
    corvane::SetNumberValue(instance, name, static_cast<int32_t>(std::atol(argv[4])));
  } else if (std::strcmp(op, "get-string") == 0 && argc == 5) {
    std::vector<char> buffer(std::strtoul(argv[4], nullptr, 10) + 1, 'x');
    const int found = corvane::GetStringValue(instance, name, buffer.data(), buffer.size() - 1);
    std::printf("%d %s\n", found, buffer.data());
  } else if (std::strcmp(op, "get-number") == 0 && argc == 4) {
    int32_t value = 0;
    const int found = corvane::GetNumberValue(instance, name, &value);
    std::printf("%d %d\n", found, static_cast<int>(value));
  } else {
    std::fprintf(stderr, "regtool: bad operation\n");
    return 2;
  }
  return 0;
}
