// vtm_make_grouper and vtm_free_grouper: the label table of a grouping transducer, read
// from its tag table (every tag whose name begins with a bracket). Tested in
// tests/lib/group_make_test.cpp.
#include "group/grouper.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "frame/frame.h"

namespace vtm {
namespace {

// Scratch bytes allowed per tag name when listing the tag table.
constexpr std::size_t kNameBytesPerTag = 20;

void FreeGrouper(VtmGrouperRec* grouper) {
  for (uint32_t i = 0; i < grouper->label_count; ++i) std::free(grouper->labels[i].name);
  std::free(grouper);
}

struct ScratchFree {
  void operator()(void* p) const { std::free(p); }
};

// Stores the bracket tags of the tag list as labels; 0 or VTM_ERR_NO_MEMORY.
int StoreLabels(VtmGrouperRec* grouper, const uint16_t* codes, const char* names, int k) {
  const char* name = names;
  for (int i = 0; i < k; ++i, name += std::strlen(name) + 1) {
    if (name[0] != '(' && name[0] != ')') continue;
    if (grouper->label_count == kMaxGroupLabels) return VTM_ERR_NO_MEMORY;
    VtmGroupLabel& label = grouper->labels[grouper->label_count];
    const std::size_t length = std::strlen(name + 1);
    label.name = static_cast<char*>(std::malloc(length + 1));
    if (label.name == nullptr) return VTM_ERR_NO_MEMORY;
    std::memcpy(label.name, name + 1, length + 1);
    label.code = codes[i];
    label.opens = name[0] == '(' ? 1 : 0;
    ++grouper->label_count;
  }
  return 0;
}

VtmGrouper MakeGrouper(VtmFsm fsm) {
  if (fsm == nullptr) return static_cast<VtmGrouper>(ErrorObject(VTM_ERR_NULL_OBJECT));
  if (IsErrorObject(fsm)) return reinterpret_cast<VtmGrouper>(fsm);
  if ((FsmCapabilities(fsm) & kGroupingCapability) == 0) {
    return static_cast<VtmGrouper>(ErrorObject(VTM_ERR_INVALID_FUNCTION));
  }
  auto* grouper = static_cast<VtmGrouperRec*>(std::malloc(sizeof(VtmGrouperRec)));
  if (grouper == nullptr) return static_cast<VtmGrouper>(ErrorObject(VTM_ERR_NO_MEMORY));
  grouper->label_count = 0;
  grouper->fsm = fsm;

  const int k = static_cast<int>(fsm->tag_count);
  const std::size_t text_size = kNameBytesPerTag * static_cast<std::size_t>(k);
  std::unique_ptr<uint16_t, ScratchFree> codes(
      static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * (k > 0 ? k : 1))));
  std::unique_ptr<char, ScratchFree> text(static_cast<char*>(std::malloc(text_size + 1)));
  int listed = codes && text
                   ? FsmListTags(fsm, codes.get(), k, text.get(), static_cast<int>(text_size))
                   : VTM_ERR_NO_MEMORY;
  if (listed >= 0) listed = StoreLabels(grouper, codes.get(), text.get(), listed);
  if (listed < 0) {
    FreeGrouper(grouper);
    return static_cast<VtmGrouper>(ErrorObject(VTM_ERR_NO_MEMORY));
  }
  return grouper;
}

}  // namespace
}  // namespace vtm

extern "C" VTMRT_API VtmGrouper vtm_make_grouper(VtmFsm fsm) {
  return vtm::MakeGrouper(fsm);
}

extern "C" VTMRT_API void vtm_free_grouper(VtmGrouper grouper) {
  if (!vtm::IsRealObject(grouper)) return;
  vtm::FreeGrouper(grouper);
}
