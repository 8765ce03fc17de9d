// Sentence tagging: vtm_tag_sentence and vtmTagSentence.
//
// For each tagged position the candidate search builds texts in the buffer (the word,
// its case variants and, with VTM_TAG_MULTIWORD, the word joined with the following
// tokens while the lexicon marks the text so far with "__mwt"), looks them up in the
// client dictionary and the class lexicon (function 60), and keeps the tags of the
// longest candidate that has real tags. A word without any goes to the class guesser
// (function 61). Each tag set is resolved to an ambiguity class, the classes are
// decoded by Viterbi (viterbi.cpp) and one string per token is written. A token's class
// depends only on its bytes and a few switches unless its search follows a multi-word
// marker, so the buffer's token cache (token_cache.h) answers repeated tokens. All
// storage is in the tagger buffer or in this frame; nothing is allocated.
// Tested in tests/lib/tagger_sentence_test.cpp.
#include <cstring>

#include "dict/client_dict.h"
#include "frame/frame.h"
#include "fst/fsm.h"
#include "lookup/coding.h"
#include "lookup/walk.h"
#include "tagger/letters.h"
#include "tagger/tagger.h"

namespace vtm {
namespace {

constexpr uint32_t kWalkStack = 100;
constexpr int kResultArea = 16;
constexpr int kResultSymbols = 16;
// Deepest multi-word candidate followed: each level is a frame of the recursive search,
// and only a lexicon that marks ever longer phrases as unfinished comes near it.
constexpr int kMaxCandidateTokens = 1024;
constexpr const char* kMultiwordOutput = "__mwt";
constexpr const char* kTitleUncap = "[title-uncap]";

const char* NextToken(const char* token) {
  return token + std::strlen(token) + 1;
}

bool IsBlank(const char* token) {
  return static_cast<uint8_t>(token[0]) < 33;
}

class SentenceTagger {
 public:
  SentenceTagger(const VtmTaggerRec& tagger, VtmTaggerBufferRec* buffer, VtmClientDict dict,
                 int count, int flags, PositionObserver* observer)
      : t_(tagger), b_(buffer), dict_(dict), fsm_(tagger.clg), count_(count), observer_(observer) {
    const int modes = (flags & 1) + ((flags >> 1) & 1) + ((flags >> 2) & 1);
    title_ = modes > 1 && (flags & VTM_TAG_CASE_LOWER);
    first_lower_ = modes > 1 && (flags & VTM_TAG_CASE_UPPER);
    down_ = (flags & VTM_TAG_CASE_LOWER) != 0 && !title_;
    up_ = (flags & VTM_TAG_CASE_UPPER) != 0;
    multi_ = (flags & VTM_TAG_MULTIWORD) != 0;
    lexicon_ = FsmFunctionSubnet(fsm_, kFunctionClassLexicon);
    guesser_ = FsmFunctionSubnet(fsm_, kFunctionClassGuesser);
    // The cache holds classes computed without a dictionary or with the buffer's own
    // title dictionary (which nothing outside the library can change behind its entry
    // count); a caller's dictionary can change between calls, so it is not cached for.
    // The observer wants every position's symbols, which the cache does not keep.
    cached_ = observer == nullptr && (dict == nullptr || dict == buffer->title_dict);
    if (cached_) {
      const VtmClientDict title = buffer->title_dict;
      const uint32_t entries = title == nullptr ? 0 : title->entry_count;
      TokenCachePrepare(&buffer->token_cache, &tagger, entries);
    }
  }

  // Both passes and the decoding; returns 0 or an error.
  int Run(const char* tokens) {
    std::memset(b_->blank_flags, 0, static_cast<std::size_t>(count_));
    // Each position clears the rows that it used; an earlier call may have stopped
    // with an error before doing so.
    std::memset(b_->tag_row_counts + 1, 0, sizeof(int32_t) * static_cast<std::size_t>(count_));
    start_ = true;
    int r = Pass(tokens);
    if (r < 0) return r;
    if (title_) {
      down_ = true;
      r = Pass(tokens);
      if (r < 0) return r;
    }
    b_->tagged_count = r;
    DecodeTags(t_, b_);
    return 0;
  }

 private:
  // One pass over the sentence; returns the number of tagged positions or an error.
  int Pass(const char* tokens) {
    std::memset(b_->mwt_flags, 0, static_cast<std::size_t>(count_));
    if (observer_ != nullptr) observer_->StartPass();
    int k = 0;
    const char* token = tokens;
    for (int i = 0; i < count_;) {
      if (IsBlank(token)) {
        b_->blank_flags[i] = 1;
        token = NextToken(token);
        ++i;
        continue;
      }
      const char* w = token;
      const uint8_t first = static_cast<uint8_t>(w[0]);
      if (first_lower_ && k == 0) up_ = IsSmall(first);
      if (title_ && k >= 1 && !down_ && IsSmall(first) && !IsTitleException(w)) title_ = false;
      const int n = TagPosition(k, i, w);
      if (n < 0) return n;
      start_ = IsOpeningToken(w) || (start_ && IsApostrophe(first));
      for (int s = 0; s < n; ++s) token = NextToken(token);
      i += n;
      ++k;
    }
    return k;
  }

  bool IsTitleException(const char* w) const {
    if (dict_ == nullptr) return false;
    return vtm_client_dict_lookup(w, kTitleUncap, nullptr, 0, VTM_DICT_TAG_FILTER, 0, dict_) != 0;
  }

  // What besides its bytes decides a token's class in this call: whether the search and
  // the guesser try the token with its first letter changed (the direction follows from
  // the letter: a small one is capitalised, a capital one made small), whether
  // multi-word candidates are followed, and whether the title dictionary is consulted.
  uint8_t CacheContext(const char* w) const {
    const uint8_t first = static_cast<uint8_t>(w[0]);
    const bool variant = (up_ || down_ || start_) && (up_ ? IsSmall(first) : IsCapital(first));
    return static_cast<uint8_t>((variant ? 1 : 0) | (multi_ ? 2 : 0) | (dict_ != nullptr ? 4 : 0));
  }

  // Tags position k at token i; returns the number of tokens covered or an error. A
  // token met before in the same context takes its class from the buffer's cache,
  // unless its lookup reached into the following tokens (a multi-word marker followed),
  // which is never stored.
  int TagPosition(int k, int i, const char* w) {
    TokenKey key;
    const bool cacheable = cached_ && TokenCacheKey(w, CacheContext(w), &key);
    if (cacheable) {
      const int32_t cls = TokenCacheFind(&b_->token_cache, key);
      if (cls >= 0) {
        b_->token_classes[k] = static_cast<uint16_t>(cls);
        return 1;
      }
    }
    for (int n = 1; n <= rows_used_; ++n) b_->tag_row_counts[n] = 0;
    rows_used_ = 0;
    pos_ = i;
    followed_ = false;
    const int best = Extend(w, 0, 0, start_, 0);
    if (best < 0) return best;
    int32_t cls;
    int covered;
    if (best > 0) {
      for (int x = i; x <= i + best - 2; ++x) {
        if (!b_->blank_flags[x]) b_->mwt_flags[x] = 1;
      }
      Observe(k, i, best, b_->tag_rows[best], b_->tag_row_counts[best], false);
      cls = ResolveClass(t_, b_->tag_rows[best], static_cast<uint32_t>(b_->tag_row_counts[best]),
                         b_->mwt_symbol, &b_->nearest_memo);
      covered = best;
    } else {
      const int r = Guess(w);
      if (r < 0) return r;
      Observe(k, i, 1, b_->guess_tags, r, true);
      cls = ResolveClass(t_, b_->guess_tags, static_cast<uint32_t>(r), b_->mwt_symbol,
                         &b_->nearest_memo);
      covered = 1;
    }
    b_->token_classes[k] = static_cast<uint16_t>(cls);
    if (cacheable && !followed_) TokenCacheStore(&b_->token_cache, key, cls);
    return covered;
  }

  // Reports a position to the observer, which keeps those of the last pass.
  void Observe(int k, int first, int covered, const uint16_t* symbols, int n, bool guessed) {
    if (observer_ == nullptr) return;
    observer_->Position(k, first, covered, symbols, static_cast<uint32_t>(n), guessed);
  }

  // Candidate search: appends the token at pos_ + c (after any blank ones) to the text
  // that ends at e, tries it and its case variants, and returns the best cover so far.
  int Extend(const char* token, int c, int best, bool start, int e) {
    for (;;) {
      if (pos_ + c >= count_) return best;
      if (!IsBlank(token)) break;
      b_->blank_flags[pos_ + c] = 1;
      token = NextToken(token);
      ++c;
    }
    if (c >= kMaxCandidateTokens) return best;
    const std::size_t length = std::strlen(token);
    const int at = e + (c > 0 ? 1 : 0);
    if (static_cast<uint64_t>(at) + length + 1 > static_cast<uint64_t>(b_->text_size)) {
      return VTM_ERR_TOKEN_BUFFER_TOO_SMALL;
    }
    char* text = b_->text_buffer;
    if (c > 0) text[e] = ' ';
    std::memcpy(text + at, token, length + 1);
    const int end = at + static_cast<int>(length);
    const int n = c + 1;
    const char* next = NextToken(token);
    best = Try(n, best, next, end);
    if (best < 0) return best;
    if (AllCapsWord(token)) {
      for (std::size_t x = 1; x < length; ++x) {
        text[at + x] = static_cast<char>(ToSmall(static_cast<uint8_t>(text[at + x])));
      }
      best = Try(n, best, next, end);
      if (best < 0) return best;
    }
    const uint8_t first = static_cast<uint8_t>(text[at]);
    if ((up_ || down_ || start) && (up_ ? IsSmall(first) : IsCapital(first))) {
      text[at] = static_cast<char>(up_ ? ToCapital(first) : ToSmall(first));
      best = Try(n, best, next, end);
      if (best < 0) return best;
    }
    text[e] = 0;
    return best;
  }

  // Looks the current text up for a candidate of n tokens; `next` is the token after it
  // and `end` the end of the text.
  int Try(int n, int best, const char* next, int end) {
    const int have = b_->tag_row_counts[n];
    uint16_t* row = b_->tag_rows[n] + have;
    const int r = Lookup(b_->text_buffer, lexicon_, dict_, row, b_->tag_count - have);
    if (r < 0) return r;
    bool real = false;
    bool marker = false;
    for (int x = 0; x < r; ++x) {
      if (static_cast<int32_t>(row[x]) == b_->mwt_symbol) {
        marker = true;
      } else {
        real = true;
      }
    }
    if (best <= n && real) {
      best = n;
      b_->tag_row_counts[n] += r;
      if (n > rows_used_) rows_used_ = n;
    }
    if (multi_ && marker) {
      followed_ = true;
      best = Extend(next, n, best, false, end);
    }
    return best;
  }

  // Tag symbols of `text` from the client dictionary or, when it gives none, from the
  // class walk of `subnet`, into `out` of `capacity`. Returns their count or an error.
  int Lookup(const char* text, int subnet, VtmClientDict dict, uint16_t* out, int capacity) {
    if (dict != nullptr) {
      const int found = DictionaryTags(text, dict, out, capacity);
      if (found != 0) return found;
    }
    CoderOptions options;
    options.closing_sep = true;
    const int m = EncodeText(text, kNulTerminated, b_->coded_buffer, b_->coded_size, options, fsm_);
    if (m == VTM_ERR_OUTPUT_TOO_LONG) return VTM_ERR_TOKEN_BUFFER_TOO_SMALL;
    if (m == VTM_ERR_CHAR_NOT_IN_ALPHABET) return 0;
    if (m < 0) return m;
    VtmBacktrackEntry stack[kWalkStack];
    WalkArgs args;
    args.input = b_->coded_buffer;
    args.subnet = subnet;
    args.stack = stack;
    args.stack_entries = kWalkStack;
    args.classes = out;
    args.classes_capacity = capacity;
    const int r = ClassWalk(fsm_, args);
    if (r == VTM_ERR_OUTPUT_TOO_LONG) return capacity;
    if (r == VTM_ERR_STACK_OVERFLOW) return 0;
    return r;
  }

  // The tag parts of the dictionary's entries for `text` that code as exactly one tag
  // symbol. Returns their count (0: consult the transducer) or an error.
  int DictionaryTags(const char* text, VtmClientDict dict, uint16_t* out, int capacity) {
    char* results = reinterpret_cast<char*>(b_->coded_buffer);
    const int r =
        vtm_client_dict_lookup(text, nullptr, results, b_->coded_size, VTM_DICT_TAGS, 0, dict);
    if (r == VTM_ERR_OUTPUT_TOO_LONG) return VTM_ERR_TOKEN_BUFFER_TOO_SMALL;
    if (r < 0) return r;
    int got = 0;
    const char* result = results;
    CoderOptions options;
    options.tags = true;
    for (int k = 0; k < r; ++k, result = NextToken(result)) {
      uint8_t coded[kResultArea];
      const int m = EncodeText(result, kNulTerminated, coded, kResultArea, options, fsm_);
      if (m == VTM_ERR_OUTPUT_TOO_LONG) return VTM_ERR_TOKEN_BUFFER_TOO_SMALL;
      if (m == VTM_ERR_CHAR_NOT_IN_ALPHABET) continue;
      if (m < 0) return m;
      if (m < 1) continue;  // no tag part
      uint16_t symbols[kResultSymbols];
      const int n = CodesToSymbols(coded + 1, fsm_->header.esc_label, symbols, kResultSymbols);
      if (n == VTM_ERR_OUTPUT_TOO_LONG) return VTM_ERR_TOKEN_BUFFER_TOO_SMALL;
      if (n == 1 && got < capacity) out[got++] = symbols[0];
    }
    return got;
  }

  // Tags that the class guesser gives for w and its case variants.
  int Guess(const char* w) {
    if (guesser_ == kNoSubnet) return 0;
    uint16_t* out = b_->guess_tags;
    const int capacity = b_->guess_capacity;
    int r = Lookup(w, guesser_, nullptr, out, capacity);
    if (r < 0) return r;
    const std::size_t length = std::strlen(w);
    const bool fits = static_cast<uint64_t>(length) + 1 < static_cast<uint64_t>(b_->text_size);
    char* copy = b_->text_buffer;
    bool copied = false;
    if (AllCapsWord(w) && fits) {
      copy[0] = w[0];
      for (std::size_t x = 1; x <= length; ++x) {
        copy[x] = static_cast<char>(ToSmall(static_cast<uint8_t>(w[x])));
      }
      copied = true;
      const int more = Lookup(copy, guesser_, nullptr, out + r, capacity - r);
      if (more < 0) return more;
      r += more;
    }
    const uint8_t first = static_cast<uint8_t>(w[0]);
    if ((up_ || down_ || start_) && (up_ ? IsSmall(first) : IsCapital(first)) && fits) {
      if (!copied) std::memcpy(copy, w, length + 1);
      copy[0] = static_cast<char>(up_ ? ToCapital(first) : ToSmall(first));
      const int more = Lookup(copy, guesser_, nullptr, out + r, capacity - r);
      if (more < 0) return more;
      r += more;
    }
    return r;
  }

  const VtmTaggerRec& t_;
  VtmTaggerBufferRec* b_;
  VtmClientDict dict_;
  const VtmFsmRec* fsm_;
  int count_;
  bool title_ = false;
  bool first_lower_ = false;
  bool down_ = false;
  bool up_ = false;
  bool multi_ = false;
  bool start_ = true;
  int lexicon_ = kNoSubnet;
  int guesser_ = kNoSubnet;
  PositionObserver* observer_;
  int pos_ = 0;            // first token of the position being tagged
  int rows_used_ = 0;      // rows of tag_row_counts that may be non-zero
  bool cached_ = false;    // the buffer's token cache serves this call
  bool followed_ = false;  // the position's search went on into the next tokens
};

// One output string per token; returns the bytes written or VTM_ERR_OUTPUT_TOO_LONG.
int WriteOutput(const VtmTaggerRec& t, const VtmTaggerBufferRec& b, int count, char* out,
                int out_size) {
  int used = 0;
  int k = 0;
  for (int i = 0; i < count; ++i) {
    const char* text = "";
    if (b.blank_flags[i]) {
      text = "";
    } else if (b.mwt_flags[i]) {
      text = kMultiwordOutput;
    } else {
      text = t.tag_names[b.token_tags[k++]];
    }
    const std::size_t length = std::strlen(text);
    if (static_cast<uint64_t>(used) + length + 1 > static_cast<uint64_t>(out_size)) {
      return VTM_ERR_OUTPUT_TOO_LONG;
    }
    std::memcpy(out + used, text, length + 1);
    used += static_cast<int>(length) + 1;
  }
  return used;
}

int TagSentence(const char* tokens, int count, char* out, int out_size, int flags, VtmTagger tagger,
                VtmTaggerBuffer buffer, VtmClientDict dict, int* written,
                PositionObserver* observer = nullptr) {
  if (tokens == nullptr || out == nullptr || tagger == nullptr || buffer == nullptr) {
    return VTM_ERR_NULL_OBJECT;
  }
  if (int code = CheckObject(tagger)) return code;
  if (int code = CheckObject(buffer)) return code;
  if (out_size < 0 || count < 0) return VTM_ERR_INVALID_NUMBER;
  if ((flags & (VTM_TAG_CASE_EXACT | VTM_TAG_CASE_LOWER | VTM_TAG_CASE_UPPER)) == 0) {
    return VTM_ERR_INVALID_FUNCTION;
  }
  *written = 0;
  if (count == 0) return 0;
  if (FsmFunctionSubnet(tagger->clg, kFunctionClassLexicon) == kNoSubnet)
    return VTM_ERR_INVALID_FUNCTION;
  if (count > buffer->max_tokens) return VTM_ERR_TOO_MANY_TOKENS;
  SentenceTagger run(*tagger, buffer, dict, count, flags, observer);
  if (int code = run.Run(tokens); code < 0) return code;
  const int used = WriteOutput(*tagger, *buffer, count, out, out_size);
  if (used < 0) return used;
  *written = used;
  return count;
}

}  // namespace

int TagSentenceObserved(const char* tokens, int count, char* output, int output_size, int flags,
                        VtmTagger tagger, VtmTaggerBuffer buffer, VtmClientDict dict,
                        PositionObserver* observer) {
  int written = 0;
  return TagSentence(tokens, count, output, output_size, flags, tagger, buffer, dict, &written,
                     observer);
}

}  // namespace vtm

extern "C" VTMRT_API int vtm_tag_sentence(const char* tokens, int count, char* output,
                                          int output_size, int flags, VtmTagger tagger,
                                          VtmTaggerBuffer buffer, VtmClientDict dict,
                                          int /*reserved*/) {
  int written = 0;
  return vtm::TagSentence(tokens, count, output, output_size, flags, tagger, buffer, dict,
                          &written);
}

extern "C" VTMRT_API int vtmTagSentence(const char* tokens, char* output, int output_size,
                                        VtmTaggerBuffer buffer, int flags, VtmTagger tagger) {
  if (tokens == nullptr || output == nullptr || buffer == nullptr || tagger == nullptr) {
    return VTM_ERR_NULL_OBJECT;
  }
  if (int code = vtm::CheckObject(buffer)) return code;
  const int modes = (flags & 1) + ((flags >> 1) & 1) + ((flags >> 2) & 1) + ((flags >> 7) & 1);
  if (modes > 1 || (flags & VTM_TAG_MULTIWORD) != 0) return VTM_ERR_INVALID_FUNCTION;
  int count = 0;
  for (const char* t = tokens; *t != 0; t += std::strlen(t) + 1) ++count;
  if (flags == VTM_TAG_CASE_AUTO) {
    flags = VTM_TAG_CASE_EXACT | VTM_TAG_CASE_LOWER | VTM_TAG_CASE_UPPER;
  }
  int written = 0;
  const int r = vtm::TagSentence(tokens, count, output, output_size, flags, tagger, buffer,
                                 buffer->title_dict, &written);
  if (r < 0) return r;
  if (written >= output_size) return VTM_ERR_OUTPUT_TOO_LONG;
  output[written] = 0;
  return r;
}
