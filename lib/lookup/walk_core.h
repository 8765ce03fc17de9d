// The one walk core. Every walk is a depth-first search over one subnet with an explicit
// backtracking stack in the caller's array (growing down from its end; a push that would
// take entry 0 overflows, so N - 1 entries are usable). The walks differ in a few steps,
// chosen at compile time by WalkKind, so each instance is one flat loop with no virtual
// call, no allocation and no call per byte that the compiler cannot inline:
//
//   arrive      the walk entered a state through label (p, L): accept test, then the
//               next label after p is dispatched
//   dispatch    lookup and class walks: a first-side arc; specials consume no input
//               (instr_label leads to flag-diacritic operands), symbols are sought
//   first_side  inverse walk: first sides are written and compared with the input
//   seek        input code i is sought in the arc list (scan and direct-index tables)
//   second_side lookup walk: epsilon, a written code, or a generic table
//   take_input  inverse walk: a second side matched against the input
//   gentable    generic table entries, with their chain of exceptions
//   operand     flag-diacritic operand test
//   backtrack   pop an entry and resume by its kind
//
//   expand      expansion walk: one-sided; specials write nothing, symbols are sought
//               in the fragment once the length has reached the skip count and
//               enumerated otherwise (through `written_second_side` and `gentable`)
//
// The expansion walk also keeps a length counter (written codes other than esc_label,
// saved in each entry's `length`), bounds it by the maximum length in `arrive`, reports a
// full work buffer as -23 instead of -26, and, when a result does not fit the client
// buffer, saves its step so that a later call resumes at `after_accept`.
#pragma once

#include <cstdint>

#include "lookup/expand_walk.h"
#include "lookup/network.h"
#include "lookup/walk.h"
#include "lookup/walk_accept.h"
#include "lookup/walk_steps.h"

namespace vtm {

enum class WalkKind { kLookup, kInverse, kClass, kExpand };

template <WalkKind K>
constexpr bool KindAllowed(uint32_t kind) {
  switch (K) {
    case WalkKind::kLookup:
      return kind <= kOutputNonid || kind == kOperand;
    case WalkKind::kInverse:
      return kind <= kOperand + 1 && kind != kOutputNonid;
    case WalkKind::kClass:
      return kind == kInputEpsilon || kind == kOperand;
    case WalkKind::kExpand:
      return (kind >= kGentableExcepted && kind <= kOutputMatch) || kind == kOperand;
  }
  return false;
}

// Class walk, after a matched tagsep_code: writes v + 64 * j for every final j-th label
// of every chain that starts at an alternative of the list after (p), where v is the
// chain's first code / 4. Returns 0 or -12 when the output array is full.
int EnumerateClasses(const Network& net, uint8_t table_code, uint32_t p, uint16_t* out,
                     int capacity, int* count);

template <WalkKind K>
int RunWalk(const VtmFsmRec* fsm, const WalkArgs& a) {
  if (fsm->subnets == nullptr || a.subnet < 0 || a.subnet >= fsm->header.subnet_count) {
    return VTM_ERR_INVALID_FUNCTION;
  }
  const Network net(fsm);
  const Subnet& subnet = fsm->subnets[a.subnet];
  const uint8_t first_char = subnet.first_char_label;
  const uint8_t instr_code = subnet.instr_label & kCodeMask;
  const uint8_t table_code = fsm->header.table_label & kCodeMask;
  const uint8_t nid_code = fsm->header.nid_label & kCodeMask;
  const uint8_t code_flags = fsm->header.code_flags;
  const uint8_t label_base = fsm->header.label_base;
  const uint8_t tagsep = fsm->tagsep_code;
  const bool partial = a.partial;
  const uint8_t* const in = a.input;
  uint8_t* const work = a.work;
  const uint32_t work_size = a.work_size;
  VtmBacktrackEntry* const stack = a.stack;
  const uint32_t stack_entries = a.stack_entries;
  const uint64_t step_limit = a.step_limit;
  constexpr bool kLookup = K == WalkKind::kLookup;
  constexpr bool kInverse = K == WalkKind::kInverse;
  constexpr bool kClass = K == WalkKind::kClass;
  constexpr bool kExpand = K == WalkKind::kExpand;
  constexpr int kWorkFull =
      kExpand ? VTM_ERR_CODED_OUTPUT_TOO_SMALL : VTM_ERR_INTERNAL_BUFFER_TOO_SMALL;

  AcceptSink sink{fsm, &a};
  // Expansion walk: symbols written so far (codes other than esc_label) and its limits.
  uint32_t len = 0;
  uint32_t skip = 0;
  uint32_t min_len = 0;
  uint32_t max_len = 0;
  const uint8_t esc = fsm->header.esc_label;
  if constexpr (kExpand) {
    skip = a.expand->skip;
    min_len = a.expand->min_length;
    max_len = a.expand->max_length;
    sink.fill = a.expand->fill;
    sink.count = a.expand->count;
  }
  int class_count = 0;
  uint32_t top = stack_entries;  // stack[top..N) is in use
  uint32_t p = 0;                // location of the current label
  uint8_t L = 0;                 // the label byte at p
  uint32_t i = 0;                // input index
  uint32_t o = 0;                // work index (path length)
  uint32_t flags = subnet.initial_flag_state;
  uint32_t aux_loc = 0;          // current exception of a generic table
  uint8_t aux_label = kNoLabel;  // no exception
  uint64_t steps = 0;
  SilentGuard guard;
  // Scratch of the steps below (declared here so that the steps can be jump targets).
  uint32_t q = 0;
  uint8_t g = 0;
  uint8_t code = 0;
  uint8_t s = 0;
  bool matched = false;
  int r = 0;

#define VTM_PUSH(kind_, loc_, label_, in_pos_, out_pos_)                                \
  do {                                                                                  \
    if (VTM_UNLIKELY(top <= 1)) return VTM_ERR_STACK_OVERFLOW;                          \
    --top;                                                                              \
    stack[top] = VtmBacktrackEntry{(label_),   aux_label, static_cast<uint16_t>(flags), \
                                   (kind_),    (in_pos_), len,                          \
                                   (out_pos_), (loc_),    aux_loc};                     \
    guard.Reset();                                                                      \
  } while (0)
#define VTM_WRITE(code_)                                    \
  do {                                                      \
    if (VTM_UNLIKELY(o + 1 >= work_size)) return kWorkFull; \
    work[o++] = (code_);                                    \
    if constexpr (kExpand) len += (code_) != esc;           \
    guard.Reset();                                          \
  } while (0)
#define VTM_ACCEPT()                                                               \
  do {                                                                             \
    if (VTM_UNLIKELY(o >= work_size)) return kWorkFull;                            \
    work[o] = 0;                                                                   \
    if constexpr (K == WalkKind::kInverse) {                                       \
      r = AcceptInverse(sink, work, o);                                            \
    } else if constexpr (K == WalkKind::kExpand) {                                 \
      r = AcceptExpand(sink, work, o);                                             \
      if (r != kContinueWalk) {                                                    \
        a.expand->step = VtmBacktrackEntry{                                        \
            L, aux_label, static_cast<uint16_t>(flags), 0, i, len, o, p, aux_loc}; \
        a.expand->top = top;                                                       \
        a.expand->fill = sink.fill;                                                \
        a.expand->count = sink.count;                                              \
      }                                                                            \
    } else {                                                                       \
      r = AcceptLookup(sink, work, o, i);                                          \
    }                                                                              \
    if (r != kContinueWalk) return r;                                              \
  } while (0)

  if (!net.usable()) goto finish;
  // Expansion walk: carry on after the accept whose result did not fit.
  if (kExpand && a.expand->resume) {
    const VtmBacktrackEntry& e = a.expand->step;
    p = e.location;
    L = e.label;
    i = e.input_pos;
    o = e.output_pos;
    len = e.length;
    flags = e.flag_state;
    aux_loc = e.aux_location;
    aux_label = e.aux_label;
    top = a.expand->top;
    goto after_accept;
  }
  if (!net.LabelAt(subnet.start_state, &p, &L)) goto finish;

  // Every step label below is at the function's top level; the steps that a kind never
  // reaches are dropped by the optimizer (their conditions are compile-time constants).
arrive:
  if (step_limit != 0 && ++steps > step_limit) return VTM_ERR_WALK_INTERNAL;
  if (VTM_UNLIKELY(guard.Cycle(p, flags))) goto backtrack;
  if constexpr (kExpand) {
    if (len >= max_len) goto backtrack;  // nothing longer is explored
    if ((L & kFinalBit) && len >= min_len && in[i] == 0) VTM_ACCEPT();
  } else if (K != WalkKind::kClass && (L & kFinalBit) && ((partial && kLookup) || in[i] == 0)) {
    VTM_ACCEPT();
  }
after_accept:
  if (!net.NextLabel(p, &p, &L)) goto backtrack;
  if (kInverse) goto first_side;
  if (kExpand) goto expand;

dispatch:  // lookup and class walks
  code = L & kCodeMask;
  if (VTM_LIKELY(code >= first_char)) goto seek;
  if (L & kMoreBit) VTM_PUSH(kInputEpsilon, p, L, i, o);
  if (!net.NextLabel(p, &q, &g)) goto backtrack;
  if (code == instr_code) {
    p = q;
    L = g;
    goto operand;
  }
  if (kClass) goto arrive;  // other specials are passed without consuming or writing
  p = q;
  L = g;
  goto second_side;

seek:
  s = in[i];
  if (s == 0) {
    if (kClass || (kLookup && partial)) return VTM_ERR_INCOMPLETE_INPUT;
    goto backtrack;
  }
  if (!SeekSymbol(net, s, table_code, code_flags, &p, &L)) goto backtrack;
  ++i;
  guard.Reset();
  if (kClass) {
    if (s != tagsep) goto arrive;
    r = EnumerateClasses(net, table_code, p, a.classes, a.classes_capacity, &class_count);
    if (r < 0) return r;
    goto backtrack;
  }
  if (kInverse) goto arrive;
  VTM_WRITE(s);
  if ((L & kFinalBit) && (partial || in[i] == 0)) VTM_ACCEPT();
  if (!net.NextLabel(p, &q, &g)) goto backtrack;
  if ((g & kCodeMask) != nid_code) {
    p = q;
    L = g;
    goto dispatch;
  }
  if (!(g & kMoreBit)) {
    --o;  // the pair is A:B: the symbol just written gives way to B
    if (!net.NextLabel(q, &p, &L)) goto backtrack;
    goto second_side;
  }
  // Both A:B (waiting on the stack) and A:A (the arcs after the nid_label's subtree).
  VTM_PUSH(kOutputNonid, q, g, i, o - 1);
  if (!net.NextAlternative(q, &p, &L)) goto backtrack;
  goto dispatch;

second_side:  // lookup walk
  code = L & kCodeMask;
  if (code < first_char) {
    if (L & kMoreBit) VTM_PUSH(kOutputEpsilon, p, L, i, o);
    goto arrive;
  }
  if (code == table_code) goto gentable;
written_second_side:
  code = L & kCodeMask;
  if (L & kMoreBit) VTM_PUSH(kOutputMatch, p, L, i, o);
  VTM_WRITE(code);
  goto arrive;

first_side:  // inverse walk
  code = L & kCodeMask;
  if (code < first_char) {
    if (L & kMoreBit) VTM_PUSH(kOutputEpsilon, p, L, i, o);
    if (!net.NextLabel(p, &p, &L)) goto backtrack;
    if (code == instr_code) goto operand;
    goto take_input;
  }
  if (code == table_code) goto gentable;
written_first_side:
  code = L & kCodeMask;
  if (L & kMoreBit) VTM_PUSH(kOutputMatch, p, L, i, o);
  VTM_WRITE(code);
compare_first_side:
  // The first side (p, L) has been written; compare it with the input.
  matched = (L & kCodeMask) == in[i];
  if (matched && (L & kFinalBit) && in[i + 1] == 0) VTM_ACCEPT();
  if (!net.NextLabel(p, &q, &g)) goto backtrack;
  if ((g & kCodeMask) != nid_code) {
    if (!matched) goto backtrack;
    ++i;  // identity pair
    p = q;
    L = g;
    goto first_side;
  }
  if (!matched) {
    if (!net.NextLabel(q, &p, &L)) goto backtrack;
    goto take_input;
  }
  // Matched, and the pair is non-identity: A:A waits on the stack (input one further on),
  // and here A pairs with an epsilon second side.
  if (g & kMoreBit) VTM_PUSH(kOutputNonidInv, q, g, i + 1, o);
  if (!net.NextLabel(q, &p, &L)) goto backtrack;
  if ((L & kCodeMask) >= first_char) goto backtrack;
  if (L & kMoreBit) VTM_PUSH(kNonidEpsilon, p, L, i, o);
  goto arrive;

expand:  // expansion walk: the arc (p, L) is both what is matched and what is written
  code = L & kCodeMask;
  if (code < first_char) {
    if (L & kMoreBit) VTM_PUSH(kOutputEpsilon, p, L, i, o);
    if (code != instr_code) goto arrive;
    if (!net.NextLabel(p, &p, &L)) goto backtrack;
    goto operand;
  }
  s = in[i];
  if (len >= skip && s != 0) {  // the fragment's next code is sought
    if (!SeekSymbol(net, s, table_code, code_flags, &p, &L)) goto backtrack;
    ++i;
    VTM_WRITE(s);
    goto arrive;
  }
  if (code == table_code) goto gentable;  // enumerated
  goto written_second_side;

take_input:  // inverse walk: a second side taken as input
  code = L & kCodeMask;
  if (code >= first_char) goto seek;
  if (L & kMoreBit) VTM_PUSH(kInputEpsilon, p, L, i, o);
  goto arrive;

gentable:  // lookup and inverse walks; (p, L) is the table label
  // The exception chain starts at the alternative after the table label's subtree.
  if (!(L & kMoreBit) || !net.NextAlternative(p, &aux_loc, &aux_label)) aux_label = kNoLabel;
  if (!net.NextLabel(p, &q, &g)) goto backtrack;
gentable_entry:
  for (;;) {  // fillers: passed when they have more_bit, else the table ends here
    code = g & kCodeMask;
    if (code != table_code) break;
    if (!(g & kMoreBit)) goto backtrack;
    q += 4;
    g = net.At(q);
  }
  if (code == (aux_label & kCodeMask)) {
    if (g & kMoreBit) VTM_PUSH(kGentableExcepted, q, g, i, o);
    p = aux_loc;
    L = aux_label;
  } else {
    if (g & kMoreBit) VTM_PUSH(kGentableUnexcepted, q, g, i, o);
    p = q;
    L = g;
  }
  VTM_WRITE(code);
  if (kInverse) goto compare_first_side;
  goto arrive;

operand:
  for (uint32_t k = 0;; ++k) {
    const uint32_t x = static_cast<uint8_t>(L - label_base);
    const uint32_t shift = OperandFeature(static_cast<uint8_t>(x)) * 2;
    const uint32_t value = OperandValue(static_cast<uint8_t>(x));
    const uint32_t current = (flags >> shift) & 3;
    if (value == 0 || current == value || current == 0) {
      if (L & kMoreBit) VTM_PUSH(kOperand, p, L, i, o);
      flags = (value == 0 ? flags & ~(3u << shift) : flags | (value << shift)) & 0xFFFF;
      goto arrive;
    }
    // Another value is set: the operand fails; try the next alternative.
    if (!(L & kMoreBit) || k >= kMaxAlternatives) goto backtrack;
    if (!net.NextAlternative(p, &p, &L)) goto backtrack;
  }

backtrack:
  if (step_limit != 0 && ++steps > step_limit) return VTM_ERR_WALK_INTERNAL;
  if (top >= stack_entries) goto finish;
  {
    const VtmBacktrackEntry& e = stack[top++];
    p = e.location;
    L = e.label;
    i = e.input_pos;
    o = e.output_pos;
    flags = e.flag_state;
    aux_loc = e.aux_location;
    aux_label = e.aux_label;
    len = e.length;
    guard.Reset();
    if (VTM_UNLIKELY(!KindAllowed<K>(e.kind))) return VTM_ERR_WALK_INTERNAL;
    switch (e.kind) {
      case kInputEpsilon:
        if (!net.NextAlternative(p, &p, &L)) goto backtrack;
        if (kInverse) goto take_input;
        goto dispatch;
      case kOutputEpsilon:
        if (!net.NextAlternative(p, &p, &L)) goto backtrack;
        if (kInverse) goto first_side;
        if (kExpand) goto expand;
        goto second_side;
      case kOutputMatch:
        if (!net.NextAlternative(p, &p, &L)) goto backtrack;
        if ((L & kCodeMask) == table_code) goto gentable;
        if (kInverse) goto written_first_side;
        goto written_second_side;
      case kGentableExcepted:
        // The exception just used gives way to the next one in the chain.
        if (!(aux_label & kMoreBit) || !net.NextAlternative(aux_loc, &aux_loc, &aux_label)) {
          aux_label = kNoLabel;
        }
        [[fallthrough]];
      case kGentableUnexcepted:
        q = p + 4;
        g = net.At(q);
        goto gentable_entry;
      case kOutputNonid:  // lookup: the A:B reading, work index already one back
        if (!net.NextLabel(p, &p, &L)) goto backtrack;
        goto second_side;
      case kOutputNonidInv:  // inverse: the A:A reading after the nid_label's subtree
        if (!net.NextAlternative(p, &p, &L)) goto backtrack;
        goto first_side;
      case kOperand:
        if (!net.NextAlternative(p, &p, &L)) goto backtrack;
        goto operand;
      case kNonidEpsilon:
        if (!net.NextAlternative(p, &p, &L)) goto backtrack;
        goto take_input;
      default:
        return VTM_ERR_WALK_INTERNAL;
    }
  }

finish:
  if constexpr (kExpand) {
    a.expand->fill = sink.fill;
    a.expand->count = sink.count;
  }
  return kClass ? class_count : sink.count;
#undef VTM_PUSH
#undef VTM_WRITE
#undef VTM_ACCEPT
}

}  // namespace vtm
