// Per-word lookup and ordered output for `vtm lookup` and `vtm generate`. Input comes in
// batches of complete lines (line_reader.h); the lines of a batch are cut into one
// contiguous slice per thread; every thread writes its words' output into its own
// string, and the strings are written in slice order.
#include "word_stream.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "library_message.h"
#include "line_reader.h"
#include "output_cache.h"
#include "text_edges.h"

namespace vtm::cli {
namespace {

// Below this many lines a batch is not worth a thread start.
constexpr std::size_t kLinesPerThread = 512;
constexpr std::size_t kFirstResultBytes = 1 << 16;
constexpr std::size_t kMaxResultBytes = 1 << 26;
constexpr std::size_t kMemoWindow = 1024;
constexpr std::size_t kMemoRest = 16384;

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Looks words up one at a time; one per thread, since it owns its scratch buffers.
class WordWorker {
 public:
  WordWorker(const WordTask& task, const std::string& name)
      : task_(task),
        name_(name),
        results_(new char[kFirstResultBytes]),
        cache_(task.cache_entries, task.cache_bytes) {}

  // Appends the output block of one input line to *out; a rejected line or a failed
  // lookup also appends a message to *err and returns false.
  bool Line(std::string_view line, std::size_t line_no, std::string* out, std::string* err) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxLineBytes) {
      Reject(line_no, "line longer than 1 MiB, skipped", err);
      return false;
    }
    // A line answered before gets the same block again. Only clean answers are kept:
    // rejected lines and warnings carry their line number to stderr.
    std::uint64_t hash = 0;
    const bool memo = UseMemo();
    if (memo) {
      hash = OutputCache::HashOf(line);
      if (std::optional<std::string_view> block = cache_.Find(line, hash)) {
        out->append(*block);
        ++window_hits_;
        return true;
      }
    }
    const std::size_t mark = out->size();
    std::size_t where = 0;
    // ASCII words go to the library as they are; others are converted into word_.
    std::string_view word = line;
    EdgeStatus status = EdgeStatus::kOk;
    if (!IsAscii(line)) {
      status = Utf8ToCodePage(line, &word_, &where);
      word = word_;
    }
    if (status != EdgeStatus::kOk) {
      std::string why = status == EdgeStatus::kInvalidUtf8
                            ? "invalid UTF-8 at byte " + std::to_string(where + 1)
                            : "character at byte " + std::to_string(where + 1) +
                                  " is not in Windows code page 1252";
      Reject(line_no, why, err);
      Emit(line, 0, out, &why);
      return false;
    }
    int count;
    for (;;) {
      count = vtm_lookup_with_transduction(word.data(), static_cast<int>(word.size()),
                                           results_.get(), static_cast<int>(results_size_),
                                           task_.mode, task_.fsm, task_.dict, 0);
      if (count != VTM_ERR_OUTPUT_TOO_LONG || results_size_ >= kMaxResultBytes) break;
      results_size_ *= 2;
      results_.reset(new char[results_size_]);
    }
    if (count == VTM_ERR_INCOMPLETE_TAG) {
      // A "[" that opens no tag, in a mode that reads tags in its input: the word simply
      // has no result, as for a character outside the alphabet; say why, but go on.
      std::string why = LibraryMessage(count);
      Reject(line_no, "warning: " + why, err);
      Emit(line, 0, out, &why);
      return true;
    }
    if (count < 0) {
      std::string why = LibraryMessage(count);
      Reject(line_no, why, err);
      Emit(line, 0, out, &why);
      return false;
    }
    Emit(line, count, out, nullptr);
    if (memo) cache_.Insert(line, hash, std::string_view(*out).substr(mark));
    return true;
  }

  // The memo pays for itself only when lines come back. Every kMemoWindow lines the
  // worker counts how many were answered from it; below one in 16 the memo rests for
  // kMemoRest lines (neither read nor filled), and then is tried again.
  bool UseMemo() {
    if (!task_.cache_entries) return false;
    if (rest_ > 0) {
      --rest_;
      return false;
    }
    if (++window_lines_ == kMemoWindow) {
      if (window_hits_ * 16 < window_lines_) rest_ = kMemoRest;
      window_lines_ = window_hits_ = 0;
    }
    return true;
  }

  void Reject(std::size_t line_no, const std::string& why, std::string* err) const {
    *err += "vtm " + std::string(task_.command) + ": " + name_ + ":" + std::to_string(line_no) +
            ": " + why + "\n";
  }

 private:
  // The peers' form: "word TAB result" per result, or "word TAB +?"; a blank line after
  // each word. JSON: {"word": ..., "results": [...]} with "error" for a failed line.
  void Emit(std::string_view line, int count, std::string* out, const std::string* error) {
    const char* result = results_.get();
    if (task_.json) {
      *out += "{\"word\":";
      scratch_.clear();
      AppendSanitizedUtf8(line, &scratch_);
      AppendJsonString(scratch_, out);
      *out += ",\"results\":[";
      for (int i = 0; i < count; ++i) {
        std::size_t n = std::strlen(result);
        scratch_.clear();
        AppendCodePageAsUtf8({result, n}, &scratch_);
        if (i) out->push_back(',');
        AppendJsonString(scratch_, out);
        result += n + 1;
      }
      out->push_back(']');
      if (error) {
        *out += ",\"error\":";
        AppendJsonString(*error, out);
      }
      *out += "}\n";
      return;
    }
    if (count == 0) {
      out->append(line);
      *out += "\t+?\n";
    }
    for (int i = 0; i < count; ++i) {
      std::size_t n = std::strlen(result);
      out->append(line);
      out->push_back('\t');
      AppendCodePageAsUtf8({result, n}, out);
      out->push_back('\n');
      result += n + 1;
    }
    out->push_back('\n');
  }

  const WordTask& task_;
  const std::string& name_;
  // Buffers are left uninitialized: a process that looks up one word should not pay for
  // touching pages it never uses.
  std::unique_ptr<char[]> results_;
  std::size_t results_size_ = kFirstResultBytes;
  std::string word_;
  std::string scratch_;
  OutputCache cache_;
  std::size_t window_lines_ = 0, window_hits_ = 0, rest_ = 0;
};

struct Slice {
  std::size_t begin = 0, end = 0;
  std::string out, err;
  bool ok = true;
};

}  // namespace

int RunWordStream(const WordTask& task, int fd, const std::string& name) {
  const std::size_t threads = task.threads < 1 ? 1 : static_cast<std::size_t>(task.threads);
  std::vector<WordWorker> workers;
  for (std::size_t i = 0; i < threads; ++i) workers.emplace_back(task, name);
  std::vector<Slice> slices(threads);
  LineReader reader(fd);
  std::vector<std::string_view> lines;
  std::vector<std::size_t> too_long;
  std::size_t line_no = 0;
  bool ok = true;

  while (reader.Next(&lines, &too_long)) {
    std::size_t used = std::min(threads, std::max<std::size_t>(1, lines.size() / kLinesPerThread));
    auto run = [&](std::size_t s) {
      Slice& slice = slices[s];
      slice.out.clear();
      slice.err.clear();
      slice.ok = true;
      std::size_t skip = 0;
      while (skip < too_long.size() && too_long[skip] < slice.begin) ++skip;
      for (std::size_t i = slice.begin; i < slice.end; ++i) {
        if (skip < too_long.size() && too_long[skip] == i) {
          workers[s].Reject(line_no + i + 1, "line longer than 1 MiB, skipped", &slice.err);
          slice.ok = false;
          ++skip;
          continue;
        }
        if (!workers[s].Line(lines[i], line_no + i + 1, &slice.out, &slice.err)) slice.ok = false;
      }
    };
    for (std::size_t s = 0; s < used; ++s) {
      slices[s].begin = lines.size() * s / used;
      slices[s].end = lines.size() * (s + 1) / used;
    }
    std::vector<std::thread> helpers;
    for (std::size_t s = 1; s < used; ++s) helpers.emplace_back(run, s);
    run(0);
    for (auto& t : helpers) t.join();
    for (std::size_t s = 0; s < used; ++s) {
      if (!slices[s].err.empty()) WriteAll(2, slices[s].err);
      if (!WriteAll(1, slices[s].out)) {
        std::fprintf(stderr, "vtm %s: cannot write the output: %s\n", task.command,
                     std::strerror(errno));
        return 1;
      }
      ok = ok && slices[s].ok;
    }
    line_no += lines.size();
  }
  if (reader.failed()) {
    std::fprintf(stderr, "vtm %s: %s: read error: %s\n", task.command, name.c_str(),
                 std::strerror(errno));
    return 1;
  }
  return ok ? 0 : 1;
}

}  // namespace vtm::cli
