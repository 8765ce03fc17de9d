// libFuzzer target of vtm_group: random tag sequences over a grouping transducer's own
// tags (and blank, multi-word-continuation and bracket-label tags), with small record
// capacities and name areas, every flag combination. Checks the records' invariants.
// The transducer comes from $VTM_FUZZ_GROUPER (scripts/test.d/fuzz.sh).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fst/fsm.h"
#include "vtmrt.h"

namespace {

VtmFsm fsm = nullptr;
VtmGrouper grouper = nullptr;
std::vector<std::string> tags;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* path = std::getenv("VTM_FUZZ_GROUPER");
  if (path == nullptr) {
    std::fprintf(stderr, "VTM_FUZZ_GROUPER is not set\n");
    std::abort();
  }
  fsm = vtm_make_fsm(path);
  grouper = vtm_make_grouper(fsm);
  if (vtm_object_error_code(fsm) != 0 || vtm_object_error_code(grouper) != 0) std::abort();
  std::vector<uint16_t> codes(fsm->tag_count);
  std::vector<char> text(64 * fsm->tag_count + 1);
  const int k = vtm::FsmListTags(fsm, codes.data(), static_cast<int>(codes.size()), text.data(),
                                 static_cast<int>(text.size()));
  const char* name = text.data();
  for (int i = 0; i < k; ++i, name += std::strlen(name) + 1) tags.push_back(name);
  tags.push_back("");
  tags.push_back("__mwt");
  tags.push_back("unknown-tag");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int flags = data[0];
  const int capacity = data[1] % 40;
  const int names_size = data[2] % 120;
  std::string list;
  int count = 0;
  for (size_t i = 3; i < size; ++i, ++count) {
    list += tags[data[i] % tags.size()];
    list.push_back('\0');
  }
  list.push_back('\0');
  std::vector<VtmGroup> records(static_cast<size_t>(capacity) + 1);
  std::vector<char> names(static_cast<size_t>(names_size) + 1);
  // The arrays are exactly as large as announced (one guard element each, unused).
  const int n = vtm_group(list.data(), count, flags, records.data(), capacity, names.data(),
                          names_size, grouper);
  if (n < 0) {
    if (n != VTM_ERR_CHAR_NOT_IN_ALPHABET && n != VTM_ERR_INVALID_FSM) std::abort();
    return 0;
  }
  if (n > capacity) std::abort();
  for (int k = 0; k < n; ++k) {
    const VtmGroup& g = records[static_cast<size_t>(k)];
    if (g.first_token < 0 || g.first_token > count) std::abort();
    if (g.token_count < -1 || g.first_token + g.token_count > count) std::abort();
    if (g.name_offset < 0 || g.name_offset >= names_size) std::abort();
    if (std::memchr(names.data() + g.name_offset, 0,
                    static_cast<size_t>(names_size - g.name_offset)) == nullptr) {
      std::abort();
    }
  }
  return 0;
}
