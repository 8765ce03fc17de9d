// Fuzz target of the coder and decoder on a loaded transducer (input: fsm_input.h): the
// words are coded with every coder option and coding mode into buffers of several sizes,
// decoded back (and the decoded text coded again), their code positions mapped to text
// positions, and the input's last bytes decoded as a raw code string. Every call must
// stay inside its buffer and terminate what it reports as written.
#include <cstdint>
#include <cstring>

#include "fsm_input.h"
#include "lookup/coding.h"
#include "lookup/walk_accept.h"
#include "vtmrt.h"

namespace {

using vtm::fuzz::Require;

// Decodes `codes` into buffers of several sizes, both end-of-word conventions.
void Decode(const uint8_t* codes, VtmFsm fsm) {
  char text[256];
  for (bool stop_at_eos : {false, true}) {
    for (int size : {1, 4, 256}) {
      std::memset(text, 1, sizeof text);
      const int n = vtm::DecodeCodes(codes, text, size, 0, stop_at_eos, fsm);
      Require(n < size, "decoded text inside its buffer");
      if (n >= 0) Require(text[n] == 0, "decoded text terminated");
    }
  }
}

// The positions of some code indices, which must not decrease and never exceed the
// index they map.
void MapOffsets(const char* coded, int m, VtmFsm fsm) {
  const int offsets[4] = {0, m / 2, m, m + 3};
  int positions[4];
  vtmDecodeOffsets(offsets, 4, positions, coded, fsm);
  for (int k = 0; k < 4; ++k) {
    Require(positions[k] >= 0 && positions[k] <= offsets[k], "text position within its code index");
    if (k > 0) Require(positions[k] >= positions[k - 1], "text positions in order");
  }
}

void CodeWord(const std::string& word, VtmFsm fsm) {
  uint8_t coded[64];
  for (int options = 0; options < 8; ++options) {
    vtm::CoderOptions o;
    o.tags = options & 1;
    o.eos = options & 2;
    o.closing_sep = options & 4;
    for (int size : {0, 1, 3, 64}) {
      std::memset(coded, 0xFF, sizeof coded);
      const int m =
          vtm::EncodeText(word.data(), static_cast<int>(word.size()), coded, size, o, fsm);
      Require(m < size, "code string inside its buffer");
      if (m < 0) continue;
      Require(coded[m] == 0, "code string terminated");
      vtm::ShortestScore(fsm, coded, static_cast<uint32_t>(m));
      Decode(coded, fsm);
    }
  }
  for (int mode = 0; mode < 4; ++mode) {
    char coded_text[64];
    const int m = vtmEncodeByteString(word.c_str(), coded_text, sizeof coded_text, mode, fsm);
    Require(m < static_cast<int>(sizeof coded_text), "code string inside its buffer");
    if (m < 0) continue;
    Require(coded_text[m] == 0, "code string terminated");
    MapOffsets(coded_text, m, fsm);
    // The round trip: the decoded text is coded again.
    char text[128];
    const int n = vtm::DecodeCodes(reinterpret_cast<const uint8_t*>(coded_text), text, sizeof text,
                                   0, false, fsm);
    if (n >= 0) vtmEncodeByteString(text, coded_text, sizeof coded_text, mode, fsm);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VtmFsm fsm = vtm::fuzz::LoadInput(data, size);
  if (fsm == nullptr) return 0;
  for (const std::string& word : vtm::fuzz::Words(data, size)) CodeWord(word, fsm);
  // The last bytes as codes, up to their first NUL.
  uint8_t raw[33] = {};
  const size_t n = size < 32 ? size : 32;
  std::memcpy(raw, data + size - n, n);
  Decode(raw, fsm);
  vtm_free_fsm(fsm);
  return 0;
}
