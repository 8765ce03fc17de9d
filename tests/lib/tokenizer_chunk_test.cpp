// Chunk splitting by the tokenizer transducer: aligning the output tokens with the
// chunk (copies, dropped input, departures with normalized forms), the classes of
// output tokens, the string buffer and record limits, chunk failures at and after
// byte 0, the scratch buffer that doubles and keeps its size, and the cache of chunk
// outputs against a reference model.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "support/token_fixtures.h"
#include "token/char_classes.h"
#include "token/tokenizer.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Tokens = std::vector<TokenOut>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

TokenOut T(int offset, int length, unsigned k) {
  return TokenOut{offset, length, k, -1, ""};
}
TokenOut N(int offset, int length, unsigned k, int norm_offset, const std::string& norm) {
  return TokenOut{offset, length, k, norm_offset, norm};
}

struct Mapped {
  explicit Mapped(const Pairs& pairs) : fsm(BuildTokenizerFsm(MappingAtt(pairs))) {
    tk.reset(vtm_make_tokenizer(fsm.get(), 0, nullptr));
    EXPECT_EQ(vtm_object_error_code(tk.get()), 0);
  }
  TokenizeRun Run(const std::string& text, int capacity = 64, int strings_size = 256) {
    return Tokenize(tk.get(), text, VTM_TOKENIZE_FINAL, capacity, strings_size);
  }
  FsmPtr fsm;
  TokenizerPtr tk;
};

TEST(ChunkAlign, CopiesDroppedInputAndDepartures) {
  Mapped m({{"a.b", "a.b"},
            {"a-b", "a b"},
            {"isn't", "is not"},
            {"ab-b", "ab b"},
            {"can't", "ca n't"},
            {"Mr.Smith", "Mister Smith"},
            {"x.y", "X Z"},
            {"e.g.", "e.g. ."},
            {"q-q", "q--q"}});
  // An output equal to the chunk: one record spanning it.
  EXPECT_EQ(m.Run("a.b").tokens, (Tokens{T(0, 3, 0)}));
  // Input dropped between tokens belongs to no token; offsets count from the text.
  EXPECT_EQ(m.Run("a-b").tokens, (Tokens{T(0, 1, 1), T(2, 1, 1)}));
  EXPECT_EQ(m.Run("zz a-b").tokens, (Tokens{T(0, 2, 1), T(3, 1, 1), T(5, 1, 1)}));
  EXPECT_EQ(m.Run("ab-b").tokens, (Tokens{T(0, 2, 1), T(3, 1, 1)}));
  // A departure: the token takes the rest of the chunk and a normalized form.
  EXPECT_EQ(m.Run("isn't").tokens, (Tokens{T(0, 2, 1), N(2, 3, 1, 0, "not")}));
  EXPECT_EQ(m.Run("can't").tokens, (Tokens{T(0, 2, 1), T(2, 3, 0)}));
  // A departure followed by a token found in the chunk: the span ends where it starts.
  EXPECT_EQ(m.Run("Mr.Smith").tokens, (Tokens{N(0, 3, 1, 0, "Mister"), T(3, 5, 1)}));
  // A next token found nowhere: the span runs to the chunk's end, the next one is empty.
  EXPECT_EQ(m.Run("x.y").tokens, (Tokens{N(0, 3, 1, 0, "X"), N(3, 0, 1, 2, "Z")}));
  // Normalized forms follow one another in the string buffer, from 0 in every call.
  EXPECT_EQ(m.Run("x.y isn't").tokens,
            (Tokens{N(0, 3, 1, 0, "X"), N(3, 0, 1, 2, "Z"), T(4, 2, 1), N(6, 3, 1, 4, "not")}));
  // The output repeats input: the second "." is searched from the token start.
  EXPECT_EQ(m.Run("e.g.").tokens, (Tokens{T(0, 4, 0), N(4, 0, 0x16, 0, ".")}));
  // A departure inside a symbol run: "q--q" departs at the second hyphen.
  EXPECT_EQ(m.Run("q-q").tokens, (Tokens{N(0, 3, 0, 0, "q--q")}));
}

TEST(ChunkAlign, ClassesOfOutputTokens) {
  Mapped m({{"U.S.", "U.S."},
            {"a--", "a --"},
            {"b...", "b ..."},
            {"c-+", "c -+"},
            {"d-x1", "d -x1"},
            {"\x8A"
             "a.",
             "\x8A"
             "a ."},
            {"f.\xD7", "f \xD7"}});
  EXPECT_EQ(m.Run("U.S.").tokens, (Tokens{T(0, 4, 0)}));
  EXPECT_EQ(m.Run("a--").tokens, (Tokens{T(0, 1, 1), T(1, 2, 0x02)}));
  EXPECT_EQ(m.Run("b...").tokens, (Tokens{T(0, 1, 1), T(1, 3, 0x16)}));
  EXPECT_EQ(m.Run("c-+").tokens, (Tokens{T(0, 1, 1), T(1, 2, 0x02)}));
  EXPECT_EQ(m.Run("d-x1").tokens, (Tokens{T(0, 1, 1), T(1, 3, 0)}));
  // 0x8A is a word character of output tokens (not of the scanner).
  EXPECT_EQ(m.Run("\x8A"
                  "a.")
                .tokens,
            (Tokens{T(0, 2, 1), T(2, 1, 0x16)}));
  // 0xD7 alone is a symbol.
  EXPECT_EQ(m.Run("f.\xD7").tokens, (Tokens{T(0, 1, 1), T(2, 1, 0x02)}));
  EXPECT_EQ(OutputTokenClass(reinterpret_cast<const unsigned char*>("\xBF\xA1"), 2), 0x0Au);
  EXPECT_EQ(OutputTokenClass(reinterpret_cast<const unsigned char*>(".a"), 2), 0u);
}

// The class of a token that copied its input, from the byte classes its bytes share,
// equals OutputTokenClass: every token of up to two bytes, and random longer ones.
TEST(ChunkAlign, ClassOfCopiedTokensFromSharedByteClasses) {
  auto check = [](const std::vector<unsigned char>& token, int* compared) {
    uint8_t all = 0xFF;
    for (unsigned char b : token) all &= kByteClasses[b];
    const int n = static_cast<int>(token.size());
    // The byte after the token (read for an empty one, as the aligner's separator).
    std::vector<unsigned char> padded = token;
    padded.push_back(' ');
    std::string bytes;
    for (unsigned char b : token) bytes += std::to_string(b) + " ";
    ASSERT_EQ(CopiedTokenClass(padded.data(), n, all), OutputTokenClass(padded.data(), n))
        << "bytes " << bytes;
    ++*compared;
  };
  int compared = 0;
  check({}, &compared);
  for (int a = 0; a < 256; ++a) {
    check({static_cast<unsigned char>(a)}, &compared);
    for (int b = 0; b < 256; ++b)
      check({static_cast<unsigned char>(a), static_cast<unsigned char>(b)}, &compared);
  }
  std::mt19937 rng(5);
  static const std::string kPool = "aZ9\xC0\x8A.-'$\xD7\x85\xA1;,!x\x81\x7F";
  for (int c = 0; c < 20000; ++c) {
    std::vector<unsigned char> token(3 + rng() % 6);
    for (unsigned char& b : token) b = static_cast<unsigned char>(kPool[rng() % kPool.size()]);
    check(token, &compared);
  }
  EXPECT_EQ(compared, 1 + 256 + 65536 + 20000);
}

TEST(ChunkLimits, StringBufferAndRecordArray) {
  Mapped m({{"isn't", "is not"}, {"a-b", "a b"}});
  // "not" and its NUL need four bytes.
  TokenizeRun r = m.Run("isn't", 64, 3);
  EXPECT_EQ(r.rc, VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(r.count, 0);
  r = m.Run("isn't", 64, 4);
  EXPECT_EQ(r.rc, 5);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 2, 1), N(2, 3, 1, 0, "not")}));
  // After byte 0 a chunk that does not fit stops the call before it, its records uncounted.
  r = m.Run("x isn't", 64, 3);
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 1, 1)}));
  r = m.Run("x a-b", 2);
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(r.count, 1);
  r = m.Run("a-b", 1);
  EXPECT_EQ(r.rc, VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(m.Run("a-b", 2).rc, 3);
}

TEST(ChunkFailures, AtAndAfterByteZero) {
  Mapped m({{"a-b", "a b"}, {"x.x", ""}});
  // A chunk the transducer cannot read: no result is VTM_ERR_INVALID_FSM.
  TokenizeRun r = m.Run("a-a e");
  EXPECT_EQ(r.rc, VTM_ERR_INVALID_FSM);
  EXPECT_EQ(r.count, 0);
  r = m.Run("a-b a-a e");
  EXPECT_EQ(r.rc, 4);
  EXPECT_EQ(r.count, 2);
  // A byte outside the alphabet: the lookup's own code.
  r = m.Run("a-\x81");
  EXPECT_EQ(r.rc, VTM_ERR_CHAR_NOT_IN_ALPHABET);
  r = m.Run("ab a-\x81");
  EXPECT_EQ(r.rc, 3);
  EXPECT_EQ(r.count, 1);
  // An empty output is one empty token.
  r = m.Run("x.x");
  EXPECT_EQ(r.tokens, (Tokens{T(0, 0, 0x02)}));
}

// Chunks met again are served from the tokenizer's cache: the same records and
// normalized forms, short or long; a chunk the transducer cannot read fails every time.
TEST(ChunkCache, RepeatsOutputsAndNeverKeepsFailures) {
  // A chunk too long for the cache (31 bytes).
  const std::string half(15, 'l'), long_chunk = half + "-" + half, long_out = half + " " + half;
  Mapped m({{"isn't", "is not"}, {"a-b", "a b"}, {long_chunk, long_out}});
  ASSERT_NE(m.tk->chunk_cache, nullptr);
  const Tokens want{T(0, 2, 1),  N(2, 3, 1, 0, "not"),  T(6, 1, 1),   T(8, 1, 1),
                    T(10, 2, 1), N(12, 3, 1, 4, "not"), T(16, 15, 1), T(32, 15, 1)};
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(m.Run("isn't a-b isn't " + long_chunk).tokens, want) << round;
    EXPECT_EQ(m.Run("a-a").rc, VTM_ERR_INVALID_FSM) << round;
  }
}

// The cache against a plain model of it: per set, a list of at most four chunks, the
// most recently used first. A pool of random chunks that fall in 16 of the sets (ten
// or so each, so entries are dropped all the time), half of them with one of three
// fingerprints (so that chunks of a set share them and only comparing tells them
// apart), and some too long to keep or empty; outputs of up to 45 bytes (some too
// long). Every lookup must hit or miss as the model does, and a hit must give the
// stored output, or the tokens that were put in its place (up to kMaxTokens of them;
// more leave the output).
TEST(ChunkCache, KeepsTheFourMostRecentlyUsedChunksOfEachSet) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> length(1, 30), byte(0x21, 0xFF), out_length(0, 45);
  std::vector<std::string> pool(1, "");
  while (pool.size() < 180) {
    std::string chunk;
    for (int k = length(rng); k > 0; --k) chunk.push_back(static_cast<char>(byte(rng)));
    const int n = static_cast<int>(chunk.size());
    const bool kept =
        n > ChunkCache::kMaxChunk
            ? pool.size() % 20 == 0
            : ChunkCache::SetOf(chunk.data(), n) < 16 &&
                  (pool.size() % 2 == 0 || ChunkCache::FingerprintOf(chunk.data(), n) <= 3);
    if (kept) pool.push_back(chunk);
  }
  // Pairs of the pool in one set with one fingerprint.
  int shared = 0;
  for (std::size_t i = 0; i < pool.size(); ++i)
    for (std::size_t j = i + 1; j < pool.size(); ++j) {
      const auto& a = pool[i];
      const auto& b = pool[j];
      const int na = static_cast<int>(a.size()), nb = static_cast<int>(b.size());
      if (na == 0 || nb == 0 || na > ChunkCache::kMaxChunk || nb > ChunkCache::kMaxChunk) continue;
      shared += ChunkCache::SetOf(a.data(), na) == ChunkCache::SetOf(b.data(), nb) &&
                ChunkCache::FingerprintOf(a.data(), na) == ChunkCache::FingerprintOf(b.data(), nb);
    }
  ASSERT_GE(shared, 20);
  auto cache = std::make_unique<ChunkCache>();
  std::map<uint32_t, std::deque<std::string>> model;  // set -> chunks, most recent first
  std::map<std::string, std::string> outputs;
  std::map<std::string, std::vector<ChunkCache::Token>> tokens;  // in place of the output
  std::uniform_int_distribution<int> token_count(0, ChunkCache::kMaxTokens + 1);
  // Now and then puts random tokens in place of a cached output, as the model says.
  auto maybe_set_tokens = [&](ChunkCache::Cached* cached, const std::string& chunk) {
    if (rng() % 3 != 0) return;
    std::vector<ChunkCache::Token> t(static_cast<std::size_t>(token_count(rng)));
    for (ChunkCache::Token& k : t)
      k = ChunkCache::Token{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                            static_cast<uint16_t>(rng())};
    const bool kept = ChunkCache::SetTokens(cached, t.data(), static_cast<int>(t.size()));
    ASSERT_EQ(kept, !t.empty() && t.size() <= static_cast<std::size_t>(ChunkCache::kMaxTokens));
    if (kept) tokens[chunk] = t;
  };
  int token_hits = 0;
  std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
  int hits = 0, misses = 0;
  for (int op = 0; op < 100000; ++op) {
    const std::string& chunk = pool[pick(rng)];
    const int n = static_cast<int>(chunk.size());
    const ChunkCache::Cached* found = cache->Find(chunk.data(), n);
    const bool cacheable = n > 0 && n <= ChunkCache::kMaxChunk;
    std::deque<std::string>& set = model[cacheable ? ChunkCache::SetOf(chunk.data(), n) : ~0u];
    auto at = std::find(set.begin(), set.end(), chunk);
    const bool model_hit = at != set.end();
    ASSERT_EQ(found != nullptr, model_hit) << op;
    if (model_hit) {
      if (auto t = tokens.find(chunk); t != tokens.end()) {
        ASSERT_EQ(found->token_count, t->second.size()) << op;
        for (std::size_t k = 0; k < t->second.size(); ++k) {
          ASSERT_EQ(found->tokens[k].offset, t->second[k].offset) << op;
          ASSERT_EQ(found->tokens[k].length, t->second[k].length) << op;
          ASSERT_EQ(found->tokens[k].class_bits, t->second[k].class_bits) << op;
        }
        ++token_hits;
      } else {
        ASSERT_EQ(found->token_count, 0) << op;
        ASSERT_EQ(std::string(found->output), outputs[chunk]) << op;
        maybe_set_tokens(cache->Find(chunk.data(), n), chunk);
      }
      set.erase(at);
      set.push_front(chunk);
      ++hits;
      continue;
    }
    ++misses;
    std::string output(static_cast<std::size_t>(out_length(rng)), 'o');
    if (!output.empty()) output[0] = static_cast<char>('A' + op % 26);
    ChunkCache::Cached* stored = cache->Store(chunk.data(), n, output.c_str());
    const bool fits = output.size() <= static_cast<std::size_t>(ChunkCache::kMaxOutput);
    ASSERT_EQ(stored != nullptr, cacheable && fits) << op;
    if (!cacheable || !fits) continue;
    outputs[chunk] = output;
    tokens.erase(chunk);
    maybe_set_tokens(stored, chunk);
    set.push_front(chunk);
    if (set.size() > ChunkCache::kWays) set.pop_back();
  }
  EXPECT_EQ(hits + misses, 100000);
  EXPECT_GT(hits, 20000);
  EXPECT_GT(misses, 20000);
  EXPECT_GT(token_hits, 5000);
}

TEST(ChunkScratch, DoublesOnOverflowAndKeepsItsSize) {
  const std::string long1(1500, 'w'), long2(3000, 'v');
  Mapped m({{"l.1", long1}, {"l.2", long2}, {"s.s", "s s"}});
  EXPECT_EQ(m.tk->scratch_size, 1024u);
  TokenizeRun r = m.Run("s.s");
  EXPECT_EQ(r.tokens, (Tokens{T(0, 1, 1), T(2, 1, 1)}));
  EXPECT_EQ(m.tk->scratch_size, 1024u);
  r = m.Run("l.1", 64, 4096);
  EXPECT_EQ(r.tokens, (Tokens{N(0, 3, 1, 0, long1)}));
  EXPECT_EQ(m.tk->scratch_size, 2048u);
  r = m.Run("l.2", 64, 4096);
  EXPECT_EQ(r.tokens, (Tokens{N(0, 3, 1, 0, long2)}));
  EXPECT_EQ(m.tk->scratch_size, 4096u);
  m.Run("s.s");
  EXPECT_EQ(m.tk->scratch_size, 4096u);
}

}  // namespace
}  // namespace vtm
