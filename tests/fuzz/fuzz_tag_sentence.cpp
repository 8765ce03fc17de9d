// Fuzz target of sentence tagging: the class transducer and model named by
// FUZZ_TAGGER_FSM and FUZZ_TAGGER_MODEL tag sentences built from the input: byte 0 the
// flags (bit 4: a client dictionary; bit 5: a buffer as vtm_make_tagger_buffer makes it,
// else as vtmMakeTaggerBuffer does, with its title dictionary; bit 6: no token cache),
// bytes 1 to 3 the buffer's token and character limits and the output size, then tokens
// separated by newlines. The result must be the token count or a negative code, and a
// success writes exactly one string per token inside the output size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "require.h"
#include "tagger/tagger.h"
#include "vtmrt.h"

namespace {

using vtm::fuzz::Require;

VtmFsm g_fsm = nullptr;
VtmTagger g_tagger = nullptr;
VtmClientDict g_dict = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* fsm = std::getenv("FUZZ_TAGGER_FSM");
  const char* model = std::getenv("FUZZ_TAGGER_MODEL");
  g_fsm = vtm_make_fsm(fsm != nullptr ? fsm : "class.vtm");
  Require(vtm_object_error_code(g_fsm) == 0, "FUZZ_TAGGER_FSM names a class transducer");
  g_tagger = vtm_make_tagger(model != nullptr ? model : "good.model", g_fsm);
  Require(vtm_object_error_code(g_tagger) == 0, "FUZZ_TAGGER_MODEL names a model for it");
  g_dict = vtm_make_client_dict(0, 0);
  vtm_add_entry("dog", "[VB]", 0, g_dict);
  vtm_add_entry("dog", "[NN][VB]", 0, g_dict);
  vtm_add_entry("cat", "[nosuch]", 0, g_dict);
  vtm_add_entry("the", "[title-uncap]", 0, g_dict);
  vtm_add_entry("x", "[DT", 0, g_dict);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int flags = data[0] & 0x8F;
  const VtmClientDict dict = (data[0] & 0x10) ? g_dict : nullptr;
  const int max_tokens = data[1];
  const int max_chars = data[2];
  const int out_size = data[3] * 4;
  std::string tokens(reinterpret_cast<const char*>(data + 4), size - 4);
  int count = tokens.empty() ? 0 : 1;
  for (char& ch : tokens) {
    if (ch == '\n') {
      ch = '\0';
      ++count;
    }
  }
  tokens.push_back('\0');
  // The makers' own buffers carry a token cache of a megabyte, which would cost more to
  // allocate and clear than the tagging it serves here; a small cache (which also evicts
  // often) or none goes through the same code.
  const uint32_t slots = (data[0] & 0x40) ? 0 : 64;
  VtmTaggerBuffer b = (data[0] & 0x20)
                          ? vtm::MakeTaggerBuffer(max_tokens, max_chars, g_tagger, slots)
                          : vtm::MakeTitledTaggerBuffer(max_tokens, max_chars, g_tagger, slots);
  if (vtm_object_error_code(b) != 0) return 0;
  std::vector<char> out(static_cast<std::size_t>(out_size) + 1, '\x7F');
  const int r =
      vtm_tag_sentence(tokens.data(), count, out.data(), out_size, flags, g_tagger, b, dict, 0);
  Require(out[static_cast<std::size_t>(out_size)] == '\x7F', "nothing written past the output");
  Require(r == count || r < 0, "result is the count or an error");
  if (r > 0) {
    std::size_t used = 0;
    for (int k = 0; k < r; ++k) {
      const void* end =
          std::memchr(out.data() + used, 0, static_cast<std::size_t>(out_size) - used);
      Require(end != nullptr, "every output string ends inside the output");
      used = static_cast<std::size_t>(static_cast<const char*>(end) - out.data()) + 1;
    }
  }
  if (!(data[0] & 0x80) || (data[0] & 0x0F) == 0) {
    // The list form on the same tokens (ended by an empty string).
    tokens.push_back('\0');
    vtmTagSentence(tokens.data(), out.data(), out_size, b, flags & 0x87, g_tagger);
  }
  if (data[0] & 0x20) {
    vtm_free_tagger_buffer(b);
  } else {
    vtmFreeTaggerBuffer(b);
  }
  return 0;
}
