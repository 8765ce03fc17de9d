// libFuzzer target for vtm_tokenize. The input's first bytes choose the flags, the tag
// dictionary, a small record capacity and string buffer and the piece lengths; the rest
// is the text. Each call's records must lie inside the text it was given, normalized
// forms inside the string buffer; and feeding the text in pieces under the calling
// protocol must give exactly the tokens of calls on the whole text. The tokenizer
// transducer copies chunks, splits "." and "'" off and writes "QU" for "Q", so chunks
// get several tokens and normalized forms.
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "compiler/cp1252.h"
#include "compiler/file_writer.h"
#include "compiler/transducer_builder.h"
#include "scratch_dir.h"
#include "vtmrt.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

std::string Att() {
  std::string att;
  for (int b = 0x21; b <= 0xFF; ++b) {
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
    if (b == '.' || b == '\'' || b == 'Q') continue;
    const std::string s = vtm::compiler::Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
    att += "0\t0\t" + s + "\t" + s + "\n";
  }
  return att + "0\t1\t@0@\t@_SPACE_@\n1\t0\t.\t.\n1\t0\t'\t'\n0\t2\tQ\tQ\n2\t0\t@0@\tU\n0\n";
}

struct Env {
  VtmFsm fsm = nullptr;
  VtmClientDict dict = nullptr;
  VtmTokenizer plain = nullptr, tagged = nullptr;
  Env() {
    auto t = std::make_shared<vtm::compiler::AttTransducer>();
    std::string error;
    Check(vtm::compiler::ReadAtt(Att(), 0, t.get(), &error));
    vtm::compiler::BuildOptions options;
    options.inputs.push_back({vtm::kFunctionTokenizing, "tok", t});
    options.version = "1.0";
    vtm::compiler::TransducerSpec spec;
    vtm::compiler::BuildReport report;
    Check(vtm::compiler::BuildTransducer(options, &spec, &report, &error));
    const std::string path = vtm::fuzz::ScratchDir() + "/fuzz_tokenize.vtm";
    Check(vtm::compiler::WriteTransducerFile(path, spec, &error));
    fsm = vtm_make_fsm(path.c_str());
    Check(vtm_object_error_code(fsm) == 0);
    dict = vtm_make_client_dict(0, 0);
    const char* entries[][2] = {{"script", "[html-tag-inhibit]"},
                                {"style", "[html-tag-inhibit]"},
                                {"style", "[html-tag-keep]"},
                                {"p", "[html-para]"},
                                {"br", "[html-sent]"},
                                {"b", "[html-tag-keep]"},
                                {"!--", "[html-tag-inhibit]"}};
    for (auto& e : entries) Check(vtm_add_entry(e[0], e[1], 0, dict) == 0);
    plain = vtm_make_tokenizer(fsm, 0, nullptr);
    tagged = vtm_make_tokenizer(fsm, 0, dict);
    Check(vtm_object_error_code(plain) == 0 && vtm_object_error_code(tagged) == 0);
  }
};

struct Token {
  int offset, length;
  uint32_t k;
  std::string norm;
  bool operator==(const Token&) const = default;
};

struct Result {
  std::vector<Token> tokens;
  int error = 0, error_at = -1;
  bool operator==(const Result&) const = default;
};

// Record and string buffers of the largest size a call is given, made once: a call's
// buffers are their first `capacity` records and `strings_size` bytes, and a guard zone
// after each is poisoned for AddressSanitizer, so that a write past what the call was
// given is caught as with buffers of that exact size, without allocating and clearing
// them for every call (which took a fifth of the target's time).
constexpr int kMaxCapacity = 1 << 16;
constexpr int kMaxStrings = 1 << 20;
constexpr int kGuardRecords = 64;
constexpr int kGuardBytes = 512;

struct Buffers {
  std::vector<VtmToken> records = std::vector<VtmToken>(kMaxCapacity + kGuardRecords);
  std::vector<char> strings = std::vector<char>(kMaxStrings + kGuardBytes);
  int poisoned_capacity = -1, poisoned_strings = -1;

  void Give(int capacity, int strings_size) {
    if (poisoned_capacity >= 0) {
      ASAN_UNPOISON_MEMORY_REGION(records.data() + poisoned_capacity,
                                  kGuardRecords * sizeof(VtmToken));
      ASAN_UNPOISON_MEMORY_REGION(strings.data() + poisoned_strings, kGuardBytes);
    }
    ASAN_POISON_MEMORY_REGION(records.data() + capacity, kGuardRecords * sizeof(VtmToken));
    ASAN_POISON_MEMORY_REGION(strings.data() + strings_size, kGuardBytes);
    poisoned_capacity = capacity;
    poisoned_strings = strings_size;
  }
};

// One call; checks the records against the text and the buffers.
int Call(VtmTokenizer tk, const std::string& text, int flags, int capacity, int strings_size,
         int base, Result* out) {
  static Buffers buffers;
  Check(capacity <= kMaxCapacity && strings_size <= kMaxStrings);
  buffers.Give(capacity, strings_size);
  VtmToken* records = buffers.records.data();
  char* strings = buffers.strings.data();
  // No NUL the call did not write: every normalized form must end within the buffer.
  std::memset(strings, 0xA5, static_cast<std::size_t>(strings_size));
  int count = -1;
  const int n = static_cast<int>(text.size());
  const int rc =
      vtm_tokenize(text.data(), n, tk, flags, records, capacity, strings, strings_size, &count);
  Check(count >= 0 && count <= capacity);
  if (rc < 0) {
    Check(count == 0);
    return rc;
  }
  Check(rc <= n);
  for (int i = 0; i < count; ++i) {
    const VtmToken& t = records[i];
    Check(t.offset >= 0 && t.length >= 0 && t.offset + t.length <= rc);
    Token token{t.offset + base, t.length, t.class_bits, ""};
    if (t.norm_offset != -1) {
      Check(t.norm_offset >= 0 && t.norm_offset < strings_size);
      const char* s = strings + t.norm_offset;
      Check(std::memchr(s, 0, static_cast<std::size_t>(strings_size - t.norm_offset)) != nullptr);
      token.norm = std::string("=") + s;
    }
    out->tokens.push_back(token);
  }
  return rc;
}

// Feeds `text` in pieces of the given lengths (the rest as a final piece).
Result Feed(VtmTokenizer tk, const std::string& text, const std::vector<int>& pieces, int flags,
            int capacity, int strings_size) {
  Result r;
  std::string pending;
  std::size_t from = 0;
  int base = 0;
  for (std::size_t k = 0; k <= pieces.size(); ++k) {
    const bool final = k == pieces.size();
    const std::size_t take =
        final ? text.size() - from
              : std::min(text.size() - from, static_cast<std::size_t>(pieces[k]));
    pending += text.substr(from, take);
    from += take;
    for (int guard = 0;; ++guard) {
      Check(guard < 100000);
      const int rc = Call(tk, pending, flags | (final ? VTM_TOKENIZE_FINAL : 0), capacity,
                          strings_size, base, &r);
      if (rc == VTM_ERR_OUTPUT_TOO_LONG) {
        capacity = capacity * 2 + 1;
        strings_size = strings_size * 2 + 1;
        continue;
      }
      if (rc < 0) {
        r.error = rc;
        r.error_at = base;
        return r;
      }
      base += rc;
      pending.erase(0, static_cast<std::size_t>(rc));
      if (!final) break;
      if (pending.empty()) return r;
      if (rc == 0) capacity = capacity * 2 + 1;
    }
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Env env;
  if (size < 4) return 0;
  const int flags = data[0] & 6;
  VtmTokenizer tk = (data[0] & 8) ? env.tagged : env.plain;
  const int capacity = data[1] % 8;
  const int strings_size = data[2] % 16;
  const uint8_t split = data[3];
  const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
  std::vector<int> pieces;
  for (std::size_t at = 0, k = 0; at < text.size(); ++k) {
    const int length = static_cast<int>((split >> (k % 8)) % 7 + (k * 3 % 5));
    pieces.push_back(length);
    at += static_cast<std::size_t>(length);
  }
  const Result whole = Feed(tk, text, {}, flags, 4096, 1 << 16);
  const Result parts = Feed(tk, text, pieces, flags, capacity, strings_size);
  Check(whole == parts);
  return 0;
}
