// Shared by the transducer fuzz targets (fuzz_load, fuzz_coding, fuzz_lookup,
// fuzz_inverse, fuzz_class, fuzz_expand): the whole input is a transducer file, loaded
// through a scratch file in ScratchDir() (scratch_dir.h: in memory when possible); the words the
// targets code and look up are fixed ones and the input's last bytes. One input format
// for all, so their corpora (tests/fuzz/corpus/<target>/) can seed each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "lookup/walk.h"
#include "require.h"
#include "vtmrt.h"

namespace vtm::fuzz {

// Bound on the work of each lookup or walk (VTM_ERR_WALK_LIMIT past it): a damaged
// network can make a finite walk take exponential time, which only slows the fuzzer.
inline constexpr uint64_t kWalkSteps = 20000;

// Writes the input to the scratch file and loads it. Returns null when the loader refuses
// it (after checking the refusal's code); otherwise a transducer whose loader invariants
// have been checked, which the caller frees.
VtmFsm LoadInput(const uint8_t* data, std::size_t size);
// The scratch file that holds the current input.
const std::string& InputPath();

// The words of an input: a few fixed ones (letters, a tag, the empty word) and the last
// 12 bytes of the input.
std::vector<std::string> Words(const uint8_t* data, std::size_t size);

// The body of a walk target: loads the input and, when it loads, calls `per_word` for
// each of its words. Returns 0 for LLVMFuzzerTestOneInput.
int ForEachWord(const uint8_t* data, std::size_t size,
                void (*per_word)(const std::string& word, VtmFsm fsm));

// The subnets the walk targets run the walks on directly: the first three at most.
int WalkedSubnets(VtmFsm fsm);

// A lookup or walk ends with a count or an error code of the library.
void RequireWalkResult(int r, const char* what);

// Looks the word up through vtm_lookup_with_transduction in each of `modes`, each lookup
// bounded by kWalkSteps, and checks the results.
void LookUpInModes(const std::string& word, VtmFsm fsm, std::initializer_list<int> modes);

// Buffers of one direct walk call and its arguments: `coded` is the NUL-terminated input.
struct WalkBuffers {
  uint8_t work[64];
  VtmBacktrackEntry stack[32];
  uint16_t classes[16];
  int token_ends[8];
  char client[256];
  WalkArgs Args(const uint8_t* coded);
};

}  // namespace vtm::fuzz
