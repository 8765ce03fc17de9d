// The engine of `vtm tokenize`: reads a file in 64 KiB pieces, converts UTF-8 to code
// page 1252 while remembering where each converted byte came from, tokenizes under the
// library's calling protocol (unconsumed bytes carried over, record array and string
// buffer grown when a call at byte 0 cannot proceed) and prints the tokens with offsets
// in the user's UTF-8 input, or hands each sentence (`vtm chunk`) or each token (the
// Python package) to a sink. The same engine reads text held in memory. Tested by
// tests/cli/tokenize_test.sh, tests/cli/chunk_command_test.sh and
// python/tests/test_tokenizer.py.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "vtmrt.h"

namespace vtm {
struct TokenSink;
}

namespace vtm::cli {

enum class TokenFormat { kTsv, kJson, kSentences, kRecords };

// Receives each sentence, its tokens' texts joined by single spaces, exactly the line that
// kSentences would print; returns false to stop (a write failure it has reported).
using SentenceSink = std::function<bool(std::string_view sentence)>;

// One token as kRecords hands it over.
struct StreamToken {
  uint64_t start = 0, end = 0;  // UTF-8 byte offsets of its span in the input
  uint32_t classes = 0;         // VTM_TOKEN_* bits
  std::string_view span;        // the span's text, UTF-8
  std::string_view text;        // the normalized form when normalized, else the span
  bool normalized = false;
  // True when the token belongs to the current sentence (as kSentences would print it);
  // layout tokens (line breaks, tags) and empty ones do not.
  bool in_sentence = false;
};
// Receives each token in order; returns false to stop.
using TokenSink = std::function<bool(const StreamToken& token)>;
// Receives each message about lost input, without the "vtm COMMAND: " prefix.
using MessageSink = std::function<void(const std::string& message)>;

struct TokenTask {
  const char* command = "tokenize";  // in messages: "vtm <command>: ..."
  VtmTokenizer tokenizer = nullptr;
  int flags = 0;  // VTM_TOKENIZE_HTML, VTM_TOKENIZE_LINE_PARAGRAPH
  TokenFormat format = TokenFormat::kTsv;
  // When set, plain words, which the byte scanner emits whole, are handed to the
  // transducer too, as chunks of their own (for conventions that split some plain words:
  // gonna, cannot), by this chunk splitter: the library's vtm::SplitChunk, which only a
  // program linking the library statically can give (the shared library does not export
  // it, and the Python package links the shared one).
  int (*split_words)(const char* text, int start, int end, VtmTokenizer tokenizer,
                     vtm::TokenSink* sink) = nullptr;
  // With kSentences: sentences go here instead of standard output. A sentence that
  // reaches `max_sentence_tokens` tokens or `max_sentence_bytes` bytes is handed over at
  // that point and the rest continues as a new one (reported once per input); 0: no limit.
  SentenceSink sentence_sink;
  std::size_t max_sentence_tokens = 0;
  std::size_t max_sentence_bytes = 0;
  // With kRecords: every token goes here; sentence ends go to sentence_sink when set.
  TokenSink token_sink;
  // When set, messages go here instead of standard error.
  MessageSink message_sink;
};

// A single token (or unfinished tag or element) longer than this is reported and skipped.
// (The transducer's scratch for a chunk grows with the chunk: some 31 bytes per byte.)
inline constexpr std::size_t kMaxTokenBytes = std::size_t{4} << 20;

// Tokenizes the open file descriptor `fd` (`name` in messages) to standard output.
// Returns 0, or 1 when input was lost (invalid UTF-8, characters outside code page
// 1252, a chunk the transducer cannot read, a token over the limit) or reading or
// writing failed; each case is reported on stderr.
int RunTokenStream(const TokenTask& task, int fd, const std::string& name);

// The same for UTF-8 text in memory, read in the same pieces as a file.
int RunTokenText(const TokenTask& task, std::string_view text, const std::string& name);

}  // namespace vtm::cli
