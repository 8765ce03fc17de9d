// The tagger's symbol numbers: coded bytes of the class transducer turned into 16-bit
// numbers (base code / 4, plus 64 per escape code after it), the numbering in which the
// class walk reports tags. Tested in tests/lib/tagger_model_test.cpp.
#include "fst/fsm.h"
#include "lookup/coding.h"
#include "tagger/tagger.h"

namespace vtm {

int CodesToSymbols(const uint8_t* codes, uint8_t esc_label, uint16_t* out, int capacity) {
  int n = 0;
  std::size_t k = 0;
  while (codes[k] != 0) {
    uint32_t symbol = codes[k++] >> 2;
    while (codes[k] == esc_label && codes[k] != 0) {
      symbol += 64;
      ++k;
    }
    if (n >= capacity) return VTM_ERR_OUTPUT_TOO_LONG;
    out[n++] = static_cast<uint16_t>(symbol);
    if (n >= capacity) return VTM_ERR_OUTPUT_TOO_LONG;
  }
  return n;
}

int32_t MultiwordSymbol(const VtmFsmRec* fsm) {
  uint8_t coded[16];
  CoderOptions options;
  options.tags = true;
  const int m = EncodeText("[__mwt]", kNulTerminated, coded, sizeof coded, options, fsm);
  if (m < 0) return m;
  if (m < 1) return VTM_ERR_CHAR_NOT_IN_ALPHABET;
  uint16_t symbols[5];
  const int n = CodesToSymbols(coded + 1, fsm->header.esc_label, symbols, 5);
  if (n < 0) return n;
  if (n < 1) return VTM_ERR_CHAR_NOT_IN_ALPHABET;
  return symbols[0];
}

}  // namespace vtm
