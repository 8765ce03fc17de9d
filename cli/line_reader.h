// Reading of line-oriented input for the `vtm` subcommands that take words or fragments
// on standard input or from files: batches of complete lines, with lines over a limit
// dropped as they arrive rather than held whole. Tested through the subcommands
// (tests/cli: long lines, lines without a final LF, interactive input).
//
// Input is read with read(2) in large pieces, and more is taken while poll(2) says it is
// already there, so that a file or a full pipe goes in batches of up to 64 KiB while an
// interactive user gets each answer as soon as the line is typed.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vtm::cli {

// Lines longer than this are reported and skipped, without being read into memory whole.
inline constexpr std::size_t kMaxLineBytes = 1 << 20;
// Small enough that a batch's output (about ten times its input) stays in the cache.
inline constexpr std::size_t kReadBytes = 1 << 16;

// Reads the input in batches of complete lines.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd), chunk_(new char[kReadBytes]) {}

  // Fills *lines with the next batch of complete lines (without their LF). Returns false
  // at the end of the input. Lines over the limit are not stored; their numbers, relative
  // to the batch's first line, go to *too_long as empty placeholders in *lines.
  bool Next(std::vector<std::string_view>* lines, std::vector<std::size_t>* too_long);
  bool failed() const { return failed_; }

 private:
  bool Fill();
  void Split(std::vector<std::string_view>* lines, std::vector<std::size_t>* too_long);

  int fd_;
  std::unique_ptr<char[]> chunk_;  // uninitialized, see WordWorker
  std::string buffer_;
  std::size_t consumed_ = 0;
  bool at_end_ = false;
  bool skipping_ = false;
  bool failed_ = false;
};

}  // namespace vtm::cli
