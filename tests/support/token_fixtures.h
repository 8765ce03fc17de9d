// Tokenizer transducers and calls for tests: an identity tokenizer (every chunk comes
// back whole), tokenizers that map given chunks to given outputs, tag dictionaries, and
// a call of vtm_tokenize whose records and normalized forms are read back.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "compiler/transducer_builder.h"
#include "support/fsm_fixtures.h"
#include "vtmrt.h"

namespace vtm::test {

// Bytes 0x21-0xFF that have a cp1252 character (all but 0x81, 0x8D, 0x8F, 0x90, 0x9D):
// the identity tokenizer's alphabet.
bool InIdentityAlphabet(unsigned char byte);

// AT&T text of one state looping on every byte of the identity alphabet.
std::string IdentityAtt();
// AT&T text mapping each input (cp1252 bytes) to its output (spaces separate tokens).
std::string MappingAtt(const std::vector<std::pair<std::string, std::string>>& pairs);

// Compiles AT&T text as function 28 (plus `other` functions sharing it) and loads it.
FsmPtr BuildTokenizerFsm(const std::string& att, const std::vector<int>& other = {});

struct TokenizerCloser {
  void operator()(VtmTokenizerRec* t) const { vtm_free_tokenizer(t); }
};
using TokenizerPtr = std::unique_ptr<VtmTokenizerRec, TokenizerCloser>;

struct DictCloser {
  void operator()(VtmClientDictRec* d) const { vtm_free_client_dict(d); }
};
using DictPtr = std::unique_ptr<VtmClientDictRec, DictCloser>;

// A dictionary with (key, tag specification) entries, e.g. {"b", "[html-tag-keep]"}.
DictPtr TagDict(const std::vector<std::pair<std::string, std::string>>& entries);

struct TokenOut {
  int offset, length;
  unsigned class_bits;
  int norm_offset;
  std::string norm;  // the normalized form when norm_offset is not -1
  bool operator==(const TokenOut&) const = default;
};

struct TokenizeRun {
  int rc = 0;
  int count = -1;
  std::vector<TokenOut> tokens;
  std::vector<VtmToken> raw;
};

// Calls vtm_tokenize with room for `capacity` records and `strings_size` bytes of
// normalized forms; checks that nothing is written past either.
TokenizeRun Tokenize(VtmTokenizer tk, const std::string& text, int flags, int capacity = 256,
                     int strings_size = 4096);

// Readable form of records ("off:len:0xclass[=norm]"), for failure messages.
std::string Describe(const std::vector<TokenOut>& tokens);

}  // namespace vtm::test
