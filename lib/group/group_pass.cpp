// One grouping pass: the tag-sequence coder, the walk over function 62 (first accepted
// path) or 63 (every distinct path), the retries with grown work areas, and the parse
// that turns the brackets inserted into each result into group records. Tested in
// tests/lib/group_pass_test.cpp and tests/lib/group_subpass_test.cpp.
#include <cstring>

#include "group/grouper.h"
#include "group/pass_areas.h"
#include "lookup/coding.h"
#include "lookup/walk.h"

namespace vtm {
namespace {

// A symbol of a code string: its base code and the esc_label codes that go with it.
struct Symbol {
  uint32_t base = 0;  // 0: the string has ended
  uint32_t escapes = 0;
  uint32_t bytes = 0;
};

// Reads the symbol at p; escapes follow the base when `escapes_after` (code_flags bit
// 7), else they precede it, as the coder writes them.
Symbol ReadSymbol(const uint8_t* p, uint8_t esc, bool escapes_after) {
  Symbol s;
  uint32_t k = 0;
  if (escapes_after) {
    s.base = p[k++];
    if (s.base == 0) return Symbol{};
    while (esc != 0 && p[k] == esc) ++k;
    s.escapes = k - 1;
  } else {
    while (esc != 0 && p[k] == esc) ++k;
    s.escapes = k;
    s.base = p[k++];
    if (s.base == 0) return Symbol{};
  }
  s.bytes = k;
  return s;
}

// Codes the pass's tags: a tagsep_code before the first tag given to the transducer,
// each such tag's codes, eos_code (unless it is 1) and a NUL. Blank tags and those
// starting with "_" are not coded; they get the skip flag, and those starting with "_"
// (continuation words of a multi-word token) also the continuation flag.
int CodeTags(const VtmFsmRec* fsm, const GroupPass& pass, PassAreas& areas) {
  uint8_t* out = areas.coded();
  const int size = static_cast<int>(areas.coded_size());
  const uint8_t esc = fsm->header.esc_label;
  const bool escapes_after = fsm->header.code_flags & kCodeEscAfter;
  uint8_t* skip = areas.skip();
  uint8_t* continuation = areas.continuation();
  int used = 0;
  bool first = true;
  const char* tag = pass.tags;
  for (int i = 0; i < pass.count; ++i) {
    const std::size_t length = std::strlen(tag);
    if (length == 0 || tag[0] == '_') {
      skip[i] = 1;
      continuation[i] = tag[0] == '_';
    } else {
      skip[i] = continuation[i] = 0;
      if (first && fsm->tagsep_code != 0) {
        if (used + 2 > size) return VTM_ERR_OUTPUT_TOO_LONG;
        out[used++] = fsm->tagsep_code;
      }
      first = false;
      const uint16_t code = FsmTagCode(fsm, tag, length);
      if (code == 0) return VTM_ERR_CHAR_NOT_IN_ALPHABET;
      const uint32_t escapes = code & 0xFFu;
      if (int64_t{used} + escapes + 2 > size) return VTM_ERR_OUTPUT_TOO_LONG;
      PutSymbol(out, &used, code >> 8, escapes, esc, escapes_after);
    }
    tag += length + 1;
  }
  const bool eos = fsm->eos_code != 1;
  if (used + int{eos} + 1 > size) return VTM_ERR_OUTPUT_TOO_LONG;
  if (eos) out[used++] = fsm->eos_code;
  out[used] = 0;
  return used;
}

// Label of an inserted symbol, or nullptr.
const VtmGroupLabel* FindLabel(const VtmGrouperRec* grouper, uint32_t key) {
  for (uint32_t i = 0; i < grouper->label_count; ++i) {
    const VtmGroupLabel& label = grouper->labels[i];
    if (label.code == key) {
      return std::strlen(label.name) > kMaxLabelName ? nullptr : &label;
    }
  }
  return nullptr;
}

// State of the parse of one result.
struct Parse {
  const VtmGrouperRec* grouper;
  const GroupPass* pass;
  const uint8_t* skip;
  const uint8_t* continuation;
  int first_record;  // the result's first record
  int total;
  int name_offset;
};

// Skipped tokens from token t on (bounded by the pass's end).
int PastSkipped(const Parse& s, int t) {
  const int end = s.pass->t0 + s.pass->count;
  while (t < end && s.skip[t - s.pass->t0]) ++t;
  return t;
}

// Opens a group at token t: 0, or VTM_ERR_OUTPUT_TOO_LONG for a full record array or
// name area.
int Open(Parse& s, const VtmGroupLabel& label, int t, int* latest) {
  const GroupPass& pass = *s.pass;
  if (s.total >= pass.capacity) return VTM_ERR_OUTPUT_TOO_LONG;
  int start = t;
  while (start > pass.t0 && s.continuation[start - 1 - pass.t0]) --start;
  pass.records[s.total] = VtmGroup{start, -1, s.name_offset};
  *latest = s.total++;
  const std::size_t bytes = std::strlen(label.name) + 1;
  if (static_cast<int64_t>(s.name_offset) + static_cast<int64_t>(bytes) > pass.names_size) {
    return VTM_ERR_OUTPUT_TOO_LONG;
  }
  std::memcpy(pass.names + s.name_offset, label.name, bytes);
  s.name_offset += static_cast<int>(bytes);
  return s.name_offset >= pass.names_size ? VTM_ERR_OUTPUT_TOO_LONG : 0;
}

// Closes the most recent open group of this result at token t, if there is one. The
// search stays within the result: records before it belong to the sentence pass or to
// another path of the sub-pass, and a stray closing label here must not give one of
// them a length measured in this pass's range.
void Close(Parse& s, int t, int* latest) {
  for (int j = *latest; j >= s.first_record; --j) {
    VtmGroup& record = s.pass->records[j];
    if (record.token_count != -1) continue;
    record.token_count = t - record.first_token;
    *latest = j - 1;
    return;
  }
  *latest = s.first_record - 1;
}

// Parses one result against the coded input; 0, or a negative code when the result's
// records must be dropped.
int ParseResult(Parse& s, const uint8_t* input, const uint8_t* result) {
  const VtmFsmRec* fsm = s.grouper->fsm;
  const uint8_t esc = fsm->header.esc_label;
  const bool escapes_after = fsm->header.code_flags & kCodeEscAfter;
  const uint8_t tagsep = fsm->tagsep_code;
  if (tagsep != 0 && *input == tagsep) ++input;
  if (tagsep != 0 && *result == tagsep) ++result;
  const int end = s.pass->t0 + s.pass->count;
  int t = s.pass->t0;
  int latest = s.first_record - 1;  // none
  for (;;) {
    const Symbol out = ReadSymbol(result, esc, escapes_after);
    if (out.base == 0) return 0;
    result += out.bytes;
    const Symbol in = ReadSymbol(input, esc, escapes_after);
    if (in.base == out.base && in.escapes == out.escapes) {
      input += in.bytes;
      t = PastSkipped(s, t);
      if (t < end) ++t;
      continue;
    }
    const VtmGroupLabel* label = FindLabel(s.grouper, out.base << 8 | out.escapes);
    if (label == nullptr) return VTM_ERR_INVALID_FSM;
    if (label->opens) {
      t = PastSkipped(s, t);
      if (int r = Open(s, *label, t, &latest); r < 0) return r;
    } else {
      Close(s, t, &latest);
    }
  }
}

// Drops the records of [from, total) that span the whole pass (open ones stay).
int DropWholeRange(VtmGroup* records, int from, int total, int count) {
  int kept = from;
  for (int j = from; j < total; ++j) {
    if (records[j].token_count >= count) continue;
    records[kept++] = records[j];
  }
  return kept;
}

// Parses the walk's results; returns the new total.
int ParseResults(const VtmGrouperRec* grouper, const GroupPass& pass, PassAreas& areas,
                 const uint8_t* input, const uint8_t* results, int result_count) {
  Parse s{grouper,    &pass,      areas.skip(),    areas.continuation(),
          pass.total, pass.total, pass.name_offset};
  const bool subpass = pass.function == kFunctionGrouper2;
  for (int k = 0; k < result_count; ++k) {
    if (k > 0) {
      s.name_offset =
          NextNameOffset(pass.records, s.total, pass.names, pass.names_size, pass.name_offset);
    }
    s.first_record = s.total;
    if (ParseResult(s, input, results) < 0) return s.first_record;
    if (subpass) s.total = DropWholeRange(pass.records, s.first_record, s.total, pass.count);
    results += std::strlen(reinterpret_cast<const char*>(results)) + 1;
  }
  return s.total;
}

}  // namespace

int NextNameOffset(const VtmGroup* records, int total, const char* names, int names_size,
                   int fallback) {
  int largest = -1;
  for (int j = 0; j < total; ++j) {
    if (records[j].name_offset > largest) largest = records[j].name_offset;
  }
  if (largest < 0 || largest >= names_size) return fallback;
  const void* nul = std::memchr(names + largest, 0, static_cast<std::size_t>(names_size - largest));
  if (nul == nullptr) return names_size;
  return static_cast<int>(static_cast<const char*>(nul) - names) + 1;
}

int RunGroupPass(const VtmGrouperRec* grouper, const GroupPass& pass) {
  const VtmFsmRec* fsm = grouper->fsm;
  const int subnet = FsmFunctionSubnet(fsm, pass.function);
  if (subnet == kNoSubnet) return VTM_ERR_INVALID_FUNCTION;
  const bool subpass = pass.function == kFunctionGrouper2;
  PassAreas areas;
  if (!areas.Start(static_cast<uint32_t>(pass.count))) return VTM_ERR_NO_MEMORY;
  for (;;) {
    int r = CodeTags(fsm, pass, areas);
    const uint8_t* coded = areas.coded();
    WalkArgs args;
    if (r >= 0) {
      const uint32_t rest = areas.coded_size() - static_cast<uint32_t>(r + 1);
      args.input = coded;
      args.work = areas.coded() + r + 1;
      args.work_size = subpass ? rest / 4 : rest;
      args.subnet = subnet;
      args.stack = areas.stack();
      args.stack_entries = areas.entries();
      if (subpass) {
        args.client = reinterpret_cast<char*>(args.work + args.work_size);
        args.client_size = rest - args.work_size;
      }
      args.output_mode = subpass ? kOutRaw : kOutRecognize;
      r = LookupWalk(fsm, args);
      if (r > 0) {
        const uint8_t* results =
            subpass ? reinterpret_cast<const uint8_t*>(args.client) : args.work;
        return ParseResults(grouper, pass, areas, coded, results, r);
      }
      if (r == 0) return VTM_ERR_INVALID_FSM;
    }
    if (r != VTM_ERR_OUTPUT_TOO_LONG && r != VTM_ERR_INTERNAL_BUFFER_TOO_SMALL &&
        r != VTM_ERR_STACK_OVERFLOW) {
      return r;
    }
    if (!areas.Grow()) return VTM_ERR_NO_MEMORY;
  }
}

}  // namespace vtm
