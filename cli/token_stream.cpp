// Piece-wise tokenizing of a file for `vtm tokenize` and `vtm chunk` (see token_stream.h).
#include "token_stream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cp1252.h"
#include "text_edges.h"
#include "token/tokenizer.h"
#include "tsv_lines.h"

namespace vtm::cli {
namespace {

constexpr std::size_t kPieceBytes = 64 * 1024;

void AppendNumber(uint64_t n, std::string* out) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out->append(digits, end);
}

class Stream {
 public:
  // Reads the file `fd`, or `text` when `fd` is negative.
  Stream(const TokenTask& task, int fd, std::string_view text, const std::string& name)
      : task_(task), fd_(fd), text_(text), name_(name) {
    // A short text in memory gets areas its size (they grow when a call needs more), so
    // that many small texts do not each pay for the areas of a file; a longer one gets
    // 4,096 records (64 KiB, a few calls per piece), small enough that the allocator
    // reuses the memory from one text to the next instead of mapping and clearing half a
    // megabyte afresh for each.
    const std::size_t most = fd < 0 ? text.size() : kPieceBytes;
    records_.resize(std::min<std::size_t>(fd < 0 ? 4096 : 32768, most + 16));
    strings_.resize(std::min<std::size_t>(64 * 1024, 4 * most + 256));
  }

  int Run();

 private:
  ssize_t Read(char* into, std::size_t size);
  void Report(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Convert(const char* raw, std::size_t size, bool at_end);
  bool Tokenize(bool final);
  int SplitWords(int count);
  void Print(const VtmToken* records, int count);
  bool PrintSentenceToken(const VtmToken& t, const std::string& text);
  bool OverLimits(std::size_t bytes) const;
  void EndSentence();
  void PrintTsv(const VtmToken* records, int count);
  void Consume(std::size_t bytes);
  void SkipLongToken();
  bool Flush();
  void Append(const char* bytes, std::size_t n, uint64_t raw, uint64_t raw_length);
  uint64_t Extra(std::size_t i) const;
  uint64_t LastExtra() const { return shifts_.empty() ? 0 : shifts_.back().extra; }
  void SetExtra(std::size_t at, uint64_t extra);
  uint64_t Utf8Offset(std::size_t i) const { return base_ + i + Extra(i); }

  const TokenTask& task_;
  int fd_;
  std::string_view text_;  // the input when fd_ < 0: what is left of it
  const std::string& name_;
  std::string carry_;        // raw bytes of an incomplete UTF-8 sequence
  uint64_t raw_offset_ = 0;  // UTF-8 offset of the next raw byte read
  std::string pending_;      // cp1252 text not yet tokenized
  // Where pending bytes came from: byte i of pending_ (and i == its size: the end) is at
  // UTF-8 offset base_ + i + extra, with the extra of the last shift at or before i (0
  // without one). A shift follows each character of several UTF-8 bytes and each run of
  // input dropped, so plain ASCII text needs none.
  struct Shift {
    std::size_t at;
    uint64_t extra;
  };
  uint64_t base_ = 0;
  std::vector<Shift> shifts_;
  mutable std::size_t cursor_ = 0;  // see Extra
  bool skipping_ = false;           // dropping the rest of an overlong token
  std::vector<VtmToken> records_;
  std::vector<VtmToken> split_;  // split_words: the records with plain words split
  std::vector<char> strings_;
  std::string out_;       // output of the JSON and sentence formats
  TsvLines tsv_;          // output of the tsv format
  std::string sentence_;  // --sentences: the sentence being built
  std::size_t sentence_tokens_ = 0;
  bool sentence_cut_ = false;  // a sentence over the limits was cut (reported once)
  bool sink_failed_ = false;   // the sentence sink stopped the run
  bool sentence_ended_ = false;
  uint64_t last_end_ = 0;  // UTF-8 end of the last printed token
  std::size_t invalid_ = 0, unmappable_ = 0;
  int status_ = 0;
};

ssize_t Stream::Read(char* into, std::size_t size) {
  if (fd_ >= 0) return ::read(fd_, into, size);
  const std::size_t n = std::min(size, text_.size());
  std::memcpy(into, text_.data(), n);
  text_.remove_prefix(n);
  return static_cast<ssize_t>(n);
}

// A message about lost input: "vtm COMMAND: " and the text on standard error, or the
// text without its line end to the task's message sink.
void Stream::Report(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (task_.message_sink) {
    std::string message(text);
    if (!message.empty() && message.back() == '\n') message.pop_back();
    task_.message_sink(message);
  } else {
    std::fprintf(stderr, "vtm %s: %s", task_.command, text);
  }
}

uint64_t Stream::Extra(std::size_t i) const {
  // Tokens are printed in order, so the shift found last is a good start: the cursor
  // moves a little forward each time (back only when asked for an earlier byte).
  std::size_t& k = cursor_;  // shifts_[0, k) lie at or before the byte asked for last
  if (k > shifts_.size()) k = shifts_.size();
  while (k > 0 && shifts_[k - 1].at > i) --k;
  while (k < shifts_.size() && shifts_[k].at <= i) ++k;
  return k == 0 ? 0 : shifts_[k - 1].extra;
}

void Stream::SetExtra(std::size_t at, uint64_t extra) {
  if (!shifts_.empty() && shifts_.back().at == at) {
    shifts_.back().extra = extra;
  } else {
    shifts_.push_back({at, extra});
  }
}

// Appends `n` converted bytes that came from the `raw_length` input bytes at UTF-8
// offset `raw` (n == raw_length for ASCII, n == 1 for one character).
void Stream::Append(const char* bytes, std::size_t n, uint64_t raw, uint64_t raw_length) {
  const uint64_t expected = base_ + pending_.size() + LastExtra();
  if (raw != expected) SetExtra(pending_.size(), LastExtra() + (raw - expected));
  pending_.append(bytes, n);
  if (raw_length != n) SetExtra(pending_.size(), LastExtra() + (raw_length - n));
}

// Appends converted bytes of `raw` to the pending text. Invalid UTF-8 and characters
// outside code page 1252 become spaces (counted and reported).
void Stream::Convert(const char* raw, std::size_t size, bool at_end) {
  std::string_view text(raw, size);
  std::size_t usable = size;
  if (!at_end) {
    // Keep an incomplete sequence at the end for the next read.
    std::size_t lead = size;
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
      const unsigned char b = static_cast<unsigned char>(text[size - back]);
      if ((b & 0xC0) != 0x80) {
        lead = size - back;
        break;
      }
    }
    if (lead < size) {
      const unsigned char b = static_cast<unsigned char>(text[lead]);
      const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      if (lead + need > size) usable = lead;
    }
  }
  std::size_t pos = 0;
  while (pos < usable) {
    // A run of ASCII bytes, eight at a time where it can.
    std::size_t run = pos;
    for (uint64_t block; run + 8 <= usable; run += 8) {
      std::memcpy(&block, text.data() + run, 8);
      if (block & 0x8080808080808080ull) break;
    }
    while (run < usable && static_cast<unsigned char>(text[run]) < 0x80) ++run;
    if (run > pos) {
      if (skipping_) {
        while (pos<run&& static_cast<unsigned char>(text[pos])> 0x20) ++pos;
        if (pos < run) skipping_ = false;
      }
      if (pos < run) Append(text.data() + pos, run - pos, raw_offset_ + pos, run - pos);
      pos = run;
      continue;
    }
    const std::size_t start = pos;
    char byte = ' ';
    if (auto cp = compiler::DecodeUtf8(text.substr(0, usable), &pos)) {
      if (auto b = compiler::ToCp1252(*cp)) {
        byte = static_cast<char>(*b);
      } else if (unmappable_++ == 0) {
        Report(
            "%s: byte %llu: a character outside code page 1252 "
            "(read as a space)\n",
            name_.c_str(), static_cast<unsigned long long>(raw_offset_ + start));
      }
    } else {
      pos = start + 1;
      if (invalid_++ == 0)
        Report("%s: byte %llu: invalid UTF-8 (read as a space)\n", name_.c_str(),
               static_cast<unsigned long long>(raw_offset_ + start));
    }
    if (skipping_) {
      if (static_cast<unsigned char>(byte) > 0x20) continue;
      skipping_ = false;
    }
    Append(&byte, 1, raw_offset_ + start, pos - start);
  }
  raw_offset_ += usable;
  carry_.assign(text.data() + usable, size - usable);
}

void Stream::Consume(std::size_t bytes) {
  const uint64_t extra = Extra(bytes);
  base_ += bytes + extra;
  std::size_t gone = 0;
  while (gone < shifts_.size() && shifts_[gone].at <= bytes) ++gone;
  shifts_.erase(shifts_.begin(), shifts_.begin() + static_cast<std::ptrdiff_t>(gone));
  for (Shift& shift : shifts_) {
    shift.at -= bytes;
    shift.extra -= extra;
  }
  cursor_ = 0;
  pending_.erase(0, bytes);
}

// Drops the overlong token at the start of the pending text, up to the next whitespace.
void Stream::SkipLongToken() {
  Report("%s: byte %llu: a token longer than %zu MiB was skipped\n", name_.c_str(),
         static_cast<unsigned long long>(base_), kMaxTokenBytes >> 20);
  status_ = 1;
  std::size_t at = 0;
  while (at < pending_.size() && static_cast<unsigned char>(pending_[at]) > 0x20) ++at;
  if (at == pending_.size()) skipping_ = true;
  Consume(at);
}

// Tokenizes the pending text as far as the library goes; false on a write failure.
bool Stream::Tokenize(bool final) {
  const int flags = task_.flags | (final ? VTM_TOKENIZE_FINAL : 0);
  while (!pending_.empty()) {
    int count = 0;
    const int rc = vtm_tokenize(pending_.data(), static_cast<int>(pending_.size()), task_.tokenizer,
                                flags, records_.data(), static_cast<int>(records_.size()),
                                strings_.data(), static_cast<int>(strings_.size()), &count);
    if (rc == VTM_ERR_OUTPUT_TOO_LONG) {
      // A chunk at byte 0 needs more records or string room.
      if (records_.size() >= (std::size_t{1} << 24)) {
        SkipLongToken();
        continue;
      }
      records_.resize(records_.size() * 2);
      strings_.resize(strings_.size() * 2);
      continue;
    }
    if (rc < 0) {
      // A chunk the transducer cannot read: reported and skipped.
      std::size_t end = 0;
      while (end < pending_.size() && static_cast<unsigned char>(pending_[end]) > 0x20 &&
             !(end > 0 && (task_.flags & VTM_TOKENIZE_HTML) && pending_[end] == '<'))
        ++end;
      if (end == 0) end = 1;
      std::string chunk;
      AppendCodePageAsUtf8(std::string_view(pending_).substr(0, end), &chunk);
      char message[256] = {0};
      vtm_error_message(rc, message, sizeof message);
      Report("%s: byte %llu: \"%s\" is not tokenized: %s\n", name_.c_str(),
             static_cast<unsigned long long>(base_), chunk.c_str(), message);
      status_ = 1;
      Consume(end);
      continue;
    }
    if (task_.split_words) {
      Print(split_.data(), SplitWords(count));
    } else {
      Print(records_.data(), count);
    }
    if (sink_failed_ || (out_.size() + tsv_.size() >= (1 << 16) && !Flush())) return false;
    Consume(static_cast<std::size_t>(rc));
    if (rc == 0) {
      if (!final) {
        if (pending_.size() > kMaxTokenBytes) SkipLongToken();
        break;
      }
      // A final call always makes progress unless the record array is empty.
      records_.resize(records_.size() * 2);
    }
  }
  return true;
}

// Copies the `count` records of the last call into split_, each plain word replaced by
// the tokens the transducer makes of it as a chunk (their normalized forms after those
// of the call in strings_, which grows as needed). A word the transducer cannot read,
// and a word that already came from the transducer with a normalized form, stays whole.
// Returns the number of records in split_.
int Stream::SplitWords(int count) {
  int used = 0;  // bytes of strings_ that the call's normalized forms take
  for (int i = 0; i < count; ++i) {
    if (records_[i].norm_offset == -1) continue;
    const char* norm = strings_.data() + records_[i].norm_offset;
    used = std::max(used, records_[i].norm_offset + static_cast<int>(std::strlen(norm)) + 1);
  }
  if (split_.size() < records_.size()) split_.resize(records_.size());
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const VtmToken& r = records_[i];
    if (r.class_bits != VTM_TOKEN_WORD || r.norm_offset != -1) {
      if (static_cast<std::size_t>(n) == split_.size()) split_.resize(split_.size() * 2);
      split_[n++] = r;
      continue;
    }
    for (;;) {
      vtm::TokenSink sink{split_.data(),   static_cast<int>(split_.size()),   n,
                          strings_.data(), static_cast<int>(strings_.size()), used};
      const int rc =
          task_.split_words(pending_.data(), r.offset, r.offset + r.length, task_.tokenizer, &sink);
      if (rc == VTM_ERR_OUTPUT_TOO_LONG) {
        split_.resize(split_.size() * 2);
        strings_.resize(strings_.size() * 2);
        continue;
      }
      if (rc < 0) {
        if (static_cast<std::size_t>(n) == split_.size()) split_.resize(split_.size() * 2);
        split_[n++] = r;
      } else {
        n = sink.count;
        used = sink.strings_used;
      }
      break;
    }
  }
  return n;
}

// The tsv lines of a call's records. Records come in text order without overlap, so
// the shift that applies to each offset is found by a cursor that only moves forward.
// Fields used in the loop are read into locals once: the lines are written through a
// char pointer, after which the compiler would read every field again.
void Stream::PrintTsv(const VtmToken* records, int count) {
  const Shift* const shifts = shifts_.data();
  const std::size_t shift_count = shifts_.size();
  const uint64_t base = base_;
  const char* const pending = pending_.data();
  const std::size_t pending_size = pending_.size();
  const char* const strings = strings_.data();
  const std::size_t strings_size = strings_.size();
  // shifts[0, k) lie at or before the offset asked for last; `extra` is the last one's
  // (0 without one) and `next_at` where the next one lies (past every offset without one).
  std::size_t k = 0;
  uint64_t extra = 0;
  std::size_t next_at = shift_count > 0 ? shifts[0].at : SIZE_MAX;
  auto utf8_offset = [&](std::size_t i) {
    while (next_at <= i) {
      extra = shifts[k].extra;
      next_at = ++k < shift_count ? shifts[k].at : SIZE_MAX;
    }
    return base + i + extra;
  };
  TsvLines::Span span = tsv_.Open();
  for (int r = 0; r < count; ++r) {
    const VtmToken& t = records[r];
    const std::size_t offset = static_cast<std::size_t>(t.offset);
    const std::size_t length = static_cast<std::size_t>(t.length);
    const uint64_t start = utf8_offset(offset);
    const uint64_t end = utf8_offset(offset + length);
    std::string_view text;
    std::size_t readable = 0;
    if (!(t.class_bits & VTM_TOKEN_LINE_BREAK)) {
      if (t.norm_offset != -1) {
        text = std::string_view(strings + t.norm_offset);
        readable = strings_size - static_cast<std::size_t>(t.norm_offset);
      } else {
        text = std::string_view(pending + offset, length);
        readable = pending_size - offset;
      }
    }
    const std::size_t room = TsvLines::LineRoom(text.size());
    if (static_cast<std::size_t>(span.limit - span.p) < room) span = tsv_.Grow(span.p, room);
    span.p = tsv_.Line(span.p, start, end - start, t.class_bits, text, readable,
                       (t.class_bits & (VTM_TOKEN_TAG_KEPT | VTM_TOKEN_MARKUP)) != 0);
  }
  tsv_.Close(span.p);
}

void Stream::Print(const VtmToken* records, int count) {
  if (task_.format == TokenFormat::kTsv) {
    PrintTsv(records, count);
    return;
  }
  for (int i = 0; i < count; ++i) {
    const VtmToken& t = records[i];
    std::string text;
    const bool normalized = t.norm_offset != -1;
    std::string_view span(pending_.data() + t.offset, static_cast<std::size_t>(t.length));
    const uint64_t start = Utf8Offset(static_cast<std::size_t>(t.offset));
    const uint64_t end = Utf8Offset(static_cast<std::size_t>(t.offset + t.length));
    if (!(t.class_bits & VTM_TOKEN_LINE_BREAK)) {
      AppendCodePageAsUtf8(normalized ? std::string_view(strings_.data() + t.norm_offset) : span,
                           &text);
    }
    switch (task_.format) {
      case TokenFormat::kTsv:  // PrintTsv
        break;
      case TokenFormat::kJson: {
        out_.append("{\"offset\":");
        AppendNumber(start, &out_);
        out_.append(",\"length\":");
        AppendNumber(end - start, &out_);
        out_.append(",\"classes\":[");
        AppendClassNames(t.class_bits, &out_, true);
        out_.append("],\"text\":");
        std::string original;
        AppendCodePageAsUtf8(span, &original);
        AppendJsonString(original, &out_);
        if (normalized) {
          out_.append(",\"norm\":");
          AppendJsonString(text, &out_);
        }
        out_.append("}\n");
        break;
      }
      case TokenFormat::kSentences:
      case TokenFormat::kRecords: {
        if (sentence_ended_ && !(start == last_end_ && (t.class_bits & VTM_TOKEN_CLOSING) &&
                                 !(t.class_bits & VTM_TOKEN_SENTENCE_END)))
          EndSentence();
        const bool in_sentence = PrintSentenceToken(t, text);
        if (task_.format == TokenFormat::kRecords) {
          StreamToken token;
          token.start = start;
          token.end = end;
          token.classes = t.class_bits;
          std::string original, norm;
          AppendCodePageAsUtf8(span, &original);
          token.span = original;
          token.normalized = normalized;
          token.text = token.span;
          if (normalized) {
            // Line breaks have no sentence text: their normalized form is converted here.
            if (t.class_bits & VTM_TOKEN_LINE_BREAK)
              AppendCodePageAsUtf8(std::string_view(strings_.data() + t.norm_offset), &norm);
            token.text = t.class_bits & VTM_TOKEN_LINE_BREAK ? std::string_view(norm) : text;
          }
          token.in_sentence = in_sentence;
          if (!task_.token_sink(token)) sink_failed_ = true;
        }
        break;
      }
    }
    last_end_ = end;
  }
}

// --sentences: words and marks joined by spaces; a sentence ends after a sentence-end
// token (and the closing marks right after it) or at a paragraph break. True when the
// token joined the sentence.
bool Stream::PrintSentenceToken(const VtmToken& t, const std::string& text) {
  if (t.class_bits & VTM_TOKEN_PARAGRAPH) EndSentence();
  const bool layout = t.class_bits & (VTM_TOKEN_LINE_BREAK | VTM_TOKEN_TAG_KEPT | VTM_TOKEN_MARKUP);
  if (!layout && !text.empty()) {
    if (OverLimits(text.size())) {
      if (!sentence_cut_)
        Report(
            "%s: byte %llu: a sentence of more than %zu tokens or %zu bytes "
            "was cut there\n",
            name_.c_str(), static_cast<unsigned long long>(last_end_), task_.max_sentence_tokens,
            task_.max_sentence_bytes);
      sentence_cut_ = true;
      EndSentence();
    }
    if (!sentence_.empty()) sentence_.push_back(' ');
    sentence_.append(text);
    ++sentence_tokens_;
  }
  if (t.class_bits & VTM_TOKEN_SENTENCE_END) sentence_ended_ = true;
  return !layout && !text.empty();
}

// True when a token of `bytes` bytes would take the sentence past the task's limits.
bool Stream::OverLimits(std::size_t bytes) const {
  if (sentence_.empty()) return false;
  return (task_.max_sentence_tokens && sentence_tokens_ >= task_.max_sentence_tokens) ||
         (task_.max_sentence_bytes && sentence_.size() + 1 + bytes > task_.max_sentence_bytes);
}

void Stream::EndSentence() {
  if (!sentence_.empty()) {
    if (task_.format == TokenFormat::kRecords) {
      if (task_.sentence_sink && !task_.sentence_sink(sentence_)) sink_failed_ = true;
    } else if (task_.sentence_sink) {
      if (!task_.sentence_sink(sentence_)) sink_failed_ = true;
    } else {
      out_.append(sentence_);
      out_.push_back('\n');
    }
    sentence_.clear();
  }
  sentence_tokens_ = 0;
  sentence_ended_ = false;
}

bool Stream::Flush() {
  // Only one of the two holds anything: a run prints in one format.
  for (std::string_view rest :
       {std::string_view(tsv_.data(), tsv_.size()), std::string_view(out_)}) {
    while (!rest.empty()) {
      const ssize_t n = ::write(1, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Report("cannot write the output: %s\n", std::strerror(errno));
        return false;
      }
      rest.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  tsv_.clear();
  out_.clear();
  return true;
}

int Stream::Run() {
  const std::size_t piece = fd_ < 0 ? std::min(kPieceBytes, text_.size()) : kPieceBytes;
  std::vector<char> buffer(piece + 4);
  for (;;) {
    std::memcpy(buffer.data(), carry_.data(), carry_.size());
    const std::size_t kept = carry_.size();
    ssize_t n = Read(buffer.data() + kept, piece);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      Report("%s: %s\n", name_.c_str(), std::strerror(errno));
      return 1;
    }
    const bool at_end = n == 0;
    Convert(buffer.data(), kept + static_cast<std::size_t>(n), at_end);
    if (!Tokenize(at_end)) return 1;
    if (at_end) break;
  }
  if (task_.format == TokenFormat::kSentences || task_.format == TokenFormat::kRecords)
    EndSentence();
  if (sink_failed_ || !Flush()) return 1;
  if (invalid_ + unmappable_ > 0) {
    Report(
        "%s: %zu invalid UTF-8 sequences and %zu characters outside "
        "code page 1252 read as spaces\n",
        name_.c_str(), invalid_, unmappable_);
    status_ = 1;
  }
  return status_;
}

}  // namespace

int RunTokenStream(const TokenTask& task, int fd, const std::string& name) {
  Stream stream(task, fd, {}, name);
  return stream.Run();
}

int RunTokenText(const TokenTask& task, std::string_view text, const std::string& name) {
  Stream stream(task, -1, text, name);
  return stream.Run();
}

}  // namespace vtm::cli
