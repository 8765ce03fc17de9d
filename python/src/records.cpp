// Record instances made with C calls only (see records.h).
#include "records.h"

#include <string>
#include <unordered_map>
#include <utility>

namespace vtm::py {

namespace pyb = pybind11;

namespace {

void DropAll(std::initializer_list<PyObject*> objects) {
  for (PyObject* o : objects) Py_XDECREF(o);
}

bool Atomic(PyObject* o) {
  return PyUnicode_CheckExact(o) || PyLong_CheckExact(o) || PyBytes_CheckExact(o) || o == Py_None;
}

// A tuple of atomic items without a __dict__ can never be part of a reference cycle: the
// collector need not look at it. (It finds that itself for plain tuples, but only after
// walking them once per generation; instances of subtypes it keeps walking.)
void UntrackIfAtomic(PyObject* tuple) {
  if (Py_TYPE(tuple)->tp_dictoffset != 0) return;
  for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(tuple); ++k)
    if (!Atomic(PyTuple_GET_ITEM(tuple, k))) return;
  PyObject_GC_UnTrack(tuple);
}

}  // namespace

pyb::handle RecordType(const char* name) {
  // The map is used with the GIL held, but the import may run Python code, which lets
  // other threads in: it is looked up and filled only outside the import. The
  // references are never dropped, so nothing is released after the interpreter has gone.
  static std::unordered_map<std::string, PyObject*> types;
  const auto found = types.find(name);
  if (found != types.end()) return found->second;
  PyObject* type = pyb::object(pyb::module_::import("vtmrt._types").attr(name)).release().ptr();
  const auto [it, added] = types.try_emplace(name, type);
  if (!added) Py_DECREF(type);  // another thread was first
  return it->second;
}

pyb::object NewTupleOf(pyb::handle type, std::initializer_list<PyObject*> fields) {
  for (PyObject* f : fields) {
    if (f == nullptr) {
      DropAll(fields);
      throw pyb::error_already_set();
    }
  }
  auto* t = reinterpret_cast<PyTypeObject*>(type.ptr());
  if (!PyType_Check(type.ptr()) || !PyType_IsSubtype(t, &PyTuple_Type) || t->tp_alloc == nullptr) {
    DropAll(fields);
    throw pyb::type_error("record type is not a tuple type");
  }
  // What tuple.__new__(type, fields) does, which a NamedTuple's own __new__ calls: an
  // instance of the subtype's size with the items moved in.
  PyObject* made = t->tp_alloc(t, static_cast<Py_ssize_t>(fields.size()));
  if (made == nullptr) {
    DropAll(fields);
    throw pyb::error_already_set();
  }
  Py_ssize_t k = 0;
  for (PyObject* f : fields) PyTuple_SET_ITEM(made, k++, f);
  UntrackIfAtomic(made);
  return pyb::reinterpret_steal<pyb::object>(made);
}

pyb::object NewSlotted(pyb::handle type,
                       std::initializer_list<std::pair<pyb::handle, PyObject*>> slots) {
  auto* t = reinterpret_cast<PyTypeObject*>(type.ptr());
  if (!PyType_Check(type.ptr()) || t->tp_new != PyBaseObject_Type.tp_new ||
      t->tp_setattro != PyObject_GenericSetAttr)
    throw pyb::type_error("record type has its own __new__ or __setattr__");
  pyb::tuple none;
  PyObject* made = t->tp_new(t, none.ptr(), nullptr);
  if (made == nullptr) throw pyb::error_already_set();
  pyb::object result = pyb::reinterpret_steal<pyb::object>(made);
  for (const auto& [name, value] : slots) {
    if (PyObject_SetAttr(made, name.ptr(), value) != 0) throw pyb::error_already_set();
  }
  return result;
}

PyObject* NewPair(PyObject* first, PyObject* second) {
  PyObject* pair = first != nullptr && second != nullptr ? PyTuple_New(2) : nullptr;
  if (pair == nullptr) {
    Py_XDECREF(first);
    Py_XDECREF(second);
    throw pyb::error_already_set();
  }
  PyTuple_SET_ITEM(pair, 0, first);
  PyTuple_SET_ITEM(pair, 1, second);
  UntrackIfAtomic(pair);
  return pair;
}

}  // namespace vtm::py
