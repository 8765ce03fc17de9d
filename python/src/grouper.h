// vtmrt.Grouper: brackets a tagged sentence into phrases with a grouping transducer
// (by default the bundled English grouper over the Brown tag set). Tested by
// python/tests/test_grouper.py.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <shared_mutex>

#include "transducer.h"
#include "vtmrt.h"

namespace vtm::py {

class Grouper {
 public:
  // `transducer`: a Transducer (kept open by the grouper), a path to open, or None for
  // the bundled English grouper.
  explicit Grouper(pybind11::object transducer);
  ~Grouper();
  Grouper(const Grouper&) = delete;
  Grouper& operator=(const Grouper&) = delete;

  // The groups of one sentence's tags, as a list of vtmrt.Group.
  pybind11::list Group(pybind11::handle tags, bool subgroups, bool sort);
  // Frees the grouper (after groupings running in other threads). Idempotent.
  void Close();
  bool closed();

  // Holds the grouper and its transducer open while alive; grouper() is nullptr once
  // either is closed (grouper_closed() says which). Taken without the GIL.
  class Use {
   public:
    explicit Use(Grouper& owner)
        : lock_(owner.lock_),
          reader_(*owner.transducer_),
          closed_(owner.grouper_ == nullptr),
          grouper_(reader_.fsm() != nullptr ? owner.grouper_ : nullptr) {}
    VtmGrouper grouper() const { return grouper_; }
    bool grouper_closed() const { return closed_; }

   private:
    std::shared_lock<std::shared_mutex> lock_;
    Transducer::Reader reader_;
    bool closed_;
    VtmGrouper grouper_;
  };

 private:
  std::shared_mutex lock_;
  VtmGrouper grouper_ = nullptr;
  std::shared_ptr<Transducer> transducer_;
};

}  // namespace vtm::py
