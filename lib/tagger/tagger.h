// Records of the part-of-speech tagger (the model and the per-caller buffer) and the
// internal operations that the model loader, the buffer maker and sentence tagging share:
// the symbol-number rule, the class table and the saturating score addition.
// Tested in tests/lib/tagger_*_test.cpp.
#pragma once

#include <cstdint>

#include "tagger/nearest_memo.h"
#include "tagger/token_cache.h"
#include "vtmrt.h"

namespace vtm {

inline constexpr uint32_t kClassChains = 1009;

// One class of the table: its key is an ascending, duplicate-free list of tag symbol
// numbers of the class transducer.
struct VtmClassEntry {
  VtmClassEntry* next;  // next entry of the same chain
  int32_t class_number;
  uint32_t size;      // symbols in the key
  uint16_t* symbols;  // owned
};

// An entry as the nearest lookup visits it. `mask` has bit s % 64 set for every symbol
// s of the key, so that the popcount of (mask & token mask) bounds the symbols that the
// key shares with a token's key from above.
struct VtmClassScan {
  uint64_t mask;
  uint32_t size;
  int32_t class_number;
  const uint16_t* symbols;  // the entry's
};

struct VtmClassTable {
  VtmClassEntry** heads;   // kClassChains chain heads, owned
  VtmClassEntry* entries;  // capacity entries, used in order, owned
  uint32_t used;
  uint32_t capacity;
  // The used entries in the nearest lookup's visiting order (chains 0 to 1008, each from
  // its head), made by ClassTableIndex once every key is in; null before that and after
  // any later insertion. Owned.
  VtmClassScan* scan;
  // Made with the scan order, owned, null alike: the scan positions ordered by key size
  // (ascending positions within a size), and where each size's run begins:
  // by_size[size_starts[m] .. size_starts[m + 1]) hold the keys of m symbols, for m up
  // to `max_size`.
  uint32_t* by_size;
  uint32_t* size_starts;  // max_size + 3 (the last one unused)
  uint32_t max_size;
};

}  // namespace vtm

struct VtmTaggerRec {
  uint32_t max_class_size;
  int32_t class_tag_total;
  int16_t tag_count;
  uint16_t class_count;
  VtmFsm clg;  // the class transducer; not owned
  vtm::VtmClassTable class_table;
  char** tag_names;             // tag_count owned strings
  int32_t* score_store;         // initial scores, then the emission rows of every class
  int16_t* index_store;         // transition lengths, then the member tags of every class
  int32_t* initial_scores;      // = score_store
  int32_t** emission_rows;      // class_count rows into score_store
  int16_t** class_tags;         // class_count rows into index_store
  uint8_t* class_sizes;         // class_count member counts
  int32_t** transition_rows;    // tag_count owned rows
  int16_t* transition_lengths;  // = index_store
};

struct VtmTaggerBufferRec {
  int32_t tag_count;
  int32_t max_tokens;
  int32_t tagged_count;
  VtmClientDict title_dict;  // owned when made by vtmMakeTaggerBuffer, else null
  uint8_t* blank_flags;
  uint8_t* mwt_flags;
  int32_t mwt_symbol;  // a negative code when the transducer has no "__mwt"
  char* text_buffer;
  int32_t text_size;
  uint16_t* tag_store;
  uint16_t** tag_rows;      // max_tokens + 1; entry 0 unused
  int32_t* tag_row_counts;  // max_tokens + 1; entry 0 unused
  uint8_t* coded_buffer;
  int32_t coded_size;
  uint16_t* guess_tags;
  int32_t guess_capacity;
  uint16_t* token_classes;  // class numbers reach 65535 (class_count is unsigned)
  uint16_t* token_tags;
  int32_t* score_prev;  // score_prev and score_next are the halves of one allocation
  int32_t* score_next;
  uint8_t* back_store;
  uint8_t** back_rows;
  vtm::TokenCache token_cache;    // classes of tokens met before; owned
  vtm::NearestMemo nearest_memo;  // nearest classes of tag sets met before; owned
};

namespace vtm {

inline constexpr int32_t kLowestScore = INT32_MIN;

// Saturating score sum: a sum that is not negative (zero, or wrapped past the lowest
// score) is the lowest score.
inline int32_t ScoreAdd(int32_t a, int32_t b) {
  const int32_t s = static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
  return s >= 0 ? kLowestScore : s;
}

// Symbol-number rule: each base code b gives b >> 2, and every esc_label byte after it
// adds 64. Converts into `out` of `capacity`; returns the count, or
// VTM_ERR_OUTPUT_TOO_LONG when `capacity` symbols have been stored (so a string
// converts only when it has fewer than `capacity` symbols).
int CodesToSymbols(const uint8_t* codes, uint8_t esc_label, uint16_t* out, int capacity);

// Symbol number of "[__mwt]" in the class transducer, or a negative code when the
// transducer cannot code it.
int32_t MultiwordSymbol(const VtmFsmRec* fsm);

// Class table. Keys are sorted and duplicate-free.
uint32_t ClassKeyHash(const uint16_t* key, uint32_t n);
// Adds a key (copied) at the head of its chain; false on allocation failure. The caller
// checks for duplicates and for room first.
bool ClassTableInsert(VtmClassTable* table, const uint16_t* key, uint32_t n, int32_t class_number);
// Class number of the key, or -1.
int32_t ClassTableExact(const VtmClassTable& table, const uint16_t* key, uint32_t n);
// Makes the table's scan order; false on allocation failure (the table stays usable).
bool ClassTableIndex(VtmClassTable* table);
// Class whose key is nearest by ClassDistance (first met on ties), 0 for an empty table.
// With the scan order made, entries whose bound cannot beat the best so far are skipped
// (same result, fewer distances computed).
int32_t ClassTableNearest(const VtmClassTable& table, const uint16_t* key, uint32_t n);
int32_t ClassDistance(const uint16_t* token, uint32_t n, const uint16_t* key, uint32_t m);
// Sorts `symbols` in place, drops duplicates and `mwt_symbol`, and returns the class:
// exact match, else the nearest (through `memo` when one is given); class 0 for n = 0.
int32_t ResolveClass(const VtmTaggerRec& tagger, uint16_t* symbols, uint32_t n, int32_t mwt_symbol,
                     NearestMemo* memo = nullptr);
void FreeClassTable(VtmClassTable* table);

// vtm_make_tagger_buffer with a token cache of `cache_slots` slots and a nearest-class
// memo of a sixteenth as many entries (at least one; 0 slots: neither).
VtmTaggerBuffer MakeTaggerBuffer(int max_tokens, int max_chars, VtmTagger tagger,
                                 uint32_t cache_slots);
// vtmMakeTaggerBuffer with a token cache of `cache_slots` slots: the buffer owns a title
// dictionary of the exceptions that keep their capital.
VtmTaggerBuffer MakeTitledTaggerBuffer(int max_tokens, int max_chars, VtmTagger tagger,
                                       uint32_t cache_slots);

// Viterbi decoding of the buffer's tagged positions into token_tags.
void DecodeTags(const VtmTaggerRec& tagger, VtmTaggerBufferRec* buffer);

// Tag symbols found for each tagged position, before they are resolved to a class. The
// trainer uses it to learn the classes that tagging will actually meet; tagging itself
// passes none.
class PositionObserver {
 public:
  virtual ~PositionObserver() = default;
  // A pass begins: the positions reported before it are superseded.
  virtual void StartPass() = 0;
  // Position k covers tokens first .. first + covered - 1; `symbols` (n of them) came
  // from the lexicon (or the client dictionary) or, when `guessed`, from the guesser.
  virtual void Position(int k, int first, int covered, const uint16_t* symbols, uint32_t n,
                        bool guessed) = 0;
};

// vtm_tag_sentence with an observer of the positions of the last pass.
int TagSentenceObserved(const char* tokens, int count, char* output, int output_size, int flags,
                        VtmTagger tagger, VtmTaggerBuffer buffer, VtmClientDict dict,
                        PositionObserver* observer);

}  // namespace vtm
