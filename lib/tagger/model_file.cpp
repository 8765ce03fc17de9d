// The tagger model file reader (vtm_make_tagger) and vtm_free_tagger.
//
// File: little-endian 32-bit words; a 12-byte header (byte 4 = 14, byte 7 = language),
// the version line of the class transducer, a comment ended by a zero byte, a reserved
// word, max_class_size, tag_count, class_count, the tag names and an empty string, the
// class strings and an empty string, a check word equal to tag_count, the initial
// scores, the transition rows (length, then scores) and the emission entries of every
// class (count, then tag/score pairs). The word 2147483647 reads as the end of the file
// and a byte 0xFF in a string ends it too. Every count and tag number is checked before
// it is used, and no partial tagger is ever returned.
// Tested in tests/lib/tagger_model_test.cpp and tests/fuzz/fuzz_tagger_model.cpp.
#include <cstdlib>
#include <cstring>

#include "frame/frame.h"
#include "fst/fsm.h"
#include "fst/fsm_file.h"
#include "lookup/coding.h"
#include "tagger/tagger.h"

namespace vtm {
namespace {

constexpr uint8_t kModelFileType = 14;
constexpr uint32_t kEndOfFileWord = 2147483647;
constexpr int kMaxString = 255;
constexpr int kVersionArea = 32;
constexpr int kKeyArea = 1024;
// Capability bit of a transducer that offers functions 60 and 61.
constexpr uint32_t kTaggingCapability = 0x010;

class ModelReader {
 public:
  bool Open(const char* path) { return file_.Open(path); }

  // Next byte, or -1 at the end of the file.
  int Byte() {
    if (pos_ == end_) {
      if (done_) return -1;
      const int32_t got = file_.ReadSome(buffer_, sizeof buffer_);
      if (got <= 0) {
        done_ = true;
        return -1;
      }
      pos_ = 0;
      end_ = static_cast<uint32_t>(got);
    }
    return buffer_[pos_++];
  }

  bool Bytes(uint8_t* out, int count) {
    for (int k = 0; k < count; ++k) {
      const int b = Byte();
      if (b < 0) return false;
      out[k] = static_cast<uint8_t>(b);
    }
    return true;
  }

  // A little-endian word; false at the end of the file (or for the word that stands
  // for it).
  bool Word(uint32_t* w) {
    uint8_t b[4];
    if (!Bytes(b, 4)) return false;
    *w = b[0] | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    return *w != kEndOfFileWord;
  }
  bool Score(int32_t* s) {
    uint32_t w;
    if (!Word(&w)) return false;
    *s = static_cast<int32_t>(w);
    return true;
  }

  // A zero-terminated string of at most 255 bytes into `out` (256 bytes); its length,
  // or -1 (end of file, a byte 0xFF, or too long).
  int String(char* out) {
    for (int k = 0; k <= kMaxString; ++k) {
      const int b = Byte();
      if (b < 0 || b == 0xFF) return -1;
      out[k] = static_cast<char>(b);
      if (b == 0) return k;
    }
    return -1;
  }

  // The version line (at most 31 bytes before the newline) into `out`.
  bool VersionLine(char* out) {
    for (int k = 0; k < kVersionArea; ++k) {
      const int b = Byte();
      if (b <= 0) return false;
      if (b == '\n') {
        out[k] = 0;
        return true;
      }
      out[k] = static_cast<char>(b);
    }
    return false;
  }

  bool SkipComment() {
    for (;;) {
      const int b = Byte();
      if (b < 0) return false;
      if (b == 0) return true;
    }
  }

 private:
  FsmFile file_;
  uint8_t buffer_[4096];
  uint32_t pos_ = 0;
  uint32_t end_ = 0;
  bool done_ = false;
};

template <typename T>
T* Allocate(uint64_t count) {
  if (count > SIZE_MAX / sizeof(T) / 2) return nullptr;
  return static_cast<T*>(std::calloc(count == 0 ? 1 : static_cast<std::size_t>(count), sizeof(T)));
}

// Key of a class string: its tag symbols, ascending, without duplicates and without the
// multi-word marker. Returns the key length, or -1 when the string cannot be coded or
// leaves no symbol.
int BuildClassKey(const char* text, const VtmFsmRec* fsm, int32_t mwt_symbol, uint16_t* key) {
  uint8_t coded[kKeyArea];
  CoderOptions options;
  options.tags = true;
  const int m = EncodeText(text, kNulTerminated, coded, kKeyArea, options, fsm);
  if (m < 1) return -1;
  uint16_t symbols[kKeyArea];
  const int n = CodesToSymbols(coded + 1, fsm->header.esc_label, symbols, kKeyArea);
  if (n < 1) return -1;
  // Sort (insertion; keys are short), drop duplicates and the marker.
  int kept = 0;
  for (int k = 0; k < n; ++k) {
    const uint16_t s = symbols[k];
    if (static_cast<int32_t>(s) == mwt_symbol) continue;
    int at = kept;
    while (at > 0 && key[at - 1] > s) --at;
    if (at > 0 && key[at - 1] == s) continue;
    std::memmove(key + at + 1, key + at, sizeof(uint16_t) * static_cast<std::size_t>(kept - at));
    key[at] = s;
    ++kept;
  }
  return kept >= 1 ? kept : -1;
}

class TaggerLoader {
 public:
  TaggerLoader(const char* path, VtmFsm fsm) : path_(path), fsm_(fsm) {}
  ~TaggerLoader() { vtm_free_tagger(t_); }

  // The finished tagger, or an error object; on failure all that was built is freed.
  VtmTagger Load() {
    const int code = Run();
    if (code < 0) return static_cast<VtmTagger>(ErrorObject(code));
    VtmTagger done = t_;
    t_ = nullptr;
    return done;
  }

 private:
  int Run() {
    if (!in_.Open(path_)) return VTM_ERR_FILE_OPEN;
    uint8_t header[12];
    if (!in_.Bytes(header, 12) || header[4] != kModelFileType) return VTM_ERR_BAD_FILE;
    char version[kVersionArea];
    if (!in_.VersionLine(version)) return VTM_ERR_BAD_FILE;
    char fsm_version[kVersionArea];
    const int v = vtm_fsm_version(fsm_version, kVersionArea, fsm_);
    if (v < 0) return v;
    if (header[7] != fsm_->header.language || std::strcmp(version, fsm_version) != 0) {
      return VTM_ERR_MODEL_MISMATCH;
    }
    if (!in_.SkipComment()) return VTM_ERR_BAD_FILE;
    uint32_t reserved, max_class_size, tag_count, class_count;
    if (!in_.Word(&reserved) || !in_.Word(&max_class_size) || !in_.Word(&tag_count) ||
        !in_.Word(&class_count)) {
      return VTM_ERR_BAD_FILE;
    }
    if (int code = MakeRecord(max_class_size, tag_count, class_count); code < 0) return code;
    if (int code = ReadTagNames(); code < 0) return code;
    if (int code = ReadClassStrings(); code < 0) return code;
    if (t_->tag_count == 0 || t_->class_count == 0) return VTM_ERR_BAD_FILE;
    if (int code = AllocateStores(); code < 0) return code;
    uint32_t check;
    if (!in_.Word(&check) || static_cast<int32_t>(check) != t_->tag_count) return VTM_ERR_BAD_FILE;
    for (int k = 0; k < t_->tag_count; ++k) {
      if (!in_.Score(&t_->initial_scores[k])) return VTM_ERR_BAD_FILE;
    }
    if (int code = ReadTransitions(); code < 0) return code;
    return ReadEmissions();
  }

  int MakeRecord(uint32_t max_class_size, uint32_t tag_count, uint32_t class_count) {
    t_ = Allocate<VtmTaggerRec>(1);
    if (t_ == nullptr) return VTM_ERR_NO_MEMORY;
    t_->tag_count = static_cast<int16_t>(tag_count);
    t_->class_count = static_cast<uint16_t>(class_count);
    t_->max_class_size = max_class_size;
    t_->clg = fsm_;
    // A count that reads as negative in 16 bits can size nothing.
    if (t_->tag_count < 0) return VTM_ERR_BAD_FILE;
    t_->tag_names = Allocate<char*>(static_cast<uint64_t>(t_->tag_count));
    t_->class_table.heads = Allocate<VtmClassEntry*>(kClassChains);
    t_->class_table.entries = Allocate<VtmClassEntry>(t_->class_count);
    t_->class_table.capacity = t_->class_count;
    if (t_->tag_names == nullptr || t_->class_table.heads == nullptr ||
        t_->class_table.entries == nullptr) {
      return VTM_ERR_NO_MEMORY;
    }
    return 0;
  }

  int ReadTagNames() {
    char name[kMaxString + 1];
    for (int k = 0; k < t_->tag_count; ++k) {
      const int n = in_.String(name);
      if (n < 0) return VTM_ERR_BAD_FILE;
      t_->tag_names[k] = Allocate<char>(static_cast<uint64_t>(n) + 1);
      if (t_->tag_names[k] == nullptr) return VTM_ERR_NO_MEMORY;
      std::memcpy(t_->tag_names[k], name, static_cast<std::size_t>(n) + 1);
    }
    if (in_.String(name) != 0) return VTM_ERR_BAD_FILE;
    return 0;
  }

  int ReadClassStrings() {
    const int32_t mwt = MultiwordSymbol(fsm_);
    char text[kMaxString + 1];
    uint16_t key[kKeyArea];
    for (int32_t number = 0;; ++number) {
      const int n = in_.String(text);
      if (n < 0) return VTM_ERR_BAD_FILE;
      if (n == 0) return ClassTableIndex(&t_->class_table) ? 0 : VTM_ERR_NO_MEMORY;
      for (int k = 0; k < n; ++k) t_->class_tag_total += text[k] == '[';
      const int size = BuildClassKey(text, fsm_, mwt, key);
      if (size < 0) return VTM_ERR_BAD_FILE;
      const uint32_t u = static_cast<uint32_t>(size);
      if (ClassTableExact(t_->class_table, key, u) >= 0) return VTM_ERR_BAD_FILE;
      if (t_->class_table.used >= t_->class_table.capacity) return VTM_ERR_NO_MEMORY;
      if (!ClassTableInsert(&t_->class_table, key, u, number)) return VTM_ERR_NO_MEMORY;
    }
  }

  int AllocateStores() {
    const uint64_t total =
        static_cast<uint64_t>(t_->tag_count) + static_cast<uint32_t>(t_->class_tag_total);
    t_->score_store = Allocate<int32_t>(total);
    t_->index_store = Allocate<int16_t>(total);
    t_->emission_rows = Allocate<int32_t*>(t_->class_count);
    t_->class_tags = Allocate<int16_t*>(t_->class_count);
    t_->class_sizes = Allocate<uint8_t>(t_->class_count);
    t_->transition_rows = Allocate<int32_t*>(static_cast<uint64_t>(t_->tag_count));
    if (t_->score_store == nullptr || t_->index_store == nullptr || t_->emission_rows == nullptr ||
        t_->class_tags == nullptr || t_->class_sizes == nullptr || t_->transition_rows == nullptr) {
      return VTM_ERR_NO_MEMORY;
    }
    t_->initial_scores = t_->score_store;
    t_->transition_lengths = t_->index_store;
    return 0;
  }

  int ReadTransitions() {
    const uint32_t tags = static_cast<uint32_t>(t_->tag_count);
    for (uint32_t t = 0; t < tags; ++t) {
      uint32_t length;
      if (!in_.Word(&length) || length > tags) return VTM_ERR_BAD_FILE;
      t_->transition_lengths[t] = static_cast<int16_t>(length);
      t_->transition_rows[t] = Allocate<int32_t>(length);
      if (t_->transition_rows[t] == nullptr) return VTM_ERR_NO_MEMORY;
      for (uint32_t p = 0; p < length; ++p) {
        if (!in_.Score(&t_->transition_rows[t][p])) return VTM_ERR_BAD_FILE;
      }
    }
    return 0;
  }

  int ReadEmissions() {
    const uint32_t tags = static_cast<uint32_t>(t_->tag_count);
    const uint32_t total = static_cast<uint32_t>(t_->class_tag_total);
    uint32_t used = 0;
    for (uint32_t c = 0; c < t_->class_count; ++c) {
      uint32_t entries;
      if (!in_.Word(&entries)) return VTM_ERR_BAD_FILE;
      // A class with no member tag could not be decoded; it is a damaged file too.
      if (entries == 0 || entries > t_->max_class_size || entries > 255 || entries > total - used) {
        return VTM_ERR_BAD_FILE;
      }
      t_->class_sizes[c] = static_cast<uint8_t>(entries);
      t_->emission_rows[c] = t_->score_store + tags + used;
      t_->class_tags[c] = t_->index_store + tags + used;
      for (uint32_t j = 0; j < entries; ++j) {
        uint32_t tag;
        if (!in_.Word(&tag) || tag >= tags) return VTM_ERR_BAD_FILE;
        t_->class_tags[c][j] = static_cast<int16_t>(tag);
        if (!in_.Score(&t_->emission_rows[c][j])) return VTM_ERR_BAD_FILE;
      }
      used += entries;
    }
    return 0;
  }

  const char* path_;
  VtmFsm fsm_;
  ModelReader in_;
  VtmTaggerRec* t_ = nullptr;
};

}  // namespace
}  // namespace vtm

extern "C" VTMRT_API VtmTagger vtm_make_tagger(const char* path, VtmFsm fsm) {
  if (path == nullptr || fsm == nullptr) {
    return static_cast<VtmTagger>(vtm::ErrorObject(VTM_ERR_NULL_OBJECT));
  }
  if (vtm::IsErrorObject(fsm)) return static_cast<VtmTagger>(vtm::ErrorObject(VTM_ERR_INVALID_FSM));
  if ((vtm_fsm_capabilities(fsm) & vtm::kTaggingCapability) == 0) {
    return static_cast<VtmTagger>(vtm::ErrorObject(VTM_ERR_INVALID_FUNCTION));
  }
  vtm::TaggerLoader loader(path, fsm);
  return loader.Load();
}

extern "C" VTMRT_API void vtm_free_tagger(VtmTagger tagger) {
  if (!vtm::IsRealObject(tagger)) return;
  if (tagger->tag_names != nullptr) {
    for (int k = 0; k < tagger->tag_count; ++k) std::free(tagger->tag_names[k]);
  }
  if (tagger->transition_rows != nullptr) {
    for (int k = 0; k < tagger->tag_count; ++k) std::free(tagger->transition_rows[k]);
  }
  std::free(tagger->tag_names);
  std::free(tagger->transition_rows);
  vtm::FreeClassTable(&tagger->class_table);
  std::free(tagger->score_store);
  std::free(tagger->index_store);
  std::free(tagger->emission_rows);
  std::free(tagger->class_tags);
  std::free(tagger->class_sizes);
  std::free(tagger);
}

extern "C" VTMRT_API VtmTagger vtmMakeTagger(const char* path, VtmFsm fsm) {
  return vtm_make_tagger(path, fsm);
}

extern "C" VTMRT_API void vtmFreeTagger(VtmTagger tagger) {
  vtm_free_tagger(tagger);
}
