// Builds the exception through vtmrt.errors._make, so the class hierarchy lives in one
// place (Python) and the extension only chooses code, detail and, at the edge, a class.
#include "errors.h"

#include <pybind11/pybind11.h>

#include "vtmrt.h"

namespace vtm::py {

namespace pyb = pybind11;

std::string LibraryMessage(int code) {
  char text[256] = {0};
  vtm_error_message(code, text, sizeof text);
  return text;
}

void Raise(int code, const std::string& detail, const char* kind) {
  pyb::object make = pyb::module_::import("vtmrt.errors").attr("_make");
  pyb::object error =
      make(code, LibraryMessage(code), detail.empty() ? pyb::object(pyb::none()) : pyb::str(detail),
           kind == nullptr ? pyb::object(pyb::none()) : pyb::str(kind));
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw pyb::error_already_set();
}

}  // namespace vtm::py
