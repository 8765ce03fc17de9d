// The training run of the profile-guided library build (profile_guided.cmake): a typical
// use of the library through its C API alone. Each tokenizer transducer tokenizes every
// text, as plain text and as HTML, in 64 KiB pieces under the calling protocol (the way
// `vtm tokenize` calls it); the analyzer, when given, analyzes each distinct word of the
// plain texts once (`vtm lookup` and the tagger keep the results of words they have
// seen, so a walk per distinct word is what running text costs them). Linked with the
// instrumented library it writes the counts that the optimized one is compiled with.
//
// It keeps a digest of everything the library returned (FNV-1a over the records, the
// normalized forms and the analyses): --digest writes it to a file, --expect compares it
// with one. The same run linked with the plain core and with the shipped shared library
// thus shows that the profile and link-time optimization changed no result (the
// profile_guided_* tests, cmake/profile_training.cmake).
//
// Usage: vtm_training_run --tokenizer FILE... [--tags FILE] [--analyzer FILE]
//                         --text FILE... [--digest FILE | --expect FILE]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

#include "vtmrt.h"

namespace {

struct Options {
  std::vector<std::string> tokenizers, texts;
  std::string tags, analyzer, digest, expect;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int k = 1; k < argc; k += 2) {
    if (k + 1 >= argc) return false;
    const std::string name = argv[k], value = argv[k + 1];
    if (name == "--tokenizer") {
      options->tokenizers.push_back(value);
    } else if (name == "--text") {
      options->texts.push_back(value);
    } else if (name == "--tags") {
      options->tags = value;
    } else if (name == "--analyzer") {
      options->analyzer = value;
    } else if (name == "--digest") {
      options->digest = value;
    } else if (name == "--expect") {
      options->expect = value;
    } else {
      return false;
    }
  }
  return !options->tokenizers.empty() && !options->texts.empty();
}

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

class Digest {
 public:
  void Add(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t k = 0; k < size; ++k) hash_ = (hash_ ^ p[k]) * 0x100000001B3ull;
  }
  void AddInt(int64_t value) { Add(&value, sizeof value); }
  uint64_t value() const { return hash_; }

 private:
  uint64_t hash_ = 0xCBF29CE484222325ull;
};

constexpr std::size_t kMostRecords = std::size_t{1} << 24;

// Tokenizes `text` whole; calls on_token(text, record, strings) for each token. Returns
// false when a call fails.
template <typename OnToken>
bool Tokenize(const std::string& text, VtmTokenizer tokenizer, int flags, OnToken on_token) {
  // What `vtm tokenize` gives a 64 KiB piece of a file.
  std::vector<VtmToken> tokens(32768);
  std::vector<char> strings(1 << 16);
  std::size_t start = 0, end = 0;
  while (end < text.size() || start < end) {
    end = std::min<std::size_t>(end + 65536, text.size());
    const bool final = end == text.size();
    int count = 0;
    const int rc = vtm_tokenize(text.data() + start, static_cast<int>(end - start), tokenizer,
                                flags | (final ? VTM_TOKENIZE_FINAL : 0), tokens.data(),
                                static_cast<int>(tokens.size()), strings.data(),
                                static_cast<int>(strings.size()), &count);
    if (rc == VTM_ERR_OUTPUT_TOO_LONG && tokens.size() < kMostRecords) {
      // The chunk at the front needs more records or string room.
      tokens.resize(tokens.size() * 2);
      strings.resize(strings.size() * 2);
      continue;
    }
    if (rc < 0) return false;
    for (int k = 0; k < count; ++k) on_token(text.data() + start, tokens[k], strings.data());
    start += static_cast<std::size_t>(rc);
    if (final && rc == 0 && count == 0) {
      // A final call reads on unless the record array cannot take the next token.
      if (start == end) break;
      if (tokens.size() >= kMostRecords) return false;
      tokens.resize(tokens.size() * 2);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: vtm_training_run --tokenizer FILE... [--tags FILE] [--analyzer FILE] "
                 "--text FILE... [--digest FILE | --expect FILE]\n");
    return 2;
  }
  std::vector<std::string> texts;
  for (const std::string& path : options.texts) {
    texts.emplace_back();
    if (!ReadFile(path, &texts.back())) {
      std::fprintf(stderr, "vtm_training_run: cannot read %s\n", path.c_str());
      return 1;
    }
  }
  VtmClientDict tags = nullptr;
  if (!options.tags.empty()) {
    tags = vtm_make_client_dict(0, 0);
    if (vtm_load_entries(options.tags.c_str(), 0, tags) < 0) {
      std::fprintf(stderr, "vtm_training_run: cannot load %s\n", options.tags.c_str());
      return 1;
    }
  }
  VtmFsm analyzer = nullptr;
  if (!options.analyzer.empty()) {
    analyzer = vtm_make_fsm(options.analyzer.c_str());
    if (vtm_object_error_code(analyzer) != 0) {
      std::fprintf(stderr, "vtm_training_run: cannot load %s\n", options.analyzer.c_str());
      return 1;
    }
  }

  Digest digest;
  std::vector<char> analyses(1 << 16);
  std::unordered_set<std::string> analyzed;
  int status = 0;
  for (std::size_t t = 0; t < options.tokenizers.size() && status == 0; ++t) {
    VtmFsm fsm = vtm_make_fsm(options.tokenizers[t].c_str());
    VtmTokenizer plain = vtm_make_tokenizer(fsm, 0, nullptr);
    VtmTokenizer html = vtm_make_tokenizer(fsm, 0, tags);
    if (vtm_object_error_code(plain) != 0 || vtm_object_error_code(html) != 0) {
      std::fprintf(stderr, "vtm_training_run: cannot load %s\n", options.tokenizers[t].c_str());
      status = 1;
    }
    for (std::size_t k = 0; k < texts.size() && status == 0; ++k) {
      for (const int flags : {0, VTM_TOKENIZE_HTML}) {
        const bool analyze = analyzer != nullptr && flags == 0 && t == 0;
        const bool done = Tokenize(
            texts[k], flags == 0 ? plain : html, flags,
            [&](const char* base, const VtmToken& token, const char* strings) {
              digest.AddInt(token.offset);
              digest.AddInt(token.length);
              digest.AddInt(token.class_bits);
              if (token.norm_offset >= 0)
                digest.Add(strings + token.norm_offset, std::strlen(strings + token.norm_offset));
              if (!analyze || token.class_bits != VTM_TOKEN_WORD) return;
              if (!analyzed.emplace(base + token.offset, token.length).second) return;
              const int n = vtm_lookup_with_transduction(
                  base + token.offset, token.length, analyses.data(),
                  static_cast<int>(analyses.size()), VTM_MODE_ANALYZE, analyzer, nullptr, 0);
              digest.AddInt(n);
              const char* p = analyses.data();
              for (int r = 0; r < n; ++r, p += std::strlen(p) + 1) digest.Add(p, std::strlen(p));
            });
        if (!done) {
          std::fprintf(stderr, "vtm_training_run: %s: tokenizing %s failed\n",
                       options.tokenizers[t].c_str(), options.texts[k].c_str());
          status = 1;
        }
      }
    }
    vtm_free_tokenizer(html);
    vtm_free_tokenizer(plain);
    vtm_free_fsm(fsm);
  }
  vtm_free_fsm(analyzer);
  vtm_free_client_dict(tags);
  if (status != 0) return status;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(digest.value()));
  if (!options.digest.empty()) {
    std::ofstream out(options.digest);
    out << hex << "\n";
    if (!out.flush()) {
      std::fprintf(stderr, "vtm_training_run: cannot write %s\n", options.digest.c_str());
      return 1;
    }
  }
  if (!options.expect.empty()) {
    std::string expected;
    if (!ReadFile(options.expect, &expected)) {
      std::fprintf(stderr, "vtm_training_run: cannot read %s\n", options.expect.c_str());
      return 1;
    }
    if (expected.substr(0, 16) != hex) {
      std::fprintf(stderr, "vtm_training_run: digest %s, the training run's %s\n", hex,
                   expected.substr(0, 16).c_str());
      return 1;
    }
  }
  std::printf("%s\n", hex);
  return 0;
}
