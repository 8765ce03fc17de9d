// Paging: each step fills page_ with as many words as fit, and the library keeps its
// place in the lookup buffer (VTM_ERR_MORE_RESULTS: continue later). A word longer
// than the page doubles the page and the same step continues. When the word being built
// or the pending alternatives outgrow the lookup buffer, the library cannot continue:
// the expansion starts again with both doubled and passes over the words already
// yielded, which come first again because the walk's order does not depend on the sizes.
#include "completion.h"

#include <cstring>

#include "errors.h"
#include "text.h"

namespace vtm::py {

namespace pyb = pybind11;

namespace {

constexpr int kFirstPage = 16384;
constexpr std::size_t kLargestPage = std::size_t{1} << 24;
constexpr int kFirstCodedOutput = 512;
constexpr int kFirstStack = 1024;
// Larger words or more pending alternatives than these give CapacityError: an
// expansion subnet with a cycle and no maximum length has no end.
constexpr int kLargestCoded = 1 << 20;
constexpr int kLargestStack = 1 << 20;

}  // namespace

Completion::Completion(std::shared_ptr<Transducer> transducer, pyb::handle fragment, int skip,
                       int min_length, int max_length)
    : transducer_(std::move(transducer)),
      skip_(skip),
      min_length_(min_length),
      max_length_(max_length),
      coded_output_size_(kFirstCodedOutput),
      stack_entries_(kFirstStack),
      page_(kFirstPage) {
  ToCodePage(fragment, "fragment", &fragment_);
  if (skip < 0 || min_length < 0 || max_length < 0)
    Raise(VTM_ERR_INVALID_NUMBER, "skip, min and max must not be negative", kArgumentError);
  if (fragment_.size() >= static_cast<std::size_t>(kLargestCoded))
    Raise(VTM_ERR_CODED_INPUT_TOO_SMALL, "fragment is too long", kCapacityError);
  // A character is one code, or an escape and a code.
  coded_input_size_ = static_cast<int>(2 * fragment_.size() + 16);
  if (const int r = MakeBuffer(); r < 0) Raise(r);
}

Completion::~Completion() {
  vtmFreeLookupBuffer(buffer_);
}

int Completion::MakeBuffer() {
  vtmFreeLookupBuffer(buffer_);
  buffer_ = vtmMakeLookupBuffer(coded_input_size_, coded_output_size_, stack_entries_, 0, 0, 0);
  if (const int code = vtm_object_error_code(buffer_); code != 0) {
    buffer_ = nullptr;
    return code;
  }
  return 0;
}

void Completion::Close() {
  pyb::gil_scoped_release nogil;
  std::lock_guard guard(lock_);
  vtmFreeLookupBuffer(buffer_);
  buffer_ = nullptr;
  closed_ = true;
}

int Completion::Step() {
  Transducer::Reader reader(*transducer_);
  if (reader.fsm() == nullptr) return VTM_ERR_NULL_OBJECT;
  for (;;) {
    const int r = vtmExpandByteStringPartialWord(
        started_ ? nullptr : fragment_.c_str(), page_.data(), static_cast<int>(page_.size()),
        buffer_, skip_, min_length_, max_length_, started_ ? 1 : 0, 0, reader.fsm());
    if (r >= 0 || r == VTM_ERR_MORE_RESULTS) {
      started_ = true;
      finished_ = r >= 0;
      page_at_ = 0;
      page_left_ = vtmLookupBufferResultCount(buffer_);
      return 0;
    }
    if (r == VTM_ERR_CLIENT_BUFFER_TOO_SMALL && page_.size() < kLargestPage) {
      page_.resize(2 * page_.size());  // the state is saved: continue with the larger page
      started_ = true;
      continue;
    }
    if (r == VTM_ERR_CHAR_NOT_IN_ALPHABET && !started_) {
      // No word holds a character the transducer does not know: an empty list, as a
      // lookup of such a word gives no results.
      started_ = finished_ = true;
      page_left_ = 0;
      return 0;
    }
    if (r == VTM_ERR_CODED_INPUT_TOO_SMALL && !started_ && coded_input_size_ < kLargestCoded) {
      coded_input_size_ *= 2;
    } else if ((r == VTM_ERR_CODED_OUTPUT_TOO_SMALL && coded_output_size_ < kLargestCoded) ||
               (r == VTM_ERR_STACK_OVERFLOW && stack_entries_ < kLargestStack)) {
      if (r == VTM_ERR_CODED_OUTPUT_TOO_SMALL) coded_output_size_ *= 2;
      if (r == VTM_ERR_STACK_OVERFLOW) stack_entries_ *= 2;
      to_skip_ = delivered_;
    } else {
      return r;
    }
    started_ = false;
    if (const int made = MakeBuffer(); made < 0) return made;
  }
}

pyb::str Completion::Next() {
  for (;;) {
    std::string word;
    bool found = false, closed = false, end = false;
    int r = 0;
    {
      pyb::gil_scoped_release nogil;
      std::lock_guard guard(lock_);
      closed = closed_;
      while (!closed && page_left_ == 0 && !finished_ && r == 0) r = Step();
      while (!closed && r == 0 && page_left_ > 0 && !found) {
        const char* at = page_.data() + page_at_;
        const std::size_t length = std::strlen(at);
        page_at_ += length + 1;
        --page_left_;
        if (to_skip_ > 0) {
          --to_skip_;
        } else {
          ++delivered_;
          word.assign(at, length);  // copied under the lock: another step may refill the page
          found = true;
        }
      }
      end = !closed && r == 0 && !found && page_left_ == 0 && finished_;
    }
    if (found) return FromCodePage(word);
    if (closed) Transducer::RaiseClosed("completion");
    if (r == VTM_ERR_NULL_OBJECT) Transducer::RaiseClosed("transducer");
    if (r < 0) Raise(r);
    if (end) throw pyb::stop_iteration();
    // Only passed-over words in this page: step again.
  }
}

}  // namespace vtm::py
