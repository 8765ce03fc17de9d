// vtmrt.Transducer: a loaded transducer file and the word operations on it (analysis,
// stemming, generation, batch analysis). Tested by python/tests/test_transducer.py,
// test_english.py and test_threads.py.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "vtmrt.h"

namespace vtm::py {

// Takes `lock` exclusively; with the GIL released while waiting when this thread holds
// it, so that the holders of the shared lock (walks without the GIL) can finish.
void LockWithoutGil(std::unique_lock<std::shared_mutex>& lock);

class Transducer {
 public:
  // Opens `path` (str, bytes or os.PathLike; None: the bundled English transducer).
  explicit Transducer(pybind11::object path);
  ~Transducer();
  Transducer(const Transducer&) = delete;
  Transducer& operator=(const Transducer&) = delete;

  // Frees the transducer; waits for walks running in other threads. Idempotent.
  void Close();
  bool closed();
  const std::string& path() const { return path_; }

  // Every result of `word` in a lookup mode (VTM_MODE_*), as a list of str.
  pybind11::list Lookup(pybind11::handle word, int mode, const char* what);
  // Analyses of every word of an iterable, one list per word.
  pybind11::list AnalyzeMany(pybind11::handle words);

  pybind11::str Copyright();
  pybind11::str Version();
  uint32_t CreationDate();
  uint32_t Capabilities();
  int Language();
  int CharEncoding();

  // Holds the transducer open for reading while alive: several readers at once, and
  // Close() waits until none is left. Taken without the GIL.
  class Reader {
   public:
    explicit Reader(Transducer& owner) : lock_(owner.lock_), fsm_(owner.fsm_) {}
    VtmFsm fsm() const { return fsm_; }  // nullptr once closed

   private:
    std::shared_lock<std::shared_mutex> lock_;
    VtmFsm fsm_;
  };

  // Raises ClosedError; `what` names the object.
  [[noreturn]] static void RaiseClosed(const char* what);

 private:
  // Runs one lookup into *out (grown as needed); returns the library's result. No GIL.
  static int LookupInto(VtmFsm fsm, const std::string& input, int mode, std::vector<char>* out,
                        std::size_t at);
  std::string QueryText(int (*query)(char*, int, VtmFsm));
  template <typename Result>
  Result Query(Result (*query)(VtmFsm));

  std::shared_mutex lock_;
  VtmFsm fsm_ = nullptr;
  std::string path_;
};

}  // namespace vtm::py
