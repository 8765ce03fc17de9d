// Accept actions of the lookup and inverse walks: recognize, raw and decoded results with
// duplicate dropping, first result, shortest result, and the token cut.
#include "lookup/walk_accept.h"

#include <cstring>

#include "lookup/coding.h"

namespace vtm {
namespace {

// Keeps the result just written at client + fill unless a result before it is the same
// string (the buffer's earlier results are read from offset 0 over their NULs).
void KeepUnlessDuplicate(AcceptSink& sink, uint32_t length) {
  const char* client = sink.args->client;
  const char* fresh = client + sink.fill;
  for (uint32_t at = 0; at < sink.fill;) {
    const char* earlier = client + at;
    const std::size_t n = std::strlen(earlier);
    if (std::strcmp(earlier, fresh) == 0) return;
    at += static_cast<uint32_t>(n) + 1;
  }
  sink.fill += length + 1;
  ++sink.count;
}

int AcceptDecoded(AcceptSink& sink, const uint8_t* work, uint32_t o, bool stop_at_eos) {
  const WalkArgs& a = *sink.args;
  const int length =
      DecodeCodes(work, o, a.client + sink.fill, static_cast<int>(a.client_size - sink.fill),
                  a.decode_option, stop_at_eos, sink.fsm);
  if (length < 0) return length;
  KeepUnlessDuplicate(sink, static_cast<uint32_t>(length));
  return kContinueWalk;
}

int AcceptRaw(AcceptSink& sink, const uint8_t* work, uint32_t o) {
  const WalkArgs& a = *sink.args;
  if (static_cast<uint64_t>(o) + 1 > a.client_size - sink.fill) return VTM_ERR_OUTPUT_TOO_LONG;
  std::memcpy(a.client + sink.fill, work, o + 1);
  KeepUnlessDuplicate(sink, o);
  return kContinueWalk;
}

int AcceptShortest(AcceptSink& sink, const uint8_t* work, uint32_t o) {
  const WalkArgs& a = *sink.args;
  const int64_t best = sink.count == 0 ? 2147483647 : static_cast<int64_t>(std::strlen(a.client));
  if (ShortestScore(sink.fsm, work, o) >= best) return kContinueWalk;  // ties keep the earlier
  const int length = DecodeCodes(work, o, a.client, static_cast<int>(a.client_size),
                                 a.decode_option, false, sink.fsm);
  if (length < 0) return length;
  sink.fill = static_cast<uint32_t>(length) + 1;
  sink.count = 1;
  return kContinueWalk;
}

// The token cut: the path is cut after its last unescaped tb_code; the codes after the
// cut are given back to the input, whose index after the token is recorded.
//
// After a cut in kOutTokenAll the walk goes on exactly as after any other accept: from
// the accepting state, with the input index it had before the cut (the given-back codes
// are only reflected in the recorded offset). Deeper paths are thus matched against the
// input that really follows them, so every further token end that the walk reports is
// a possible end of the same token, found in walk order. (Lowering the index to the
// token end would match deeper arcs against input the path has already read.)
int AcceptTokenCut(AcceptSink& sink, const uint8_t* work, uint32_t o, uint32_t i) {
  const WalkArgs& a = *sink.args;
  const VtmFsmRec* fsm = sink.fsm;
  const uint8_t tb = fsm->tb_code;
  const uint8_t esc = fsm->header.esc_label;
  const bool escapes_after = fsm->header.code_flags & kCodeEscAfter;
  uint32_t k = o;
  for (; k > 0; --k) {
    if (work[k - 1] != tb) continue;
    const bool escaped = escapes_after ? work[k] == esc : (k >= 2 && work[k - 2] == esc);
    if (!escaped) break;
  }
  int length = 0;
  if (k == 0) {
    if (sink.fill >= a.client_size) return VTM_ERR_OUTPUT_TOO_LONG;
    a.client[sink.fill] = 0;
  } else {
    length = DecodeCodes(work, k, a.client + sink.fill, static_cast<int>(a.client_size - sink.fill),
                         a.decode_option, true, fsm);
    if (length < 0) return length;
  }
  if (sink.count >= a.offsets_capacity) return VTM_ERR_OUTPUT_TOO_LONG;
  a.offsets[sink.count] = static_cast<int>(i - (o - k));
  ++sink.count;
  sink.fill += static_cast<uint32_t>(length) + 1;
  return a.output_mode == kOutTokenFirst ? 1 : kContinueWalk;
}

}  // namespace

int64_t ShortestScore(const VtmFsmRec* fsm, const uint8_t* codes, uint32_t length) {
  const uint8_t esc = fsm->header.esc_label;
  const uint32_t radix = fsm->header.esc_radix;
  const uint8_t tagsep = fsm->tagsep_code;
  const bool escapes_after = fsm->header.code_flags & kCodeEscAfter;
  int64_t score = 0;
  bool in_run = false;
  // Scores one completed symbol: code y with e escapes.
  auto symbol = [&](uint8_t y, uint32_t e) {
    if (e == 0 && y == tagsep) {
      in_run = !in_run;
      return;
    }
    if (!in_run) {
      ++score;
      return;
    }
    // Inside a tag run: the brackets and the tag's name, whose length is the word that
    // opens the name's entry in the symbol name table.
    score += 2;
    const int64_t ordinal = (static_cast<int64_t>(y) - fsm->header.label_base) / kCodeStep +
                            static_cast<int64_t>(e) * radix;
    if (ordinal >= 0 && fsm->tagmode_members.has(static_cast<uint32_t>(ordinal))) {
      const uint32_t symbol_index = fsm->tagmode_members[static_cast<uint32_t>(ordinal)];
      if (fsm->symbol_names.has(symbol_index)) score += fsm->symbol_names[symbol_index];
    }
  };
  uint32_t escapes = 0;
  if (!escapes_after) {
    for (uint32_t k = 0; k < length; ++k) {
      if (codes[k] == esc) {
        ++escapes;
        continue;
      }
      symbol(codes[k], escapes);
      escapes = 0;
    }
  } else {
    bool held = false;
    uint8_t y = 0;
    for (uint32_t k = 0; k < length; ++k) {
      if (held && codes[k] == esc) {
        ++escapes;
        continue;
      }
      if (held) symbol(y, escapes);
      held = true;
      y = codes[k];
      escapes = 0;
    }
    if (held) symbol(y, escapes);
  }
  return score;
}

int AcceptLookup(AcceptSink& sink, const uint8_t* work, uint32_t o, uint32_t i) {
  switch (sink.args->output_mode) {
    case kOutRecognize:
      return 1;
    case kOutRaw:
      return AcceptRaw(sink, work, o);
    case kOutAll:
      return AcceptDecoded(sink, work, o, false);
    case kOutFirst: {
      const int r = AcceptDecoded(sink, work, o, false);
      return r == kContinueWalk ? 1 : r;
    }
    case kOutShortest:
      return AcceptShortest(sink, work, o);
    case kOutTokenFirst:
    case kOutTokenAll:
      return AcceptTokenCut(sink, work, o, i);
    default:
      return VTM_ERR_INVALID_FUNCTION;
  }
}

int AcceptInverse(AcceptSink& sink, const uint8_t* work, uint32_t o) {
  if (sink.args->output_mode != kOutAll) return VTM_ERR_INVALID_FUNCTION;
  return AcceptDecoded(sink, work, o, true);
}

}  // namespace vtm
