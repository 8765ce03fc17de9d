// Fuzz target of the lookup walk on a loaded transducer (input: fsm_input.h): each word
// is looked up through vtm_lookup_with_transduction in every mode that walks forward
// (analysis, stemming, first, shortest, tokenizing), and the lookup walk is run directly
// on the first subnets in every output mode, partial (token-cut modes) or not. Every
// call must end with a count or an error code within its bound of kWalkSteps.
#include <cstdint>

#include "fsm_input.h"
#include "vtmrt.h"

namespace {

using namespace vtm::fuzz;

void LookUp(const std::string& word, VtmFsm fsm) {
  LookUpInModes(word, fsm,
                {VTM_MODE_ANALYZE, VTM_MODE_STEM, VTM_MODE_STEM_FIRST, VTM_MODE_STEM_SHORTEST,
                 VTM_MODE_TOKENIZE});
  char coded[64];
  if (vtmEncodeByteString(word.c_str(), coded, sizeof coded, 1, fsm) < 0) return;
  WalkBuffers buffers;
  vtm::WalkArgs args = buffers.Args(reinterpret_cast<const uint8_t*>(coded));
  for (int subnet = 0; subnet < WalkedSubnets(fsm); ++subnet) {
    args.subnet = subnet;
    for (int mode = 0; mode < 8; ++mode) {
      args.output_mode = mode;
      args.partial = mode >= 6;
      const int r = vtm::LookupWalk(fsm, args);
      RequireWalkResult(r, "walk result");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return ForEachWord(data, size, LookUp);
}
