// Fuzz target of the transducer loader: every input is written to a file and loaded;
// a transducer that loads is then put through every operation that reads it: the
// queries, coding, lookups in every mode and the walks directly.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fst/fsm.h"
#include "lookup/coding.h"
#include "lookup/lookup.h"
#include "lookup/walk.h"
#include "vtmrt.h"

namespace {

// Fails the run loudly when a loaded transducer breaks an invariant the loader promises.
void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

void CheckInvariants(const VtmFsmRec* fsm) {
  const VtmHeaderRec& h = fsm->header;
  for (int i = 0; i < h.subnet_count; ++i) {
    Require(fsm->subnets[i].start_state < h.network_size, "start state inside the network");
  }
  const uint32_t width = h.state_ref_width;
  for (uint32_t i = 0; i < fsm->near_count; ++i) {
    const uint8_t* e = fsm->near_states + i * width;
    Require((width == 2 ? vtm::Be16(e) : vtm::Be24(e)) < h.network_size, "near entry");
  }
  for (uint32_t i = 0; i < fsm->far_count; ++i) {
    const uint8_t* e = fsm->far_states + i * width;
    Require((width == 2 ? vtm::Be16(e) : vtm::Be24(e)) < h.network_size, "far entry");
  }
  Require(fsm->char_first <= fsm->char_last, "char map range");
  for (int f = 0; f < 260; ++f) {
    int s = vtm::FsmFunctionSubnet(fsm, f);
    Require(s == vtm::kNoSubnet || s < h.subnet_count, "function subnet index");
  }
}

// Runs the read-only operations on a loaded transducer. Sanitizers catch any read
// outside the loaded buffers.
void ExerciseTransducer(VtmFsm fsm) {
  CheckInvariants(fsm);
  char text[512];
  for (int size : {0, 1, 2, 4, 300}) {
    vtm_fsm_copyright(text, size, fsm);
    vtm_fsm_version(text, size, fsm);
  }
  vtm_fsm_capabilities(fsm);
  vtm_compare_header(fsm, fsm);

  uint16_t codes[64];
  vtm::FsmListTags(fsm, codes, 64, text, sizeof text);
  for (uint32_t i = 0; i < fsm->tag_count && i < 64; ++i) {
    const char* name = vtm::FsmTagName(fsm, codes[i]);
    if (name != nullptr) vtm::FsmTagCode(fsm, name, std::strlen(name));
  }
  vtm::FsmTagCode(fsm, "Noun", 4);
  for (uint32_t symbol = 0; symbol < fsm->symbol_names.count && symbol < 64; ++symbol) {
    vtm::FsmSymbolText(fsm, symbol, text, sizeof text);
    vtm::FsmSymbolMatches(fsm, symbol, "EOS", 3);
  }
  vtm::FsmSpecialCode(fsm, "TB");
}

// Bound on each walk's steps: a damaged network can make a finite walk take
// exponential time, which would only slow the fuzzer down.
constexpr uint64_t kWalkSteps = 20000;

// Lookups, coding and the walks on a loaded transducer, with words taken from the end of
// the fuzz input. Every call must end with a count or an error code.
void ExerciseLookups(VtmFsm fsm, const uint8_t* data, size_t size) {
  std::string tail(reinterpret_cast<const char*>(data) + (size > 12 ? size - 12 : 0),
                   size > 12 ? 12 : size);
  const std::string words[] = {"a", "ab", "ba", "", "a[Noun]b", "[Pl]", tail};
  char out[256];
  for (const std::string& word : words) {
    for (int mode : {2, 3, 5, 7, 8, 9, 11}) {
      int r = vtm::LookupWithTransduction(word.data(), static_cast<int>(word.size()), out,
                                          sizeof out, mode, fsm, nullptr, kWalkSteps);
      Require(r >= -50 || r == VTM_ERR_WALK_INTERNAL || r == VTM_ERR_WALK_LIMIT, "lookup result");
    }
    char coded[64];
    int m = vtmEncodeByteString(word.c_str(), coded, sizeof coded, 1, fsm);
    if (m < 0) continue;
    int offsets[4] = {0, 1, m, m + 3};
    int results[4];
    vtmDecodeOffsets(offsets, 4, results, coded, fsm);
    vtm::DecodeCodes(reinterpret_cast<const uint8_t*>(coded), out, sizeof out, 0, false, fsm);

    // The walks directly, every output mode, partial or not, and the class walk.
    uint8_t work[64];
    VtmBacktrackEntry stack[32];
    uint16_t classes[16];
    int token_ends[8];
    vtm::WalkArgs args;
    args.input = reinterpret_cast<const uint8_t*>(coded);
    args.work = work;
    args.work_size = sizeof work;
    args.stack = stack;
    args.stack_entries = 32;
    args.client = out;
    args.client_size = sizeof out;
    args.offsets = token_ends;
    args.offsets_capacity = 8;
    args.classes = classes;
    args.classes_capacity = 16;
    args.step_limit = kWalkSteps;
    for (int subnet = 0; subnet < fsm->header.subnet_count && subnet < 3; ++subnet) {
      args.subnet = subnet;
      for (int mode = 0; mode < 8; ++mode) {
        args.output_mode = mode;
        args.partial = mode >= 6;
        vtm::LookupWalk(fsm, args);
      }
      args.output_mode = vtm::kOutAll;
      vtm::InverseWalk(fsm, args);
      vtm::ClassWalk(fsm, args);
    }
  }
}

std::string InputPath() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/fuzz_load_" +
         std::to_string(static_cast<long>(getpid())) + ".fst";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = InputPath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  VtmFsm fsm = vtm_make_fsm(path.c_str());
  if (vtm_object_error_code(fsm) == 0) {
    ExerciseTransducer(fsm);
    ExerciseLookups(fsm, data, size);
  } else {
    int code = vtm_object_error_code(fsm);
    Require(code == VTM_ERR_BAD_FILE || code == VTM_ERR_NO_MEMORY, "load failure code");
  }
  vtm_free_fsm(fsm);

  VtmHeader header = vtm_make_header(path.c_str());
  vtm_compare_header(header, header);
  vtm_free_header(header);
  return 0;
}
