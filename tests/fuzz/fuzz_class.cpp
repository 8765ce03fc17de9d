// Fuzz target of the class walk (the tagger's lexicon lookup) on a loaded transducer
// (input: fsm_input.h): each word, coded as the tagger codes it (closing tag separator)
// and plainly, is walked on the first subnets into class arrays of two capacities. Every
// call must end with a count within the array or an error code, within its bound of
// kWalkSteps.
#include <cstdint>

#include "fsm_input.h"
#include "lookup/coding.h"
#include "vtmrt.h"

namespace {

using namespace vtm::fuzz;

void Classify(const std::string& word, VtmFsm fsm) {
  for (bool closing_sep : {true, false}) {
    uint8_t coded[64];
    vtm::CoderOptions options;
    options.closing_sep = closing_sep;
    if (vtm::EncodeText(word.data(), static_cast<int>(word.size()), coded, sizeof coded, options,
                        fsm) < 0) {
      continue;
    }
    WalkBuffers buffers;
    vtm::WalkArgs args = buffers.Args(coded);
    for (int subnet = 0; subnet < WalkedSubnets(fsm); ++subnet) {
      args.subnet = subnet;
      for (int capacity : {2, 16}) {
        args.classes_capacity = capacity;
        const int r = vtm::ClassWalk(fsm, args);
        Require(r <= capacity, "class count within the array");
        RequireWalkResult(r, "walk result");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return ForEachWord(data, size, Classify);
}
