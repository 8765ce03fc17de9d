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

 private:
  std::shared_mutex lock_;
  VtmGrouper grouper_ = nullptr;
  std::shared_ptr<Transducer> transducer_;
};

}  // namespace vtm::py
