// Fuzz target of the inverse walk (generation) on a loaded transducer (input:
// fsm_input.h): each word is generated through vtm_lookup_with_transduction (generation
// and inverse stemming) and the inverse walk is run directly on the first subnets. Every
// call must end with a count or an error code within its bound of kWalkSteps.
#include <cstdint>

#include "fsm_input.h"
#include "vtmrt.h"

namespace {

using namespace vtm::fuzz;

void Generate(const std::string& word, VtmFsm fsm) {
  LookUpInModes(word, fsm, {VTM_MODE_GENERATE, VTM_MODE_STEM_INVERSE});
  char coded[64];
  if (vtmEncodeByteString(word.c_str(), coded, sizeof coded, 1, fsm) < 0) return;
  WalkBuffers buffers;
  vtm::WalkArgs args = buffers.Args(reinterpret_cast<const uint8_t*>(coded));
  args.output_mode = vtm::kOutAll;
  for (int subnet = 0; subnet < WalkedSubnets(fsm); ++subnet) {
    args.subnet = subnet;
    const int r = vtm::InverseWalk(fsm, args);
    RequireWalkResult(r, "walk result");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return ForEachWord(data, size, Generate);
}
