// The expansion walk instantiated from the walk core, and its accept action.
#include "lookup/expand_walk.h"

#include "lookup/coding.h"
#include "lookup/walk_core.h"

namespace vtm {

int AcceptExpand(AcceptSink& sink, const uint8_t* work, uint32_t o) {
  const WalkArgs& a = *sink.args;
  // Room before the client buffer's last byte, which is never written.
  const int64_t room = static_cast<int64_t>(a.client_size) - sink.fill - 1;
  const int length = DecodeCodes(work, o, a.client + sink.fill,
                                 room > 0 ? static_cast<int>(room) : 0, 0, false, sink.fsm);
  if (length == VTM_ERR_OUTPUT_TOO_LONG) {
    return sink.count > 0 ? VTM_ERR_MORE_RESULTS : VTM_ERR_CLIENT_BUFFER_TOO_SMALL;
  }
  if (length < 0) return length;
  sink.fill += static_cast<uint32_t>(length) + 1;
  ++sink.count;  // no duplicate test: a word reached by two paths is listed twice
  return kContinueWalk;
}

int ExpandWalk(const VtmFsmRec* fsm, const WalkArgs& args) {
  if (args.expand == nullptr) return VTM_ERR_WALK_INTERNAL;
  return RunWalk<WalkKind::kExpand>(fsm, args);
}

}  // namespace vtm
