// vtmrt.Tagger: part-of-speech tagging of tokenized sentences with a class transducer
// and a tagger model (by default the bundled English tagger), through the tagging
// sessions of `vtm tag`, so the tags are those of `vtm tag`. Tested by
// python/tests/test_tagger.py.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <shared_mutex>
#include <string>

#include "pool.h"
#include "sentence_tagger.h"
#include "vtmrt.h"

namespace vtm::py {

class Tagger {
 public:
  // `classes` and `model`: the class transducer and the model (both None: the bundled
  // English tagger). `case_mode`: auto, exact, lower or upper (as `vtm tag --case`).
  Tagger(pybind11::object classes, pybind11::object model, const std::string& case_mode,
         bool multiword);
  ~Tagger();
  Tagger(const Tagger&) = delete;
  Tagger& operator=(const Tagger&) = delete;

  // [(word, tag), ...] for a list of str tokens.
  pybind11::list Tag(pybind11::handle tokens);
  // Tag() for every sentence of an iterable, with the GIL released once.
  pybind11::list TagSents(pybind11::handle sentences);
  // The model's tag names.
  pybind11::list Tags();
  void Close();
  bool closed();
  int flags() const { return flags_; }

  // Holds the tagger open while alive; tagger() is nullptr once closed. Without the GIL.
  class Reader {
   public:
    explicit Reader(Tagger& owner)
        : lock_(owner.lock_), tagger_(owner.loaded_ ? owner.loaded_->tagger() : nullptr) {}
    VtmTagger tagger() const { return tagger_; }

   private:
    std::shared_lock<std::shared_mutex> lock_;
    VtmTagger tagger_;
  };

 private:
  std::shared_mutex lock_;
  std::unique_ptr<cli::LoadedTagger> loaded_;
  Pool<cli::TaggingSession> sessions_;
  int flags_ = 0;
};

}  // namespace vtm::py
