// The one walk core. Every walk is a depth-first search over one subnet with an explicit
// backtracking stack in the caller's array (growing down from its end; a push that would
// take entry 0 overflows, so N - 1 entries are usable). The walk is a loop over steps
// (enum Step); each step works on the current label (`loc`, `label`) and names the step
// that follows. The walks differ in a few steps, chosen at compile time by WalkKind, so
// each instance is one flat loop with no virtual call, no allocation and no call per
// byte that the compiler cannot inline. Tested by tests/lib/walk_*_test.cpp and the
// differential tests.
//
//   kArrive        the walk entered a state through the label at `loc`: accept test,
//                  then the next label after it is taken by the walk's arc step
//   kDispatch      lookup and class walks: a first-side arc; specials consume no input
//                  (instr_label leads to flag-diacritic operands), symbols are sought
//   kSeek          the input code at in_pos is sought in the arc list (scan and
//                  direct-index tables)
//   kWriteSide     the written side of a pair (lookup: the second, inverse: the first):
//                  epsilon, a generic table, or kWriteCode
//   kWriteCode     the label's code is written (inverse walk: then kCompareFirstSide)
//   kCompareFirstSide  inverse walk: the written first side is compared with the input
//   kTakeInput     inverse walk: a second side matched against the input
//   kGentable      generic table entries (kGentableEntry), with their exception chain
//   kOperand       flag-diacritic operand test
//   kBacktrack     pop an entry and resume by its kind
//
//   kExpand        expansion walk: one-sided; specials write nothing, symbols are sought
//                  in the fragment once the length has reached the skip count and
//                  enumerated otherwise (through kWriteCode and kGentable)
//
// The expansion walk also keeps a length counter (written codes other than esc_label,
// saved in each entry's `length`), bounds it by the maximum length in kArrive, reports a
// full work buffer as -23 instead of -26, and, when a result does not fit the client
// buffer, saves its step so that a later call resumes at kAfterAccept.
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

enum class Step : uint8_t {
  kArrive,
  kAfterAccept,
  kDispatch,
  kSeek,
  kWriteSide,
  kWriteCode,
  kCompareFirstSide,
  kExpand,
  kTakeInput,
  kGentable,
  kGentableEntry,
  kOperand,
  kBacktrack,
  kFinish,
};

#if defined(__GNUC__)
#define VTM_INLINE_LAMBDA __attribute__((always_inline))
#else
#define VTM_INLINE_LAMBDA
#endif

// Codes before the NUL of a code string (the input of a walk).
inline uint32_t CodeLength(const uint8_t* codes) {
  uint32_t n = 0;
  while (codes[n] != 0) ++n;
  return n;
}

// Returns `code` after recording the steps spent, so that a retry with more room goes
// on counting from there.
inline int SpentSteps(const WalkArgs& a, uint64_t steps, int code) {
  if (a.steps_spent != nullptr) *a.steps_spent = steps;
  return code;
}

template <WalkKind K>
int RunWalk(const VtmFsmRec* fsm, const WalkArgs& a) {
  if (fsm->subnets == nullptr || a.subnet < 0 || a.subnet >= fsm->header.subnet_count) {
    return VTM_ERR_INVALID_FUNCTION;
  }
  const Network net(fsm);
  if (a.steps_spent != nullptr) net.SetWork(*a.steps_spent);
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
  uint64_t step_limit = a.step_limit;
  if (step_limit == 0) {
    const uint32_t codes = a.input_codes != WalkArgs::kCountInput ? a.input_codes : CodeLength(in);
    step_limit = DefaultStepLimit(fsm->header.network_size, codes);
  }
  constexpr bool kLookup = K == WalkKind::kLookup;
  constexpr bool kInverse = K == WalkKind::kInverse;
  constexpr bool kClass = K == WalkKind::kClass;
  constexpr bool kExpand = K == WalkKind::kExpand;
  constexpr int kWorkFull =
      kExpand ? VTM_ERR_CODED_OUTPUT_TOO_SMALL : VTM_ERR_INTERNAL_BUFFER_TOO_SMALL;
  // Where a state's arc list leads after its label: the first-side step of the walk.
  constexpr Step kArcStep = kInverse ? Step::kWriteSide : kExpand ? Step::kExpand : Step::kDispatch;

  AcceptSink sink{fsm, &a};
  // Expansion walk: symbols written so far (codes other than esc_label) and its limits.
  uint32_t length = 0;
  uint32_t skip = 0;
  uint32_t min_length = 0;
  uint32_t max_length = 0;
  const uint8_t esc = fsm->header.esc_label;
  if constexpr (kExpand) {
    skip = a.expand->skip;
    min_length = a.expand->min_length;
    max_length = a.expand->max_length;
    sink.fill = a.expand->fill;
    sink.count = a.expand->count;
  }
  int class_count = 0;

  // The current step: the label byte `label` at network location `loc`.
  uint32_t top = stack_entries;  // stack[top..stack_entries) is in use
  uint32_t loc = 0;
  uint8_t label = 0;
  uint32_t in_pos = 0;   // index of the next input code
  uint32_t out_pos = 0;  // work index: length of the path's codes
  uint32_t flag_state = subnet.initial_flag_state;
  uint32_t exception_loc = 0;          // current exception of a generic table
  uint8_t exception_label = kNoLabel;  // its label; kNoLabel: none
  SilentGuard guard;
  TableMemo table_memo;
  // The label after the current one (a target, an entry or an alternative).
  uint32_t next_loc = 0;
  uint8_t next_label = 0;
  uint8_t code = 0;  // the current label's code
  bool matched = false;

  // Saves an alternative; 0 or VTM_ERR_STACK_OVERFLOW.
  auto push = [&](uint32_t kind, uint32_t at, uint8_t at_label, uint32_t at_in, uint32_t at_out)
                  VTM_INLINE_LAMBDA -> int {
    if (VTM_UNLIKELY(top <= 1)) return SpentSteps(a, net.work(), VTM_ERR_STACK_OVERFLOW);
    --top;
    stack[top] = VtmBacktrackEntry{
        at_label, exception_label, static_cast<uint16_t>(flag_state), kind, at_in, length, at_out,
        at,       exception_loc};
    guard.Reset();
    return 0;
  };
  // Appends a code to the path; 0 or kWorkFull.
  auto write = [&](uint8_t c) VTM_INLINE_LAMBDA -> int {
    if (VTM_UNLIKELY(out_pos + 1 >= work_size)) return SpentSteps(a, net.work(), kWorkFull);
    work[out_pos++] = c;
    if constexpr (kExpand) length += c != esc;
    return 0;
  };
  // The path is accepted: its result is handed on by output mode. Returns 0 to go on,
  // else the value that the walk returns.
  auto accept = [&]() VTM_INLINE_LAMBDA -> int {
    if (VTM_UNLIKELY(out_pos >= work_size)) return SpentSteps(a, net.work(), kWorkFull);
    work[out_pos] = 0;
    int r;
    // Decoding the path reads all of it: its length counts toward the bound (else a path
    // that grows by a code per step and is accepted at every step costs its length
    // squared). The expansion walk's paths are bounded by its maximum length instead.
    if constexpr (!kExpand) net.AddWork(out_pos);
    if constexpr (kInverse) {
      r = AcceptInverse(sink, work, out_pos);
    } else if constexpr (kExpand) {
      r = AcceptExpand(sink, work, out_pos);
      net.SetWork(0);            // the bound counts the steps since the last result
      if (r != kContinueWalk) {  // saved for the call that continues the walk
        a.expand->step = VtmBacktrackEntry{
            label, exception_label, static_cast<uint16_t>(flag_state), 0, in_pos, length, out_pos,
            loc,   exception_loc};
        a.expand->top = top;
        a.expand->fill = sink.fill;
        a.expand->count = sink.count;
      }
    } else {
      r = AcceptLookup(sink, work, out_pos, in_pos);
    }
    return r == kContinueWalk ? 0 : r;
  };
  // Follows a reference to the label after (at); false at a dead end.
  auto next = [&](uint32_t at, uint32_t* to, uint8_t* to_label)
                  VTM_INLINE_LAMBDA { return net.NextLabel(at, to, to_label); };

  Step step = Step::kArrive;
  if (!net.usable()) {
    step = Step::kFinish;
  } else if (kExpand && a.expand->resume) {
    // Expansion walk: carry on after the accept whose result did not fit.
    const VtmBacktrackEntry& e = a.expand->step;
    loc = e.location;
    label = e.label;
    in_pos = e.input_pos;
    out_pos = e.output_pos;
    length = e.length;
    flag_state = e.flag_state;
    exception_loc = e.aux_location;
    exception_label = e.aux_label;
    top = a.expand->top;
    step = Step::kAfterAccept;
    // A step and a stack saved on another transducer may lie outside this network (the
    // bytes after a label are read untested): the walk then stops as one that left it.
    bool inside = loc < net.size() && exception_loc < net.size();
    for (uint32_t k = top; inside && k < stack_entries; ++k) {
      inside = stack[k].location < net.size() && stack[k].aux_location < net.size();
    }
    if (VTM_UNLIKELY(!inside)) {
      net.MarkLeft();
      step = Step::kFinish;
    }
  } else if (!net.LabelAt(subnet.start_state, &loc, &label)) {
    step = Step::kFinish;
  }

  // Steps that a walk kind never reaches cost nothing: their conditions are compile-time
  // constants, and every transition names its next step as a constant.
  for (;;) {
    switch (step) {
      case Step::kArrive:
        if (VTM_UNLIKELY(net.Spend(step_limit))) return VTM_ERR_WALK_LIMIT;
        if (VTM_UNLIKELY(guard.Cycle(loc, flag_state, in_pos, out_pos))) {
          step = Step::kBacktrack;
          continue;
        }
        if constexpr (kExpand) {
          if (length >= max_length) {  // nothing longer is explored
            step = Step::kBacktrack;
            continue;
          }
          if ((label & kFinalBit) && length >= min_length && in[in_pos] == 0) {
            if (int r = accept()) return r;
          }
        } else if constexpr (!kClass) {
          if ((label & kFinalBit) && ((partial && kLookup) || in[in_pos] == 0)) {
            if (int r = accept()) return r;
          }
        }
        [[fallthrough]];

      case Step::kAfterAccept:
        if (!next(loc, &loc, &label)) {
          step = Step::kBacktrack;
          continue;
        }
        if constexpr (kArcStep != Step::kDispatch) {
          step = kArcStep;
          continue;
        }
        [[fallthrough]];

      case Step::kDispatch:  // lookup and class walks: a first-side arc
      dispatch:
        code = label & kCodeMask;
        if (VTM_LIKELY(code >= first_char)) goto seek;
        // A special: it consumes no input.
        if (label & kMoreBit) {
          if (int r = push(kInputEpsilon, loc, label, in_pos, out_pos)) return r;
        }
        if (!next(loc, &next_loc, &next_label)) {
          step = Step::kBacktrack;
          continue;
        }
        if (code == instr_code) {
          loc = next_loc;
          label = next_label;
          step = Step::kOperand;
          continue;
        }
        if constexpr (kClass) {  // other specials are passed without writing
          step = Step::kArrive;
          continue;
        }
        loc = next_loc;
        label = next_label;
        step = Step::kWriteSide;
        continue;

      case Step::kSeek: {  // the input code at in_pos is sought in the arc list
      seek:
        const uint8_t sought = in[in_pos];
        if (sought == 0) {
          if (kClass || (kLookup && partial)) return VTM_ERR_INCOMPLETE_INPUT;
          step = Step::kBacktrack;
          continue;
        }
        if (!SeekSymbol(net, sought, table_code, code_flags, &table_memo, &loc, &label)) {
          step = Step::kBacktrack;
          continue;
        }
        ++in_pos;
        if constexpr (kClass) {
          if (sought == tagsep) {
            if (int r = EnumerateClasses(net, table_code, loc, a.classes, a.classes_capacity,
                                         &class_count);
                r < 0) {
              return r;
            }
            step = Step::kBacktrack;
          } else {
            step = Step::kArrive;
          }
          continue;
        }
        if constexpr (kInverse) {
          step = Step::kArrive;
          continue;
        }
        if (int r = write(sought)) return r;
        if ((label & kFinalBit) && (partial || in[in_pos] == 0)) {
          if (int r = accept()) return r;
        }
        if (!next(loc, &next_loc, &next_label)) {
          step = Step::kBacktrack;
          continue;
        }
        if ((next_label & kCodeMask) != nid_code) {  // an identity pair
          loc = next_loc;
          label = next_label;
          goto dispatch;
        }
        if (!(next_label & kMoreBit)) {
          --out_pos;  // the pair is A:B: the symbol just written gives way to B
          step = next(next_loc, &loc, &label) ? Step::kWriteSide : Step::kBacktrack;
          continue;
        }
        // Both A:B (waiting on the stack) and A:A (the arcs after the nid_label's subtree).
        if (int r = push(kOutputNonid, next_loc, next_label, in_pos, out_pos - 1)) return r;
        step = net.NextAlternative(next_loc, &loc, &label) ? Step::kDispatch : Step::kBacktrack;
        continue;
      }

      case Step::kWriteSide:  // the side that is written: the second (lookup), the first (inverse)
        code = label & kCodeMask;
        if (code < first_char) {  // epsilon (inverse walk: or operands)
          if (label & kMoreBit) {
            if (int r = push(kOutputEpsilon, loc, label, in_pos, out_pos)) return r;
          }
          if constexpr (kInverse) {  // the second side is matched with the input instead
            if (!next(loc, &loc, &label)) {
              step = Step::kBacktrack;
              continue;
            }
            step = code == instr_code ? Step::kOperand : Step::kTakeInput;
          } else {
            step = Step::kArrive;
          }
          continue;
        }
        if (code == table_code) {
          step = Step::kGentable;
          continue;
        }
        [[fallthrough]];

      case Step::kWriteCode:  // the label's code is written
        code = label & kCodeMask;
        if (label & kMoreBit) {
          if (int r = push(kOutputMatch, loc, label, in_pos, out_pos)) return r;
        }
        if (int r = write(code)) return r;
        if constexpr (!kInverse) {
          step = Step::kArrive;
          continue;
        }
        [[fallthrough]];

      case Step::kCompareFirstSide:
        // The first side at loc has been written; compare it with the input.
        matched = (label & kCodeMask) == in[in_pos];
        if (matched && (label & kFinalBit) && in[in_pos + 1] == 0) {
          if (int r = accept()) return r;
        }
        if (!next(loc, &next_loc, &next_label)) {
          step = Step::kBacktrack;
          continue;
        }
        if ((next_label & kCodeMask) != nid_code) {  // an identity pair
          if (!matched) {
            step = Step::kBacktrack;
            continue;
          }
          ++in_pos;
          loc = next_loc;
          label = next_label;
          step = Step::kWriteSide;
          continue;
        }
        if (!matched) {  // a non-identity pair: its second side is matched instead
          step = next(next_loc, &loc, &label) ? Step::kTakeInput : Step::kBacktrack;
          continue;
        }
        // Matched, and the pair is non-identity: A:A waits on the stack (input one further
        // on), and here A pairs with an epsilon second side.
        if (next_label & kMoreBit) {
          if (int r = push(kOutputNonidInv, next_loc, next_label, in_pos + 1, out_pos)) return r;
        }
        if (!next(next_loc, &loc, &label) || (label & kCodeMask) >= first_char) {
          step = Step::kBacktrack;
          continue;
        }
        if (label & kMoreBit) {
          if (int r = push(kNonidEpsilon, loc, label, in_pos, out_pos)) return r;
        }
        step = Step::kArrive;
        continue;

      case Step::kExpand: {  // expansion walk: the arc is both matched and written
        code = label & kCodeMask;
        if (code < first_char) {
          if (label & kMoreBit) {
            if (int r = push(kOutputEpsilon, loc, label, in_pos, out_pos)) return r;
          }
          if (code != instr_code) {
            step = Step::kArrive;
          } else {
            step = next(loc, &loc, &label) ? Step::kOperand : Step::kBacktrack;
          }
          continue;
        }
        const uint8_t sought = in[in_pos];
        if (length >= skip && sought != 0) {  // the fragment's next code is sought
          if (!SeekSymbol(net, sought, table_code, code_flags, &table_memo, &loc, &label)) {
            step = Step::kBacktrack;
            continue;
          }
          ++in_pos;
          if (int r = write(sought)) return r;
          step = Step::kArrive;
          continue;
        }
        // Enumerated.
        step = code == table_code ? Step::kGentable : Step::kWriteCode;
        continue;
      }

      case Step::kTakeInput:  // inverse walk: a second side taken as input
        code = label & kCodeMask;
        if (code >= first_char) {
          step = Step::kSeek;
          continue;
        }
        if (label & kMoreBit) {
          if (int r = push(kInputEpsilon, loc, label, in_pos, out_pos)) return r;
        }
        step = Step::kArrive;
        continue;

      case Step::kGentable:  // lookup and inverse walks; the table label is at loc
        // The exception chain starts at the alternative after the table label's subtree.
        if (!(label & kMoreBit) || !net.NextAlternative(loc, &exception_loc, &exception_label)) {
          exception_label = kNoLabel;
        }
        if (!next(loc, &next_loc, &next_label)) {
          step = Step::kBacktrack;
          continue;
        }
        [[fallthrough]];

      case Step::kGentableEntry:  // the table entry at next_loc
        // Fillers are passed when they have more_bit; without it the table ends here.
        code = next_label & kCodeMask;
        while (code == table_code && (next_label & kMoreBit)) {
          next_loc += kCodeStep;
          next_label = net.At(next_loc);
          code = next_label & kCodeMask;
        }
        if (code == table_code) {
          step = Step::kBacktrack;
          continue;
        }
        if (code == (exception_label & kCodeMask)) {  // the exception replaces the entry
          if (next_label & kMoreBit) {
            if (int r = push(kGentableExcepted, next_loc, next_label, in_pos, out_pos)) return r;
          }
          loc = exception_loc;
          label = exception_label;
        } else {
          if (next_label & kMoreBit) {
            if (int r = push(kGentableUnexcepted, next_loc, next_label, in_pos, out_pos)) return r;
          }
          loc = next_loc;
          label = next_label;
        }
        if (int r = write(code)) return r;
        step = kInverse ? Step::kCompareFirstSide : Step::kArrive;
        continue;

      case Step::kOperand:  // flag-diacritic operands from the one at loc on
        step = Step::kBacktrack;
        for (uint32_t tried = 0;; ++tried) {
          const auto operand = static_cast<uint8_t>(label - label_base);
          const uint32_t shift = OperandFeature(operand) * 2;
          const uint32_t value = OperandValue(operand);
          const uint32_t current = (flag_state >> shift) & 3;
          if (value == 0 || current == value || current == 0) {
            if (label & kMoreBit) {
              if (int r = push(kOperand, loc, label, in_pos, out_pos)) return r;
            }
            flag_state =
                (value == 0 ? flag_state & ~(3u << shift) : flag_state | (value << shift)) & 0xFFFF;
            step = Step::kArrive;
            break;
          }
          // Another value is set: the operand fails; try the next alternative.
          if (!(label & kMoreBit) || tried >= kMaxAlternatives) break;
          if (!net.NextAlternative(loc, &loc, &label)) break;
        }
        continue;

      case Step::kBacktrack: {
        if (VTM_UNLIKELY(net.Spend(step_limit))) return VTM_ERR_WALK_LIMIT;
        if (top >= stack_entries) {
          step = Step::kFinish;
          continue;
        }
        const VtmBacktrackEntry& e = stack[top++];
        loc = e.location;
        label = e.label;
        in_pos = e.input_pos;
        out_pos = e.output_pos;
        flag_state = e.flag_state;
        exception_loc = e.aux_location;
        exception_label = e.aux_label;
        length = e.length;
        guard.Reset();
        // Every kind but the generic-table ones resumes at an alternative or a target. A
        // kind that this walk never pushes (KindAllowed) is refused in its own case.
#define VTM_KIND(kind) \
  case kind:           \
    if constexpr (!KindAllowed<K>(kind)) return VTM_ERR_WALK_INTERNAL;
        switch (e.kind) {
          VTM_KIND(kInputEpsilon)
          step = kInverse ? Step::kTakeInput : Step::kDispatch;
          break;
          VTM_KIND(kOutputEpsilon)
          step = kExpand ? Step::kExpand : Step::kWriteSide;
          break;
          VTM_KIND(kOutputMatch)
          step = Step::kWriteCode;
          break;
          VTM_KIND(kGentableExcepted)
          // The exception just used gives way to the next one in the chain.
          if (!(exception_label & kMoreBit) ||
              !net.NextAlternative(exception_loc, &exception_loc, &exception_label)) {
            exception_label = kNoLabel;
          }
          [[fallthrough]];
          VTM_KIND(kGentableUnexcepted)
          next_loc = loc + kCodeStep;
          next_label = net.At(next_loc);
          step = Step::kGentableEntry;
          continue;
          VTM_KIND(kOutputNonid)  // lookup: the A:B reading, work index already one back
          step = next(loc, &loc, &label) ? Step::kWriteSide : Step::kBacktrack;
          continue;
          VTM_KIND(kOutputNonidInv)  // inverse: the A:A reading after the nid_label's subtree
          step = Step::kWriteSide;
          break;
          VTM_KIND(kOperand)
          step = Step::kOperand;
          break;
          VTM_KIND(kNonidEpsilon)
          step = Step::kTakeInput;
          break;
          default:
            return VTM_ERR_WALK_INTERNAL;
        }
#undef VTM_KIND
        if (!net.NextAlternative(loc, &loc, &label)) {
          step = Step::kBacktrack;
        } else if (e.kind == kOutputMatch && (label & kCodeMask) == table_code) {
          step = Step::kGentable;
        }
        continue;
      }

      case Step::kFinish:
        SpentSteps(a, net.work(), 0);
        // A walk that left the network may have missed results: never passed off as
        // complete.
        if (VTM_UNLIKELY(net.left())) return VTM_ERR_BAD_FILE;
        if constexpr (kExpand) {
          a.expand->fill = sink.fill;
          a.expand->count = sink.count;
        }
        return kClass ? class_count : sink.count;
    }
  }
}

#undef VTM_INLINE_LAMBDA

}  // namespace vtm
