// One sentence of `vtm chunk` from its tokens to its output: split at the spaces as
// `vtm tag` splits a line, tagged with a tagging session and grouped with a group writer.
// One SentenceChunker per thread (it owns a tagger buffer); the tagger and the grouper
// of the setup are shared. Used by the chunk pipeline and the Python package's Chunker.
// Tested by tests/cli/chunk_command_test.sh and python/tests/test_chunk.py.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "group_writer.h"
#include "sentence_tagger.h"
#include "tagged_input.h"
#include "vtmrt.h"

namespace vtm::cli {

// The tagger's limits: the token stream cuts a longer sentence (and reports it) rather
// than have it refused.
inline constexpr std::size_t kMaxSentenceTokens = 100000;
inline constexpr std::size_t kMaxSentenceBytes = 999999;

struct ChunkSetup {
  VtmTagger tagger = nullptr;
  int tag_flags = 0;  // vtm_tag_sentence flags
  VtmGrouper grouper = nullptr;
  GroupOptions group;
  int threads = 1;
};

class SentenceChunker {
 public:
  explicit SentenceChunker(const ChunkSetup& setup)
      : flags_(setup.tag_flags), session_(setup.tagger), writer_(setup.grouper, setup.group) {}
  SentenceChunker(const SentenceChunker&) = delete;
  SentenceChunker& operator=(const SentenceChunker&) = delete;

  // Chunks `line` (tokens separated by single spaces) and appends its output, numbered
  // `number`, to *out. Returns "" or why the sentence has no tags or groups (it is
  // written all the same).
  std::string Sentence(std::string_view line, std::size_t number, std::string* out);

  // The last sentence's words and tags ("" when it could not be tagged), and its groups.
  const TaggedSentence& sentence() const { return sentence_; }
  const GroupWriter& writer() const { return writer_; }

 private:
  int flags_;
  TaggingSession session_;
  GroupWriter writer_;
  std::vector<std::string> words_;
  TaggedSentence sentence_;
};

}  // namespace vtm::cli
