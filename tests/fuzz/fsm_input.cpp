// Loading and checking a fuzz input as a transducer, and the words the transducer fuzz
// targets use (fsm_input.h).
#include "fsm_input.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "fst/fsm.h"
#include "lookup/lookup.h"
#include "scratch_dir.h"

namespace vtm::fuzz {
namespace {

// The promises of the loader about a transducer it accepts.
void CheckInvariants(const VtmFsmRec* fsm) {
  const VtmHeaderRec& h = fsm->header;
  for (int i = 0; i < h.subnet_count; ++i) {
    Require(fsm->subnets[i].start_state < h.network_size, "start state inside the network");
  }
  const uint32_t width = h.state_ref_width;
  for (uint32_t i = 0; i < fsm->near_count; ++i) {
    const uint8_t* e = fsm->near_states + i * width;
    Require((width == 2 ? Be16(e) : Be24(e)) < h.network_size, "near entry");
  }
  for (uint32_t i = 0; i < fsm->far_count; ++i) {
    const uint8_t* e = fsm->far_states + i * width;
    Require((width == 2 ? Be16(e) : Be24(e)) < h.network_size, "far entry");
  }
  Require(fsm->char_first <= fsm->char_last, "char map range");
  for (int f = 0; f < 260; ++f) {
    int s = FsmFunctionSubnet(fsm, f);
    Require(s == kNoSubnet || s < h.subnet_count, "function subnet index");
  }
}

}  // namespace

const std::string& InputPath() {
  static const std::string path = [] {
    return ScratchDir() + "/fuzz_fsm_" + std::to_string(static_cast<long>(getpid())) + ".vtm";
  }();
  return path;
}

VtmFsm LoadInput(const uint8_t* data, std::size_t size) {
  FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  VtmFsm fsm = vtm_make_fsm(InputPath().c_str());
  const int code = vtm_object_error_code(fsm);
  if (code != 0) {
    Require(code == VTM_ERR_BAD_FILE || code == VTM_ERR_NO_MEMORY, "load failure code");
    vtm_free_fsm(fsm);
    return nullptr;
  }
  CheckInvariants(fsm);
  return fsm;
}

std::vector<std::string> Words(const uint8_t* data, std::size_t size) {
  const std::size_t tail = size > 12 ? 12 : size;
  return {"a",
          "ab",
          "ba",
          "",
          "a[Noun]b",
          "[Pl]",
          std::string(reinterpret_cast<const char*>(data) + size - tail, tail)};
}

int ForEachWord(const uint8_t* data, std::size_t size,
                void (*per_word)(const std::string& word, VtmFsm fsm)) {
  VtmFsm fsm = LoadInput(data, size);
  if (fsm == nullptr) return 0;
  for (const std::string& word : Words(data, size)) per_word(word, fsm);
  vtm_free_fsm(fsm);
  return 0;
}

int WalkedSubnets(VtmFsm fsm) {
  return fsm->header.subnet_count < 3 ? fsm->header.subnet_count : 3;
}

void RequireWalkResult(int r, const char* what) {
  Require(r >= -50 || r == VTM_ERR_WALK_INTERNAL || r == VTM_ERR_WALK_LIMIT, what);
}

void LookUpInModes(const std::string& word, VtmFsm fsm, std::initializer_list<int> modes) {
  char out[256];
  for (int mode : modes) {
    RequireWalkResult(LookupWithTransduction(word.data(), static_cast<int>(word.size()), out,
                                             sizeof out, mode, fsm, nullptr, kWalkSteps),
                      "lookup result");
  }
}

WalkArgs WalkBuffers::Args(const uint8_t* coded) {
  WalkArgs args;
  args.input = coded;
  args.work = work;
  args.work_size = sizeof work;
  args.stack = stack;
  args.stack_entries = 32;
  args.client = client;
  args.client_size = sizeof client;
  args.offsets = token_ends;
  args.offsets_capacity = 8;
  args.classes = classes;
  args.classes_capacity = 16;
  args.step_limit = kWalkSteps;
  return args;
}

}  // namespace vtm::fuzz
