// Building large results of Python records from C++: pausing the cyclic garbage
// collector while a call makes millions of acyclic objects, and making instances of the
// package's record types (NamedTuple and __slots__ classes of vtmrt._types) with C calls
// only. Tested by python/tests/test_records.py and the result checks of test_chunk.py,
// test_tokenizer.py and test_tagger.py.
#pragma once

#include <pybind11/pybind11.h>

#include <initializer_list>

namespace vtm::py {

// Pauses Python's cyclic garbage collector for the scope and restores its earlier state.
// A result of a million tokens is a million new container objects, and the collector,
// started every 700 of them, would walk the growing result again and again (about as
// much time as the chunking itself). The objects made under a pause hold no cycles, so
// reference counting frees them; the collector runs again at its next threshold.
// Invariant: no Python code runs under a pause (only C calls, which never give up the
// GIL), so no other thread ever runs while the collector is paused, and nobody can turn
// it on or off in between. Needs the GIL.
class CollectorPause {
 public:
  CollectorPause() : was_enabled_(PyGC_Disable() != 0) {}
  ~CollectorPause() {
    if (was_enabled_) PyGC_Enable();
  }
  CollectorPause(const CollectorPause&) = delete;
  CollectorPause& operator=(const CollectorPause&) = delete;

 private:
  bool was_enabled_;
};

// The class `name` of vtmrt._types (such as "Group"), imported at the first call and kept
// for the life of the process: importing a submodule runs Python code, which on every
// call cost as much as chunking a short line. Needs the GIL.
pybind11::handle RecordType(const char* name);

// Tuples below whose items are all str, int, bytes or None are taken off the collector's
// list at once (they can hold no cycle), so that it never walks them later either.

// A new instance of `type`, a subclass of tuple (a NamedTuple), holding `fields` in
// order; steals the references of `fields` (which may be null after a failed call: the
// Python error is then raised). Runs no Python code. Throws error_already_set.
pybind11::object NewTupleOf(pybind11::handle type, std::initializer_list<PyObject*> fields);

// A new instance of `type`, a class with __slots__ and no __new__ of its own, made
// without calling its __init__, with each slot in `slots` set (borrowed references).
// Runs no Python code as long as the class defines no __setattr__. Throws
// error_already_set.
pybind11::object NewSlotted(pybind11::handle type,
                            std::initializer_list<std::pair<pybind11::handle, PyObject*>> slots);

// A new (word, tag) tuple, stealing both references (null: raises). Throws
// error_already_set.
PyObject* NewPair(PyObject* first, PyObject* second);

}  // namespace vtm::py
