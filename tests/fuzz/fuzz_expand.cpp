// Fuzz target of partial-word expansion (completion) on a loaded transducer (input:
// fsm_input.h): each word is completed as a prefix and after one symbol, with length
// limits, into a small and a larger output, continued page by page while results are
// waiting. Every call must end with a count or an error code within its bound of
// kWalkSteps between two results, never write the output's last byte, and describe
// what it delivered through the lookup buffer.
#include <cstdint>
#include <cstring>

#include "fsm_input.h"
#include "lookup/expand_walk.h"
#include "vtmrt.h"

namespace {

using namespace vtm::fuzz;

// Pages of one expansion at most: a damaged network can list results without end.
constexpr int kMaxPages = 8;

struct Limits {
  int skip, min_length, max_length;
};

void Expand(const std::string& word, VtmFsm fsm) {
  // One lookup buffer for the whole run, as a client keeps one.
  static const VtmLookupBuffer buffer = [] {
    VtmLookupBuffer made = vtmMakeLookupBuffer(64, 64, 32, 0, 0, 0);
    Require(vtm_object_error_code(made) == 0, "lookup buffer");
    return made;
  }();
  char output[200];
  for (const Limits& l : {Limits{0, 0, 8}, Limits{1, 0, 12}, Limits{0, 2, 40}}) {
    for (int size : {24, 200}) {
      bool continuing = false;
      for (int page = 0; page < kMaxPages; ++page) {
        std::memset(output, 0x5A, sizeof output);
        const int r =
            vtm::ExpandPartialWord(word.c_str(), output, size, buffer, l.skip, l.min_length,
                                   l.max_length, continuing, fsm, kWalkSteps);
        Require(output[size - 1] == 0x5A, "the output's last byte is never written");
        RequireWalkResult(r, "expansion result");
        if (r >= 0 || r == VTM_ERR_MORE_RESULTS) {
          const int cursor = vtmLookupBufferCursor(buffer);
          const int count = vtmLookupBufferResultCount(buffer);
          Require(cursor >= 0 && cursor < size, "cursor inside the output");
          Require(r < 0 || count == r, "result count");
          // The results are `count` NUL-terminated texts before the cursor (an end-of-word
          // code inside a result decodes as one more NUL).
          int terminators = 0;
          for (int k = 0; k < cursor; ++k) terminators += output[k] == 0;
          Require(terminators >= count, "every result terminated before the cursor");
          Require(cursor == 0 || output[cursor - 1] == 0, "the last result ends at the cursor");
        }
        if (r != VTM_ERR_MORE_RESULTS) break;
        continuing = true;
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return ForEachWord(data, size, Expand);
}
