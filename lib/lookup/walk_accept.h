// What the lookup and inverse walks do at an accepting point, by output mode. Accepts are
// rare next to arc steps, so this lives out of line, away from the walk loop.
#pragma once

#include <climits>
#include <cstdint>

#include "lookup/walk.h"

namespace vtm {

// Returned by an accept that lets the walk go on.
inline constexpr int kContinueWalk = INT_MIN;

struct AcceptSink {
  const VtmFsmRec* fsm;
  const WalkArgs* args;
  uint32_t fill = 0;  // bytes of the client buffer in use
  int count = 0;      // results (token ends in the token-cut modes)
};

// The path's codes are work[0..o), with work[o] = 0; i is the input index at the accept.
// Returns kContinueWalk or the value that the walk returns at once.
int AcceptLookup(AcceptSink& sink, const uint8_t* work, uint32_t o, uint32_t i);
int AcceptInverse(AcceptSink& sink, const uint8_t* work, uint32_t o);

// Score of a candidate in the shortest mode: the length its decoded text will have.
int64_t ShortestScore(const VtmFsmRec* fsm, const uint8_t* codes, uint32_t length);

}  // namespace vtm
