// The engine of `vtm tokenize`: reads a file in 64 KiB pieces, converts UTF-8 to code
// page 1252 while remembering where each converted byte came from, tokenizes under the
// library's calling protocol (unconsumed bytes carried over, record array and string
// buffer grown when a call at byte 0 cannot proceed) and prints the tokens with offsets
// in the user's UTF-8 input. Tested by tests/cli/tokenize_test.sh.
#pragma once

#include <cstdint>
#include <string>

#include "vtmrt.h"

namespace vtm::cli {

enum class TokenFormat { kTsv, kJson, kSentences };

struct TokenTask {
  VtmTokenizer tokenizer = nullptr;
  int flags = 0;  // VTM_TOKENIZE_HTML, VTM_TOKENIZE_LINE_PARAGRAPH
  TokenFormat format = TokenFormat::kTsv;
};

// A single token (or unfinished tag or element) longer than this is reported and skipped.
// (The transducer's scratch for a chunk grows with the chunk: some 31 bytes per byte.)
inline constexpr std::size_t kMaxTokenBytes = std::size_t{4} << 20;

// Tokenizes the open file descriptor `fd` (`name` in messages) to standard output.
// Returns 0, or 1 when input was lost (invalid UTF-8, characters outside code page
// 1252, a chunk the transducer cannot read, a token over the limit) or reading or
// writing failed; each case is reported on stderr.
int RunTokenStream(const TokenTask& task, int fd, const std::string& name);

}  // namespace vtm::cli
