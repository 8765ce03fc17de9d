// Splitting a chunk with the tokenizer transducer: the chunk is looked up in the
// tokenizing mode (function 28, first result), into the tokenizer's scratch buffer,
// which doubles until the output fits. The output, tokens separated by single spaces,
// is aligned with the chunk: a token that copies its input span byte for byte points
// at it; one that departs from its input gets its text stored as a normalized form in
// the caller's string buffer. Tested in tests/lib/tokenizer_chunk_test.cpp.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "token/char_classes.h"
#include "token/tokenizer.h"

namespace vtm {
namespace {

// Runs the lookup, growing the scratch buffer on overflow; returns the lookup's result.
int RunTransducer(const char* chunk, int length, VtmTokenizerRec* tk) {
  for (;;) {
    const int rc =
        vtm_lookup_with_transduction(chunk, length, tk->scratch, static_cast<int>(tk->scratch_size),
                                     VTM_MODE_TOKENIZE, tk->fsm, nullptr, tk->lookup_option);
    if (rc != VTM_ERR_OUTPUT_TOO_LONG) return rc;
    // The size is passed as an int: growth ends where doubling would leave that range.
    if (tk->scratch_size > static_cast<uint32_t>(INT_MAX) / 2) return VTM_ERR_NO_MEMORY;
    const uint32_t size = tk->scratch_size * 2;
    char* larger = static_cast<char*>(std::malloc(size));
    if (larger == nullptr) return VTM_ERR_NO_MEMORY;
    std::free(tk->scratch);
    tk->scratch = larger;
    tk->scratch_size = size;
  }
}

// End of the output token starting at `from`: its first byte at or below 0x20.
int TokenEnd(const unsigned char* out, int from) {
  while (out[from] > 0x20) ++from;
  return from;
}

// First position q >= from at which needle (`n` bytes) lies wholly within chunk[0, L).
int FindIn(const unsigned char* chunk, int length, int from, const unsigned char* needle, int n) {
  for (int q = from; q + n <= length; ++q) {
    if (std::memcmp(chunk + q, needle, static_cast<std::size_t>(n)) == 0) return q;
  }
  return -1;
}

// Aligns the output O with the chunk S, appending records to *sink as it goes (on
// failure *sink holds the records and strings written so far; the caller takes them
// back).
class Aligner {
 public:
  Aligner(const unsigned char* out, const unsigned char* chunk, int length, int base,
          TokenSink* sink)
      : out_(out), chunk_(chunk), length_(length), base_(base), sink_(*sink) {}

  // Returns 0, or a negative code.
  int Run();

 private:
  bool Record(int cs, int j, uint32_t k, int32_t norm) {
    if (sink_.count == sink_.capacity) return false;
    VtmToken& t = sink_.tokens[sink_.count++];
    t.norm_offset = norm;
    t.offset = base_ + cs;
    t.length = j - cs;
    t.class_bits = k;
    return true;
  }
  uint32_t ClassOf(int from, int to) const { return OutputTokenClass(out_ + from, to - from); }

  const unsigned char* out_;
  const unsigned char* chunk_;
  int length_, base_;
  TokenSink& sink_;
};

int Aligner::Run() {
  const unsigned char* O = out_;
  const unsigned char* S = chunk_;
  const uint8_t* const classes = kByteClasses.data();
  const int L = length_;
  int i = 0, j = 0, os = 0, cs = 0;
  uint8_t all = 0xFF;  // class bits shared by the bytes of O[os, i)
  for (;;) {
    if (O[i] == ' ' || O[i] == 0) {
      // The output token O[os, i) copied S[cs, j).
      if (!Record(cs, j, CopiedTokenClass(O + os, i - os, all), -1)) return VTM_ERR_OUTPUT_TOO_LONG;
      if (O[i] == 0) break;
      ++i;
      if (j >= L || S[j] != O[i]) {
        // Input dropped or changed between two tokens: resume where the next one occurs.
        const int next_end = TokenEnd(O, i);
        const int q = FindIn(S, L, j, O + i, next_end - i);
        if (q >= 0) j = q;
      }
      cs = j;
      os = i;
      all = 0xFF;
    } else if (j < L && S[j] == O[i]) {
      all &= classes[O[i]];
      ++i;
      ++j;
    } else {
      // The output token departs from its input: it gets a normalized form.
      const int t = TokenEnd(O, i);
      const int e = O[t] == 0 ? t : t + 1;
      if (j < L) {
        if (O[e] == 0) {
          j = L;
        } else {
          const int q = FindIn(S, L, cs, O + e, TokenEnd(O, e) - e);
          j = q >= 0 ? q : L;
        }
      }
      const int n = t - os;
      if (!Record(cs, j, ClassOf(os, t), sink_.strings_used)) return VTM_ERR_OUTPUT_TOO_LONG;
      if (sink_.strings_size - sink_.strings_used < n + 1) return VTM_ERR_OUTPUT_TOO_LONG;
      std::memcpy(sink_.strings + sink_.strings_used, O + os, static_cast<std::size_t>(n));
      sink_.strings[sink_.strings_used + n] = 0;
      sink_.strings_used += n + 1;
      if (O[e] == 0) break;
      i = os = e;
      cs = j;
      all = 0xFF;
    }
  }
  return 0;
}

}  // namespace

uint32_t CopiedTokenClass(const unsigned char* token, int length, uint8_t all) {
  if (length > 0 && ByteIs(token[0], kByteOutWord))
    return (all & kByteOutWord) ? VTM_TOKEN_WORD : 0;
  if (length == 1 || (all & kByteSymbol)) return PunctClass(token[0]);
  return 0;
}

uint32_t OutputTokenClass(const unsigned char* token, int length) {
  if (length > 0 && ByteIs(token[0], kByteOutWord)) {
    for (int q = 1; q < length; ++q)
      if (!ByteIs(token[q], kByteOutWord)) return 0;
    return VTM_TOKEN_WORD;
  }
  if (length == 1) return PunctClass(token[0]);
  for (int q = 0; q < length; ++q)
    if (!ByteIs(token[q], kByteSymbol)) return 0;
  // An empty token (two separators in a row) takes the class of the separator byte.
  return PunctClass(token[0]);
}

namespace {

// Writes the cached tokens of the chunk at `start`; VTM_ERR_OUTPUT_TOO_LONG when they
// do not all fit (the alignment fails there too, with the same records before the
// first that does not fit).
int EmitCachedTokens(const ChunkCache::Cached& cached, int start, TokenSink* sink) {
  const int n = cached.token_count;
  if (sink->capacity - sink->count < n) return VTM_ERR_OUTPUT_TOO_LONG;
  VtmToken* t = sink->tokens + sink->count;
  for (int k = 0; k < n; ++k) {
    const ChunkCache::Token& c = cached.tokens[k];
    SetSpanToken(&t[k], start + c.offset, c.length, c.class_bits);
  }
  sink->count += n;
  return 0;
}

// After the entry's output has been aligned into the records from `first` on: when
// every one of them copies its input, the entry keeps them in place of the output.
void KeepTokens(ChunkCache::Cached* cached, int start, const TokenSink& sink, int first) {
  const int n = sink.count - first;
  if (n > ChunkCache::kMaxTokens) return;
  ChunkCache::Token tokens[ChunkCache::kMaxTokens];
  for (int k = 0; k < n; ++k) {
    const VtmToken& t = sink.tokens[first + k];
    if (t.norm_offset != -1) return;
    // A chunk of at most kMaxChunk bytes: every place and length fits in a byte, and
    // the class bits of a copied token in sixteen bits.
    tokens[k] =
        ChunkCache::Token{static_cast<uint8_t>(t.offset - start), static_cast<uint8_t>(t.length),
                          static_cast<uint16_t>(t.class_bits)};
  }
  ChunkCache::SetTokens(cached, tokens, n);
}

}  // namespace

int SplitChunk(const char* text, int start, int end, VtmTokenizerRec* tokenizer, TokenSink* sink) {
  const char* chunk = text + start;
  ChunkCache* cache = tokenizer->chunk_cache;
  ChunkCache::Cached* cached = cache != nullptr ? cache->Find(chunk, end - start) : nullptr;
  const char* output;
  if (cached != nullptr) {
    if (cached->token_count != 0) return EmitCachedTokens(*cached, start, sink);
    output = cached->output;
  } else {
    const int rc = RunTransducer(chunk, end - start, tokenizer);
    if (rc < 0) return rc;
    if (rc == 0) return VTM_ERR_INVALID_FSM;
    output = tokenizer->scratch;
    if (cache != nullptr) cached = cache->Store(chunk, end - start, output);
  }
  const int first = sink->count;
  Aligner aligner(reinterpret_cast<const unsigned char*>(output),
                  reinterpret_cast<const unsigned char*>(text + start), end - start, start, sink);
  const int rc = aligner.Run();
  if (rc == 0 && cached != nullptr) KeepTokens(cached, start, *sink, first);
  return rc;
}

}  // namespace vtm
