// Batches of complete input lines for the `vtm` subcommands (line_reader.h).
#include "line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vtm::cli {

bool LineReader::Next(std::vector<std::string_view>* lines, std::vector<std::size_t>* too_long) {
  lines->clear();
  too_long->clear();
  // Keep the unfinished line of the previous batch.
  buffer_.erase(0, consumed_);
  consumed_ = 0;
  while (lines->empty() && too_long->empty()) {
    if (at_end_) {
      if (buffer_.empty() && !skipping_) return false;
      if (skipping_) {
        too_long->push_back(0);
        lines->emplace_back();
        skipping_ = false;
      } else {
        lines->emplace_back(buffer_);
        consumed_ = buffer_.size();
      }
      return true;
    }
    if (!Fill()) at_end_ = true;
    Split(lines, too_long);
  }
  return true;
}

// Reads what is available, up to kReadBytes, blocking only for the first piece.
bool LineReader::Fill() {
  std::size_t got = 0;
  bool first = true;
  while (got < kReadBytes) {
    if (!first) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP))) break;
    }
    ssize_t n = ::read(fd_, chunk_.get(), kReadBytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed_ = true;
    if (n <= 0) return false;
    buffer_.append(chunk_.get(), static_cast<std::size_t>(n));
    got += static_cast<std::size_t>(n);
    first = false;
  }
  return true;
}

void LineReader::Split(std::vector<std::string_view>* lines, std::vector<std::size_t>* too_long) {
  std::size_t start = 0;
  for (;;) {
    const char* nl =
        static_cast<const char*>(std::memchr(buffer_.data() + start, '\n', buffer_.size() - start));
    if (!nl) break;
    std::size_t end = static_cast<std::size_t>(nl - buffer_.data());
    if (skipping_ || end - start > kMaxLineBytes + 1) {
      too_long->push_back(lines->size());
      lines->emplace_back();
      skipping_ = false;
    } else {
      lines->emplace_back(buffer_.data() + start, end - start);
    }
    start = end + 1;
  }
  // An unfinished line that is already too long is dropped as it arrives.
  if (skipping_ || buffer_.size() - start > kMaxLineBytes + 1) {
    skipping_ = true;
    start = buffer_.size();
  }
  if (lines->empty() && too_long->empty()) {
    buffer_.erase(0, start);
  } else {
    consumed_ = start;
  }
}

}  // namespace vtm::cli
