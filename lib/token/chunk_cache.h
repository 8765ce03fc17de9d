// A small cache of the tokenizer transducer's outputs for short chunks, owned by the
// tokenizer. Running text repeats its chunks (end., don't, I'm, Mr., it's): the walk
// over a chunk costs some thousand instructions, a hit a few dozen. A lookup depends
// only on the chunk's bytes for a given tokenizer (its transducer and lookup option
// never change), so a cached output is the output the walk would give. Set-associative
// (four entries per set, the most recently used first), fixed size, allocated with the
// tokenizer: no allocation per call. Tested in tests/lib/tokenizer_chunk_test.cpp
// (against a reference model) and english_tokenizers_test.cpp.
#pragma once

#include <cstdint>

namespace vtm {

class ChunkCache {
 public:
  static constexpr int kMaxChunk = 23;   // longer chunks are not cached
  static constexpr int kMaxOutput = 39;  // nor outputs longer than this
  // 2 MiB. Running English text has many distinct chunks (a rare word with its full
  // stop): in one pass over the 10 MB text (141,689 chunks, 40,398 distinct) the walk
  // ran for 47,413 chunks with 32768 entries each in a fixed place, and for 41,897 with
  // the same entries in sets of four kept in order of use. A miss costs some 7,000
  // instructions, a hit a hundred.
  static constexpr uint32_t kWays = 4;
  static constexpr uint32_t kEntries = 32768;
  static constexpr uint32_t kSets = kEntries / kWays;

  // The NUL-terminated output cached for the chunk, or null. A hit becomes the most
  // recently used entry of its set.
  const char* Find(const char* chunk, int length);
  // Remembers the NUL-terminated output of the chunk, when both are short enough, as the
  // most recently used entry of its set; the least recently used one is dropped. The
  // chunk must not be cached already (Find missed it).
  void Store(const char* chunk, int length, const char* output);

  // The set that holds a chunk (for tests that model the cache).
  static uint32_t SetOf(const char* chunk, int length);

 private:
  // The chunk's length and bytes, zero-padded: compared and hashed as three words.
  struct Key {
    uint8_t length;  // of the chunk; 0: empty
    char chunk[kMaxChunk];
  };
  static_assert(sizeof(Key) == 24);
  struct Entry {
    Key key;
    char output[kMaxOutput + 1];
  };
  static_assert(sizeof(Entry) == 64);
  static Key KeyOf(const char* chunk, int length);
  static uint32_t SetOfKey(const Key& key);

  Entry entries_[kEntries] = {};  // set k: entries_[k * kWays, (k + 1) * kWays)
};

}  // namespace vtm
