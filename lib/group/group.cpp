// vtm_group: the sentence pass over function 62, then (flag 1) a sub-pass over function
// 63 inside every "np" group of more than one token, then (flags 1 and 2) the sort of all
// records. Tested in tests/lib/group_pass_test.cpp and tests/lib/group_subpass_test.cpp.
#include <algorithm>
#include <cstring>

#include "frame/frame.h"
#include "group/grouper.h"

namespace vtm {
namespace {

// The label on which sub-passes run.
constexpr char kSubgroupLabel[] = "np";

// Sub-passes inside the sentence pass's first `sentence_records` records; returns the
// new total or an error.
int SubPasses(const VtmGrouperRec* grouper, const char* tags, VtmGroup* records, int capacity,
              char* names, int names_size, int sentence_records) {
  int total = sentence_records;
  int name_offset = NextNameOffset(records, total, names, names_size, 0);
  int cursor = 0;          // token index, never moves back
  const char* tag = tags;  // tag of token `cursor`
  for (int r = 0; r < sentence_records; ++r) {
    const VtmGroup group = records[r];
    if (group.token_count <= 1 || std::strcmp(names + group.name_offset, kSubgroupLabel) != 0) {
      continue;
    }
    // Sentence-pass records are in the order their groups opened, ascending by first
    // token, so the cursor only moves forward.
    for (; cursor < group.first_token; ++cursor) tag += std::strlen(tag) + 1;
    const GroupPass pass{tag,        group.token_count, cursor, kFunctionGrouper2,
                         records,    capacity,          total,  names,
                         names_size, name_offset};
    total = RunGroupPass(grouper, pass);
    if (total < 0) return total;
    name_offset = NextNameOffset(records, total, names, names_size, name_offset);
  }
  return total;
}

int Group(const char* tags, int count, int flags, VtmGroup* records, int capacity, char* names,
          int names_size, VtmGrouper grouper) {
  if (tags == nullptr || records == nullptr || names == nullptr || grouper == nullptr) {
    return VTM_ERR_NULL_OBJECT;
  }
  if (int code = CheckObject(grouper); code != 0) return code;
  if (count < 0 || capacity < 0 || names_size < 0) return VTM_ERR_INVALID_NUMBER;
  flags &= 0xFF;
  const GroupPass sentence{tags,     count, 0,     kFunctionGrouper, records,
                           capacity, 0,     names, names_size,       0};
  int total = RunGroupPass(grouper, sentence);
  if (total < 0 || (flags & VTM_GROUP_SUBGROUPS) == 0) return total;
  total = SubPasses(grouper, tags, records, capacity, names, names_size, total);
  if (total < 0) return total;
  if (flags & VTM_GROUP_SORT) {
    std::sort(records, records + total, [](const VtmGroup& a, const VtmGroup& b) {
      if (a.first_token != b.first_token) return a.first_token < b.first_token;
      return a.token_count > b.token_count;
    });
  }
  return total;
}

}  // namespace
}  // namespace vtm

extern "C" VTMRT_API int vtm_group(const char* tags, int count, int flags, VtmGroup* records,
                                   int capacity, char* names, int names_size, VtmGrouper grouper) {
  return vtm::Group(tags, count, flags, records, capacity, names, names_size, grouper);
}
