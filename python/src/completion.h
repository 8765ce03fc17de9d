// vtmrt.Completion: the iterator that Transducer.complete() returns. It pages through
// the library's partial-word expansion with a lookup buffer of its own and yields one
// word at a time. Tested by python/tests/test_complete.py.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transducer.h"

namespace vtm::py {

class Completion {
 public:
  Completion(std::shared_ptr<Transducer> transducer, pybind11::handle fragment, int skip,
             int min_length, int max_length);
  ~Completion();
  Completion(const Completion&) = delete;
  Completion& operator=(const Completion&) = delete;

  // The next word; throws pybind11::stop_iteration at the end.
  pybind11::str Next();
  // Frees the lookup buffer; later calls to Next() raise ClosedError. Idempotent.
  void Close();

 private:
  // Runs one expansion step (a fresh start or a continuation) without the GIL; returns 0,
  // or a library error code to raise.
  int Step();
  // A new lookup buffer of the current sizes.
  int MakeBuffer();

  std::mutex lock_;  // one step at a time, whichever thread asks
  std::shared_ptr<Transducer> transducer_;
  std::string fragment_;  // cp1252
  int skip_, min_length_, max_length_;
  int coded_input_size_, coded_output_size_, stack_entries_;
  VtmLookupBuffer buffer_ = nullptr;
  std::vector<char> page_;
  std::size_t page_at_ = 0;  // next word in page_
  int page_left_ = 0;        // words not yet yielded in page_
  bool started_ = false;     // a step has run: the next one continues
  bool finished_ = false;    // the last step completed the expansion
  bool closed_ = false;
  std::size_t delivered_ = 0;  // words yielded so far
  std::size_t to_skip_ = 0;    // words to pass over after a restart with larger buffers
};

}  // namespace vtm::py
