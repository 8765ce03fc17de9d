// Making and freeing a tokenizer: checks of the transducer and the tag dictionary, the
// scratch buffer that receives the transducer's output for a chunk, and the cache of
// chunk outputs. Tested in
// tests/lib/tokenizer_scan_test.cpp.
#include "token/tokenizer.h"

#include <cstdlib>
#include <new>

#include "frame/frame.h"

namespace {

// The capability bit of a transducer that serves function 28.
constexpr uint32_t kTokenizingCapability = 0x004;

}  // namespace

extern "C" VTMRT_API VtmTokenizer vtm_make_tokenizer(VtmFsm fsm, int lookup_option,
                                                     VtmClientDict tag_dict) {
  if (!vtm::IsRealObject(fsm))
    return static_cast<VtmTokenizer>(vtm::ErrorObject(VTM_ERR_INVALID_FSM));
  if (tag_dict != nullptr && vtm::IsErrorObject(tag_dict))
    return static_cast<VtmTokenizer>(vtm::ErrorObject(VTM_ERR_INVALID_CLIENT_DICT));
  if ((vtm_fsm_capabilities(fsm) & kTokenizingCapability) == 0)
    return static_cast<VtmTokenizer>(vtm::ErrorObject(VTM_ERR_INVALID_FUNCTION));
  auto* tk = static_cast<VtmTokenizerRec*>(std::malloc(sizeof(VtmTokenizerRec)));
  char* scratch = static_cast<char*>(std::malloc(vtm::kTokenizerScratchStart));
  if (tk == nullptr || scratch == nullptr) {
    std::free(tk);
    std::free(scratch);
    return static_cast<VtmTokenizer>(vtm::ErrorObject(VTM_ERR_NO_MEMORY));
  }
  tk->fsm = fsm;
  tk->lookup_option = lookup_option;
  tk->tag_dict = tag_dict;
  tk->scratch = scratch;
  tk->scratch_size = vtm::kTokenizerScratchStart;
  // The cache only saves work: without it every chunk runs through the transducer.
  tk->chunk_cache = new (std::nothrow) vtm::ChunkCache();
  return tk;
}

extern "C" VTMRT_API void vtm_free_tokenizer(VtmTokenizer tokenizer) {
  if (!vtm::IsRealObject(tokenizer)) return;
  std::free(tokenizer->scratch);
  delete tokenizer->chunk_cache;
  std::free(tokenizer);
}
