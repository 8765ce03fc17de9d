// A small cache of the tokenizer transducer's outputs for short chunks, owned by the
// tokenizer. Running text repeats its chunks (end., don't, I'm, Mr., it's): the walk
// over a chunk costs some thousand instructions, a hit a few dozen. A lookup depends
// only on the chunk's bytes for a given tokenizer (its transducer and lookup option
// never change), so a cached output is the output the walk would give. An entry holds
// the output text; once the output has been aligned with its chunk and every token of
// it turned out to copy its input, the entry holds the tokens instead (place, length
// and class within the chunk), which the alignment would give again for these bytes,
// so that a hit writes its records without aligning anything. Set-associative (four
// entries per set, kept in order of use), fixed size, allocated with the tokenizer: no
// allocation per call.
//
// The entries (2 MiB) do not fit in a core's own caches, so a lookup first reads its
// set's tag word (64 KiB for all sets): the order of use of the set's four entries, each
// with eight bits of its chunk's hash. Only an entry whose bits match is read and its
// chunk compared, so a miss reads no entry, a hit one cache line, and a hit that becomes
// the most recently used rewrites the tag word alone; entries never move. The chunk's
// bytes are hashed and compared as words loaded from it in place.
//
// Tested in tests/lib/tokenizer_chunk_test.cpp (against a reference model) and
// english_tokenizers_test.cpp.
#pragma once

#include <cstdint>

namespace vtm {

class ChunkCache {
 public:
  static constexpr int kMaxChunk = 23;   // longer chunks are not cached
  static constexpr int kMaxOutput = 37;  // nor outputs longer than this
  static constexpr int kMaxTokens = 9;   // tokens an entry holds in place of its output
  // 2 MiB. Running English text has many distinct chunks (a rare word with its full
  // stop): in one pass over the 10 MB text (141,689 chunks, 40,398 distinct) the walk
  // ran for 47,413 chunks with 32768 entries each in a fixed place, and for 41,897 with
  // the same entries in sets of four kept in order of use. A miss costs some 7,000
  // instructions, a hit a hundred.
  static constexpr uint32_t kWays = 4;
  static constexpr uint32_t kEntries = 32768;
  static constexpr uint32_t kSets = kEntries / kWays;

  // One token of a chunk that copies its input: chunk[offset, offset + length).
  struct Token {
    uint8_t offset;
    uint8_t length;
    uint16_t class_bits;
  };
  // What is cached for a chunk: its tokens when token_count is not 0, else its output.
  struct Cached {
    uint8_t token_count;
    union {
      char output[kMaxOutput + 1];  // NUL-terminated
      Token tokens[kMaxTokens];
    };
  };

  ChunkCache();

  // What is cached for the chunk, or null. A hit becomes the most recently used entry
  // of its set.
  Cached* Find(const char* chunk, int length);
  // Remembers the NUL-terminated output of the chunk, when both are short enough, as the
  // most recently used entry of its set; the least recently used one is dropped. The
  // chunk must not be cached already (Find missed it). Returns the entry, or null when
  // nothing was stored.
  Cached* Store(const char* chunk, int length, const char* output);
  // Puts the chunk's tokens, all of them copies of its input, in place of the output of
  // an entry that Find or Store gave; false (the entry unchanged) when there are more
  // than kMaxTokens. The tokens must be those that aligning the entry's output with its
  // chunk gives.
  static bool SetTokens(Cached* cached, const Token* tokens, int count);

  // The set that holds a chunk and the chunk's bits in its tag (for tests that model the
  // cache; a length from 1 to kMaxChunk). Chunks of one set that share their bits are
  // told apart by comparing them.
  static uint32_t SetOf(const char* chunk, int length);
  static uint32_t FingerprintOf(const char* chunk, int length);

 private:
  // A set's tag word: four 16-bit lanes, lane 0 the most recently used. A lane holds
  // the entry's place in the set (bits 0-1) and its chunk's fingerprint (bits 2-9, 1 to
  // 255); fingerprint 0 marks an empty entry. The places of the four lanes are always
  // 0 to 3 in some order.
  static constexpr uint64_t kEmptyTags = 0x0003000200010000ull;

  struct alignas(64) Entry {
    uint8_t length;  // of the chunk; 0: empty
    char chunk[kMaxChunk];
    Cached cached;
  };
  static_assert(sizeof(Entry) == 64);

  uint64_t tags_[kSets];
  // Set k: entries_[k * kWays, (k + 1) * kWays). Left uninitialized: an entry is read
  // only through a lane with a fingerprint, which Store gives it after writing the
  // entry's length, chunk and output, so a new cache touches 64 KiB of tags and no
  // page of entries until it is used.
  Entry entries_[kEntries];
};

}  // namespace vtm
