// Fuzz target of the transducer loader: every input is written to a file and loaded
// (fsm_input.h checks the refusal code or the loader's invariants); a transducer that
// loads is put through the queries that read its tables (texts, tags, symbols, special
// codes), and the header alone is loaded and compared too. The walks have their own
// targets (fuzz_coding, fuzz_lookup, fuzz_inverse, fuzz_class, fuzz_expand).
#include <cstdint>
#include <cstring>

#include "fsm_input.h"
#include "fst/fsm.h"
#include "vtmrt.h"

namespace {

// Runs the read-only queries on a loaded transducer. Sanitizers catch any read outside
// the loaded buffers.
void ExerciseTransducer(VtmFsm fsm) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (VtmFsm fsm = vtm::fuzz::LoadInput(data, size)) {
    ExerciseTransducer(fsm);
    vtm_free_fsm(fsm);
  }
  VtmHeader header = vtm_make_header(vtm::fuzz::InputPath().c_str());
  vtm_compare_header(header, header);
  vtm_free_header(header);
  return 0;
}
