// Sentence tagging for `vtm tag` and `vtm chunk`: the loaded English (or other) tagger,
// shared read-only by every thread, and a per-thread tagging session that owns its
// tagger buffer and output area and grows them with the sentences. Tested by
// tests/cli/tag_test.sh and tests/cli/chunk_command_test.sh.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vtmrt.h"

namespace vtm::cli {

// Bundled data names of the English tagger.
inline constexpr const char* kDefaultTagTransducer = "english-tagger.vtm";
inline constexpr const char* kDefaultTagModel = "english-tagger.model";

// vtm_tag_sentence's case flags for a --case value (auto, exact, lower, upper).
int TagCaseFlags(const std::string& mode);

// A class transducer and the model loaded against it. Only read once open, so one
// LoadedTagger serves any number of TaggingSessions in any threads.
class LoadedTagger {
 public:
  LoadedTagger() = default;
  LoadedTagger(const LoadedTagger&) = delete;
  LoadedTagger& operator=(const LoadedTagger&) = delete;
  ~LoadedTagger();

  // False with "<file>: <reason>" in *error.
  bool Open(const std::string& transducer, const std::string& model, std::string* error);
  VtmTagger tagger() const { return tagger_; }
  // The library's code of the failure of Open (0 after a success).
  int code() const { return code_; }
  // The model's tag names, in its order: every tag tagging can give.
  std::vector<std::string> TagNames() const;

 private:
  VtmFsm fsm_ = nullptr;
  VtmTagger tagger_ = nullptr;
  int code_ = 0;
};

// One thread's tagging: its own tagger buffer (the library's rule: a buffer serves one
// call at a time) and output area.
class TaggingSession {
 public:
  explicit TaggingSession(VtmTagger tagger) : tagger_(tagger) {}
  TaggingSession(const TaggingSession&) = delete;
  TaggingSession& operator=(const TaggingSession&) = delete;
  ~TaggingSession();

  // Tags UTF-8 words (converted to code page 1252 for the tagger; a word that does not
  // convert is given as it is and tagged as an unknown word). Returns the word count
  // (the tags are then consecutive strings at tags()) or a negative code with the
  // reason in *error.
  int TagWords(const std::vector<std::string>& words, int flags, std::string* error);
  // The same for `count` words already in code page 1252, each ended by a NUL, in
  // `joined`.
  int TagJoined(std::string_view joined, int count, int flags, std::string* error);
  const char* tags() const { return out_.data(); }

 private:
  int Tag(const char* tokens, int count, std::size_t bytes, int flags, std::string* error);
  bool Grow(int count, std::size_t bytes, std::string* error);

  VtmTagger tagger_;
  VtmTaggerBuffer buffer_ = nullptr;
  int max_tokens_ = 0;
  int max_chars_ = 0;
  std::vector<char> out_;
  std::string joined_;
};

}  // namespace vtm::cli
