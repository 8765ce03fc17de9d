// A small cache of the tokenizer transducer's outputs for short chunks, owned by the
// tokenizer. Running text repeats its chunks (end., don't, I'm, Mr., it's): the walk
// over a chunk costs some thousand instructions, a hit a few dozen. A lookup depends
// only on the chunk's bytes for a given tokenizer (its transducer and lookup option
// never change), so a cached output is the output the walk would give. Direct-mapped,
// fixed size, allocated with the tokenizer: no allocation per call. Tested in
// tests/lib/english_tokenizers_test.cpp and tokenizer_chunk_test.cpp.
#pragma once

#include <cstdint>

namespace vtm {

class ChunkCache {
 public:
  static constexpr int kMaxChunk = 23;   // longer chunks are not cached
  static constexpr int kMaxOutput = 39;  // nor outputs longer than this
  // 2 MiB. Running English text has many distinct chunks (a rare word with its full
  // stop): on 10 MB of it, 4096 entries serve 51 % of the chunks, 16384 63 %, 32768 67 %
  // and an unbounded cache 72 %; a miss costs some 7,000 instructions, a hit a hundred.
  static constexpr uint32_t kEntries = 32768;

  // The NUL-terminated output cached for the chunk, or null.
  const char* Find(const char* chunk, int length) const;
  // Remembers the NUL-terminated output of the chunk, when both are short enough.
  void Store(const char* chunk, int length, const char* output);

 private:
  struct Entry {
    uint8_t length;  // of the chunk; 0: empty
    char chunk[kMaxChunk];
    char output[kMaxOutput + 1];
  };
  static_assert(sizeof(Entry) == 64);
  static uint32_t Slot(const char* chunk, int length);

  Entry entries_[kEntries] = {};
};

}  // namespace vtm
