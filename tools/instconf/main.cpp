// instconf: lists the data directory and port of server instances 0 to 9, or changes one
// instance's data directory, port and gpf flag in the instance registry store. Always ends
// with exit status 1.
#include <cstdio>

#include "instconf_options.h"
#include "registry_store.h"

namespace {

constexpr int kExitStatus = 1;
constexpr size_t kDirBufferSize = 1024;
constexpr int kListedInstances = 10;

void ListInstances() {
  for (int instance = 0; instance < kListedInstances; ++instance) {
    char dir[kDirBufferSize];
    corvane::GetStringValue(instance, "data_dir", dir, sizeof dir);
    if (dir[0] != '\0') std::printf("data directory[%d] = %s\n", instance, dir);
    int32_t port = 0;
    if (corvane::GetNumberValue(instance, "port", &port)) {
      std::printf("port number[%d]    = %d\n", instance, static_cast<int>(port));
    }
  }
}

void ApplyChanges(const corvane::InstconfOptions& options) {
  const int instance = options.instance;
  if (options.new_dir) {
    char dir[kDirBufferSize];
    corvane::GetStringValue(instance, "data_dir", dir, sizeof dir);
    std::printf("Old data dir[%d] is: %s\n", instance, dir);
    corvane::SetStringValue(instance, "data_dir", options.new_dir->c_str());
    corvane::GetStringValue(instance, "data_dir", dir, sizeof dir);
    std::printf("New data dir[%d] is: %s\n", instance, dir);
  }
  if (options.port != 0) {
    corvane::SetNumberValue(instance, "port", options.port);
    std::printf("setting port[%d] to %d\n", instance, static_cast<int>(options.port));
  }
  if (options.gpf) {
    corvane::SetNumberValue(instance, "gpf", *options.gpf ? 1 : 0);
    std::printf("setting gpf flag to %s\n", *options.gpf ? "on" : "off");
  }
}

}  // namespace

int main(int argc, char** argv) {
  corvane::InstconfOptions options;
  if (!corvane::ParseInstconfOptions(argc, argv, &options)) {
    const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "instconf";
    std::fprintf(stderr,
                 "Usage: %s [-serverNum <num>] [-setdir <data-dir>] [-port <num>] "
                 "[-gpf {on|off}] [-delete]\n",
                 program);
    return kExitStatus;
  }
  if (argc <= 1) {
    ListInstances();
  } else {
    ApplyChanges(options);
  }
  return kExitStatus;
}
