// libFuzzer target for the client dictionary entry-file loader: the input is written to
// a file and loaded into a fresh dictionary, then the keys of its lines are looked up
// in every mode with a range of output sizes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dict/client_dict.h"
#include "scratch_dir.h"
#include "vtmrt.h"

namespace {

const std::string& ScratchPath() {
  static const std::string path = [] {
    return vtm::fuzz::ScratchDir() + "/fuzz_dict_entries." + std::to_string(getpid()) + ".txt";
  }();
  return path;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ScratchPath();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  VtmClientDict dict = vtm_make_client_dict(0, 0);
  Check(vtm_object_error_code(dict) == 0);
  int added = vtm_load_entries(path.c_str(), 0, dict);
  Check(added >= 0 || added == VTM_ERR_DICT_ENTRY_BEFORE_TAG);
  if (added >= 0) Check(dict->entry_count == static_cast<uint32_t>(added));

  // Look up the first field of each input line (up to a TAB or a line end).
  char out[64];
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t at = 0;
  for (int lines = 0; at < text.size() && lines < 64; ++lines) {
    size_t end = text.find_first_of("\t\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    const int total = vtm_client_dict_lookup(word.c_str(), nullptr, nullptr, 0, 0, 0, dict);
    Check(total >= 0);
    for (int mode = 0; mode < 8; ++mode) {
      const int out_size = static_cast<int>((word.size() * 7 + mode) % (sizeof out + 1));
      int n = vtm_client_dict_lookup(word.c_str(), "", out, out_size, mode, 0, dict);
      Check(n == VTM_ERR_OUTPUT_TOO_LONG || (n >= 0 && n <= total));
    }
    at = text.find('\n', end);
    if (at == std::string::npos) break;
    ++at;
  }
  vtm_free_client_dict(dict);
  return 0;
}
