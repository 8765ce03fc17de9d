// Class transducers and tagger models for the tagger tests: built with the compiler's
// class lexicon and guesser writers and the model writer, written to temporary files and
// loaded by the runtime; a class table filled from keys; and a helper that tags a token
// list and reads the output.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "compiler/class_transducer.h"
#include "compiler/tagger_model.h"
#include "support/fsm_fixtures.h"
#include "tagger/tagger.h"
#include "vtmrt.h"

namespace vtm::test {

struct ClassFsmOptions {
  compiler::ClassEntries lexicon;
  bool guesser = true;  // function 61 (with no rules it answers nothing)
  compiler::GuesserRules rules;
  uint8_t language = 9;
  std::string version = "3.1";
};

// Builds and loads a class transducer; the test fails when it cannot.
FsmPtr ClassFsm(const ClassFsmOptions& options, const std::string& name = "class");

struct TaggerCloser {
  void operator()(VtmTaggerRec* t) const { vtm_free_tagger(t); }
};
using TaggerPtr = std::unique_ptr<VtmTaggerRec, TaggerCloser>;
struct BufferCloser {
  void operator()(VtmTaggerBufferRec* b) const { vtmFreeTaggerBuffer(b); }
};
using BufferPtr = std::unique_ptr<VtmTaggerBufferRec, BufferCloser>;

// A model for `fsm` (its language and version) with `tags`, and class k keyed by
// class_strings[k] with the member tags `members[k]`; every score is -1 unless changed.
compiler::TaggerModel FlatModel(const VtmFsmRec* fsm, const std::vector<std::string>& tags,
                                const std::vector<std::string>& class_strings,
                                const std::vector<std::vector<uint32_t>>& members);
std::string WriteModel(const std::string& name, const compiler::TaggerModel& model);
std::vector<uint8_t> ModelBytes(const compiler::TaggerModel& model);
// Loads a model file; the handle may be an error object.
TaggerPtr LoadTagger(const std::string& path, VtmFsmRec* fsm);

struct TagRun {
  int rc = 0;
  std::vector<std::string> out;  // rc strings when rc > 0
};
// vtm_tag_sentence over `tokens`.
TagRun Tag(VtmTaggerRec* tagger, VtmTaggerBufferRec* buffer, const std::vector<std::string>& tokens,
           int flags, VtmClientDict dict = nullptr, int output_size = 4096);
// A class table with class k keyed by keys[k] (the test fails when an insertion does),
// and room for one entry more.
struct KeyTable {
  explicit KeyTable(const std::vector<std::vector<uint16_t>>& keys);
  ~KeyTable();
  KeyTable(const KeyTable&) = delete;
  KeyTable& operator=(const KeyTable&) = delete;
  int32_t Nearest(const std::vector<uint16_t>& key) const;
  VtmClassTable t{};
};

// Tokens as consecutive NUL-terminated strings (and a final empty one when `terminate`).
std::string Joined(const std::vector<std::string>& tokens, bool terminate = false);

}  // namespace vtm::test
