// Tagging and grouping one sentence (see sentence_chunker.h).
#include "sentence_chunker.h"

namespace vtm::cli {

std::string SentenceChunker::Sentence(std::string_view line, std::size_t number, std::string* out) {
  words_.clear();
  std::size_t from = 0;
  for (std::size_t k = 0; k <= line.size(); ++k) {
    if (k == line.size() || line[k] == ' ') {
      words_.emplace_back(line.substr(from, k - from));
      from = k + 1;
    }
  }
  sentence_.error.clear();
  sentence_.tokens.resize(words_.size());
  const int tagged = session_.TagWords(words_, flags_, &sentence_.error);
  const char* tag = tagged >= 0 ? session_.tags() : "";
  for (std::size_t k = 0; k < words_.size(); ++k) {
    sentence_.tokens[k].word.swap(words_[k]);
    sentence_.tokens[k].tag.assign(tag);
    if (tagged >= 0) tag += sentence_.tokens[k].tag.size() + 1;
  }
  return writer_.Sentence(sentence_, number, out);
}

}  // namespace vtm::cli
