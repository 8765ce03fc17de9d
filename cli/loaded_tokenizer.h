// The tokenizer of `vtm tokenize` and `vtm chunk`: its transducer (the bundled en-brown
// by default) and, for HTML, the tag dictionary (the bundled html-tags.txt by default),
// opened together and freed together. Tested by tests/cli/tokenize_test.sh and
// tests/cli/chunk_command_test.sh.
#pragma once

#include <string>

#include "vtmrt.h"

namespace vtm::cli {

inline constexpr const char* kDefaultTokenizer = "en-brown.vtm";
inline constexpr const char* kDefaultHtmlTags = "html-tags.txt";

class LoadedTokenizer {
 public:
  LoadedTokenizer() = default;
  LoadedTokenizer(const LoadedTokenizer&) = delete;
  LoadedTokenizer& operator=(const LoadedTokenizer&) = delete;
  ~LoadedTokenizer();

  // Opens `transducer` (empty: the bundled one) and, when `html` or `tags` is given, the
  // tag dictionary `tags` (empty: the bundled one). False after a "vtm COMMAND: ..."
  // message on stderr, which names the option of a missing file (`transducer_option`,
  // `tags_option`).
  bool Open(const char* command, const std::string& transducer, const char* transducer_option,
            const std::string& tags, const char* tags_option, bool html);
  VtmTokenizer tokenizer() const { return tokenizer_; }

 private:
  VtmFsm fsm_ = nullptr;
  VtmClientDict dict_ = nullptr;
  VtmTokenizer tokenizer_ = nullptr;
};

}  // namespace vtm::cli
