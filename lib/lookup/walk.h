// The network walks: lookup, inverse (generation), class walk; all run on one core
// (walk_core.h). A walk reads the transducer only and writes only into the buffers of
// its arguments, so any number of walks may run on one VtmFsm at once.
#pragma once

#include <cstdint>

#include "fst/fsm.h"
#include "vtmrt.h"

namespace vtm {

// Output modes of the lookup walk: what happens at an accepting point.
enum OutputMode : int {
  kOutRecognize = 0,   // return 1 at once
  kOutRaw = 1,         // undecoded code strings, duplicates dropped
  kOutAll = 2,         // decoded texts, duplicates dropped
  kOutFirst = 4,       // as kOutAll, then return 1
  kOutShortest = 5,    // only the result with the smallest score
  kOutTokenFirst = 6,  // token cut, then return 1
  kOutTokenAll = 7,    // token cut at every accept
};

// Backtracking entry kinds (what to do when the entry is popped).
enum EntryKind : uint32_t {
  kInputEpsilon = 0,
  kGentableExcepted = 1,
  kGentableUnexcepted = 2,
  kOutputEpsilon = 3,
  kOutputMatch = 4,
  kOutputNonid = 5,     // lookup: the A:B reading waiting behind an nid_label with more_bit
  kOutputNonidInv = 6,  // inverse: the A:A reading waiting behind an nid_label
  kOperand = 7,
  kNonidEpsilon = 8,
};

struct ExpandState;  // expansion walk only: limits and the suspended step (expand_walk.h)

struct WalkArgs {
  const uint8_t* input = nullptr;  // NUL-terminated codes
  // Codes before the input's NUL when the caller knows them (the coder's count), which
  // spares the walk counting them for its step bound; kCountInput: the walk counts.
  static constexpr uint32_t kCountInput = 0xFFFFFFFFu;
  uint32_t input_codes = kCountInput;
  uint8_t* work = nullptr;  // codes of the path being built
  uint32_t work_size = 0;
  int subnet = 0;        // index into fsm->subnets
  bool partial = false;  // accept at any final state; input end while seeking: -16
  VtmBacktrackEntry* stack = nullptr;
  uint32_t stack_entries = 0;  // N; N - 1 are usable
  char* client = nullptr;      // results, NUL-terminated one after another
  uint32_t client_size = 0;
  int* offsets = nullptr;  // token-cut modes: input index after each token
  int offsets_capacity = 0;
  int output_mode = kOutAll;
  int decode_option = 0;  // handed to the decoder, which ignores it
  // Class walk: the 16-bit output array.
  uint16_t* classes = nullptr;
  int classes_capacity = 0;
  // Bound on the walk's work: its steps (arrivals at a label and backtracks), plus one
  // per network byte read by the skips over subtrees to reach an alternative and one per
  // code of each accepted path; past it the walk returns VTM_ERR_WALK_LIMIT. 0 means
  // DefaultStepLimit() for the network and the input. `steps_spent`, when given, carries
  // the count across the attempts of one lookup: the walk starts counting from it and
  // writes its count back when it stops for lack of room (-13, -26), so the retries with
  // more room share one bound, and when it has walked the whole subnet. The expansion
  // walk counts the steps since its last result: a listing progresses by results, and
  // its length is bounded by the maximum length instead.
  uint64_t step_limit = 0;
  uint64_t* steps_spent = nullptr;
  // Expansion walk: skip count, length limits, the result fill and count to start from,
  // and where the walk saves its step when a result does not fit.
  ExpandState* expand = nullptr;
};

// The default step bound: kStepsPerByte steps per network byte, plus a floor that
// leaves small networks room for ambiguity (the number of paths of an ambiguous network
// grows with the input faster than its size), for each input code and once more. Sound
// networks stay far below it: the test suite's random cyclic, ambiguous networks with
// flag diacritics need at most 0.3 steps per unit. A damaged one that makes the walk go
// round in circles reaches it in about a second on a 1 MB network.
inline constexpr uint64_t kStepsPerByte = 16;
inline constexpr uint64_t kStepFloorBytes = 65536;
inline uint64_t DefaultStepLimit(uint32_t network_size, uint32_t input_codes) {
  return kStepsPerByte * (uint64_t{network_size} + kStepFloorBytes) * (uint64_t{input_codes} + 1);
}

// Lookup walk: input matched against first sides, second sides written. Returns the
// number of results, 1 for the modes that stop at the first accept, or an error.
int LookupWalk(const VtmFsmRec* fsm, const WalkArgs& args);

// Inverse walk (apply_fst_inverse): input matched against second sides, first sides
// written; output mode kOutAll only; no partial acceptance.
int InverseWalk(const VtmFsmRec* fsm, const WalkArgs& args);

// Class walk: the input (ending with tagsep_code) is matched; after the matched tagsep
// every chain of labels writes v + 64 * j for its j-th final label (v = first code / 4).
// Returns the number of values written into args.classes.
int ClassWalk(const VtmFsmRec* fsm, const WalkArgs& args);

}  // namespace vtm
