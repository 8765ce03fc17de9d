// Tagger loading and per-thread tagging sessions (see sentence_tagger.h).
#include "sentence_tagger.h"

#include <algorithm>

#include "cp1252.h"
#include "library_message.h"
#include "tagger/tagger.h"
#include "text_edges.h"

namespace vtm::cli {

int TagCaseFlags(const std::string& mode) {
  if (mode == "exact") return VTM_TAG_CASE_EXACT;
  if (mode == "lower") return VTM_TAG_CASE_LOWER;
  if (mode == "upper") return VTM_TAG_CASE_UPPER;
  return VTM_TAG_CASE_EXACT | VTM_TAG_CASE_LOWER | VTM_TAG_CASE_UPPER;
}

LoadedTagger::~LoadedTagger() {
  vtm_free_tagger(tagger_);
  vtm_free_fsm(fsm_);
}

bool LoadedTagger::Open(const std::string& transducer, const std::string& model,
                        std::string* error) {
  fsm_ = vtm_make_fsm(transducer.c_str());
  if (int code = vtm_object_error_code(fsm_)) {
    code_ = code;
    *error = transducer + ": " + LibraryMessage(code);
    return false;
  }
  tagger_ = vtm_make_tagger(model.c_str(), fsm_);
  if (int code = vtm_object_error_code(tagger_)) {
    code_ = code;
    *error = model + ": " + LibraryMessage(code);
    return false;
  }
  return true;
}

std::vector<std::string> LoadedTagger::TagNames() const {
  std::vector<std::string> names;
  for (int k = 0; tagger_ != nullptr && k < tagger_->tag_count; ++k)
    names.emplace_back(tagger_->tag_names[k]);
  return names;
}

TaggingSession::~TaggingSession() {
  vtmFreeTaggerBuffer(buffer_);
}

int TaggingSession::TagWords(const std::vector<std::string>& words, int flags, std::string* error) {
  joined_.clear();
  for (const std::string& w : words) {
    if (IsAscii(w)) {
      joined_.append(w);
    } else if (auto c = compiler::Utf8ToCp1252(w)) {
      joined_.append(*c);
    } else {
      joined_.append(w);  // not Windows-1252: an unknown word
    }
    joined_.push_back('\0');
  }
  if (words.empty()) return 0;
  return Tag(joined_.data(), static_cast<int>(words.size()), joined_.size(), flags, error);
}

int TaggingSession::TagJoined(std::string_view joined, int count, int flags, std::string* error) {
  if (count == 0) return 0;
  return Tag(joined.data(), count, joined.size(), flags, error);
}

int TaggingSession::Tag(const char* tokens, int count, std::size_t bytes, int flags,
                        std::string* error) {
  if (buffer_ == nullptr || count > max_tokens_ || bytes > static_cast<std::size_t>(max_chars_)) {
    if (!Grow(count, bytes, error)) return -1;
  }
  const VtmClientDict dict =
      (flags & VTM_TAG_CASE_LOWER) && (flags & 5) ? buffer_->title_dict : nullptr;
  for (;;) {
    const int r = vtm_tag_sentence(tokens, count, out_.data(), static_cast<int>(out_.size()), flags,
                                   tagger_, buffer_, dict, 0);
    if (r != VTM_ERR_OUTPUT_TOO_LONG || out_.size() >= (1u << 30)) {
      if (r < 0) *error = LibraryMessage(r);
      return r;
    }
    out_.resize(out_.size() * 2);
  }
}

// Makes a buffer for at least `count` tokens and `bytes` bytes: twice the old size (at
// least 256 tokens and 4096 bytes) up to the library's limits.
bool TaggingSession::Grow(int count, std::size_t bytes, std::string* error) {
  constexpr int kMaxTokens = 100000;
  constexpr std::size_t kMaxChars = 1000000;
  if (count > kMaxTokens) {
    *error = "a sentence has more than 100000 tokens";
    return false;
  }
  if (bytes > kMaxChars) {
    *error = "a sentence has more than 1000000 bytes";
    return false;
  }
  const int tokens = std::min(std::max({count, 2 * max_tokens_, 256}), kMaxTokens);
  const std::size_t chars = std::min(
      std::max<std::size_t>({bytes, 2 * static_cast<std::size_t>(max_chars_), 4096}), kMaxChars);
  VtmTaggerBuffer fresh = vtmMakeTaggerBuffer(tokens, static_cast<int>(chars), tagger_);
  if (int code = vtm_object_error_code(fresh)) {
    *error = LibraryMessage(code);
    return false;
  }
  vtmFreeTaggerBuffer(buffer_);
  buffer_ = fresh;
  max_tokens_ = tokens;
  max_chars_ = static_cast<int>(chars);
  if (out_.size() < static_cast<std::size_t>(tokens) * 16 + 64) out_.resize(tokens * 16 + 64);
  return true;
}

}  // namespace vtm::cli
